// Compositing: the arithmetic of every blend mode, the two forms of "norm", the start
// and underlay rules, the cached composite, the drawing rule and drawing targets.
#include "image/Composite.h"

#include <gtest/gtest.h>

#include <random>

#include "FilmTestSupport.h"
#include "image/Blend.h"
#include "image/Film.h"
#include "image/MemorySurface.h"

using namespace glib;
using namespace film_test;

namespace {

uint32_t Word(int b, int g, int r, int a) {
  return uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16 | uint32_t(a) << 24;
}

// One pixel of `mode`: composite (30, 100, 200, alpha 150), layer (100, 30, 128, 120),
// as blue, green, red, alpha.
uint32_t BlendOne(const char (&mode)[5], uint32_t d = Word(30, 100, 200, 150),
                  uint32_t s = Word(100, 30, 128, 120), NormForm norm = NormForm::kFlatten,
                  uint32_t underlay = Word(10, 20, 250, 255)) {
  BlendRowArgs args;
  args.mode = FourCC(mode);
  args.norm = norm;
  args.target = reinterpret_cast<uint8_t*>(&d);
  args.layer = reinterpret_cast<const uint8_t*>(&s);
  args.count = 1;
  args.underlayPixel = underlay;
  BlendRow(args);
  return d;
}

TEST(BlendTest, EveryChannelModeFollowsItsFormula) {
  EXPECT_EQ(BlendOne("mul "), Word(12, 12, 100, 255));
  EXPECT_EQ(BlendOne("scrn"), Word(118, 118, 228, 255));
  EXPECT_EQ(BlendOne("over"), Word(53, 24, 164, 255));
  EXPECT_EQ(BlendOne("sLit"), Word(25, 53, 201, 120));
  EXPECT_EQ(BlendOne("hLit"), Word(23, 23, 200, 120));
  EXPECT_EQ(BlendOne("add "), Word(130, 130, 255, 255));
  EXPECT_EQ(BlendOne("sub "), Word(70, 0, 0, 255));
  EXPECT_EQ(BlendOne("diff"), Word(70, 70, 72, 255));
  EXPECT_EQ(BlendOne("div "), Word(255, 76, 163, 255));
  EXPECT_EQ(BlendOne("excl"), Word(122, 122, 72, 255));
  EXPECT_EQ(BlendOne("lite"), Word(100, 100, 200, 255));
  EXPECT_EQ(BlendOne("dark"), Word(30, 30, 128, 255));
  EXPECT_EQ(BlendOne("norm"), Word(78, 51, 150, 255));
  EXPECT_EQ(BlendOne("norm", Word(30, 100, 200, 150), Word(100, 30, 128, 120), NormForm::kDisplay),
            Word(62, 68, 167, 120));
  EXPECT_EQ(BlendOne("gams"), Word(17, 51, 231, 100));  // the layer's blue byte is the mask
  EXPECT_EQ(BlendOne("smas"), Word(52, 24, 193, 120));
  EXPECT_EQ(BlendOne("????"), Word(30, 100, 200, 150));  // not in the table: nothing
  EXPECT_FALSE(IsBlendMode(FourCC("????")));

  // The cases the table spells out.
  EXPECT_EQ(BlendOne("sub ", Word(30, 100, 0, 0), Word(100, 30, 0, 0)) & 0xFFFF, 0x0046u);
  EXPECT_EQ(BlendOne("div ", Word(0, 0, 0, 0), Word(1, 0, 0, 0)) & 0xFF, 255u);
  EXPECT_EQ(BlendOne("excl", Word(0x0F, 0, 0, 0), Word(0xF0, 0, 0, 0)) & 0xFF, 0xFFu);
  EXPECT_EQ(BlendOne("smas", Word(1, 2, 3, 4), 0xFFFF00FFu), Word(1, 2, 3, 4));
  EXPECT_EQ(BlendOne("gams", Word(1, 2, 3, 4), Word(0, 9, 9, 9)), Word(10, 20, 250, 0));
  EXPECT_EQ(BlendOne("gams", Word(1, 2, 3, 4), Word(255, 9, 9, 9)), Word(1, 2, 3, 255));
}

TEST(BlendTest, ColourModesMixHueSaturationAndValue) {
  const uint32_t green = Word(0, 255, 0, 100), blue = Word(255, 0, 0, 100);
  EXPECT_EQ(BlendOne("hue ", green, blue), Word(0, 255, 0, 200));  // the composite's hue
  EXPECT_EQ(BlendOne("sat ", Word(77, 77, 77, 0), blue), Word(255, 255, 255, 100));
  EXPECT_EQ(BlendOne("lum ", Word(0, 0, 0, 0), blue), Word(0, 0, 0, 100));
  EXPECT_EQ(BlendOne("colr", green, Word(128, 128, 128, 0)), Word(1, 255, 1, 100));
}

TEST(BlendTest, DissolveKeepsOrDropsEachPixel) {
  std::vector<uint32_t> target(256, Word(1, 2, 3, 4)), opaque(256, Word(9, 8, 7, 255)),
      clear(256, Word(9, 8, 7, 0));
  BlendRowArgs args;
  args.mode = FourCC("diss");
  args.target = reinterpret_cast<uint8_t*>(target.data());
  args.layer = reinterpret_cast<const uint8_t*>(opaque.data());
  args.count = 256;
  args.seed = 12345;
  BlendRow(args);
  for (uint32_t p : target) EXPECT_EQ(p, Word(9, 8, 7, 255));
  args.layer = reinterpret_cast<const uint8_t*>(clear.data());
  BlendRow(args);
  int dropped = 0;
  for (uint32_t p : target) dropped += p == Word(9, 8, 7, 0);
  EXPECT_EQ(dropped, 256);
}

TEST(BlendTest, VectorisedFormsGiveTheSameBytes) {
  std::mt19937 random(7);
  const int n = 1031;
  std::vector<uint32_t> layer(n), start(n), under(n);
  for (int i = 0; i < n; ++i) {
    layer[i] = random(), start[i] = random(), under[i] = random();
    if (i % 7 == 0) layer[i] = 0xFFFF00FFu;  // the colour key of "smas"
    if (i % 5 == 0) layer[i] &= 0x00FFFFFFu;
    if (i >= 100 && i < 200) layer[i] |= 0xFF000000u;  // a covering run
  }
  for (BlendForms forms : {BlendForms::kSse2, BlendForms::kWidest}) {
    SetBlendForms(forms);
    for (const char* mode : {"norm", "gams", "smas"}) {
      for (const uint8_t* underlay :
           {static_cast<const uint8_t*>(nullptr), reinterpret_cast<const uint8_t*>(under.data())}) {
        std::vector<uint32_t> plain = start, fast = start;
        BlendRowArgs args;
        args.mode = uint32_t(uint8_t(mode[0])) << 24 | uint32_t(uint8_t(mode[1])) << 16 |
                    uint32_t(uint8_t(mode[2])) << 8 | uint8_t(mode[3]);
        args.norm = NormForm::kDisplay;
        args.layer = reinterpret_cast<const uint8_t*>(layer.data());
        args.count = n;
        args.underlay = underlay;
        args.underlayPixel = 0xFF204060u;
        args.target = reinterpret_cast<uint8_t*>(plain.data());
        BlendRowPlain(args);
        args.target = reinterpret_cast<uint8_t*>(fast.data());
        BlendRow(args);
        EXPECT_EQ(plain, fast) << mode;
      }
    }
  }
}

class CompositeTest : public ::testing::Test {
 protected:
  void SetUp() override { UseTestPlugins(); }
  Film film;
};

TEST_F(CompositeTest, NormDiffersBetweenFlattenAndTheCachedComposite) {
  Slide* slide = AddSlide(film, {SolidLayer(nullptr, 2, 2, Word(0, 0, 255, 255))});
  Layer flat(nullptr);
  ASSERT_TRUE(Flatten(*slide, nullptr, flat, 0, -1));
  EXPECT_EQ(PixelAt(flat.bitmap, 1, 1), Word(0, 0, 255, 255));  // t = 0 copies the layer

  slide->AddLayer(SolidLayer(nullptr, 2, 2, Word(100, 0, 0, 128)));
  ASSERT_TRUE(Flatten(*slide, nullptr, flat, 0, -1));
  EXPECT_EQ(PixelAt(flat.bitmap, 0, 0), Word(50, 0, 127, 255));  // q(d * 127 + s * 128)
  ASSERT_TRUE(UpdateComposite(*slide));
  EXPECT_EQ(PixelAt(slide->composite->bitmap, 0, 0), Word(50, 0, 127, 128));
  EXPECT_FALSE(slide->changed);
}

TEST_F(CompositeTest, TheFirstLayerIsAlwaysNormalAndUnknownModesAreSkipped) {
  Layer* bottom = SolidLayer(nullptr, 1, 1, Word(40, 40, 40, 255));
  bottom->blendMode = FourCC("mul ");
  Layer* odd = SolidLayer(nullptr, 1, 1, Word(200, 0, 0, 255));
  odd->blendMode = FourCC("zzzz");
  Slide* slide = AddSlide(film, {bottom, odd});
  Layer flat(nullptr);
  ASSERT_TRUE(Flatten(*slide, nullptr, flat, 0, -1));
  EXPECT_EQ(PixelAt(flat.bitmap, 0, 0), Word(40, 40, 40, 255));

  // A single visible layer in "gams" leaves only the start: the background, clear.
  Layer* mask = SolidLayer(nullptr, 1, 1, Word(9, 9, 9, 9));
  mask->blendMode = FourCC("gams");
  Slide* masked = AddSlide(film, {mask});
  masked->SetBackground(0xFF0000FF);
  ASSERT_TRUE(Flatten(*masked, nullptr, flat, 0, -1));
  EXPECT_EQ(PixelAt(flat.bitmap, 0, 0), 0x00FF0000u);
  EXPECT_FALSE(Flatten(*masked, nullptr, flat, 1, -1));
}

TEST_F(CompositeTest, ABaseLayerFillingTheCanvasStartsTheCompositeAndIsTheUnderlay) {
  Slide* slide = AddSlide(film, {SolidLayer(nullptr, 2, 2, Word(100, 100, 100, 255)),
                                 SolidLayer(nullptr, 1, 1, Word(0, 0, 0, 255))});
  slide->GetLayer(1)->blendMode = FourCC("gams");  // mask 0: back to the underlay
  slide->SetBackground(0xFF000000);
  ASSERT_TRUE(slide->SetCanvas(3, 2, false, false));
  FillPixels(slide->baseLayer->bitmap, Word(7, 8, 9, 255));
  Layer flat(nullptr);
  ASSERT_TRUE(Flatten(*slide, &slide->canvas, flat, 0, -1));
  EXPECT_EQ(flat.bitmap.width, 3);
  EXPECT_EQ(PixelAt(flat.bitmap, 2, 0), Word(7, 8, 9, 255));  // the base shows
  EXPECT_EQ(PixelAt(flat.bitmap, 0, 0), Word(7, 8, 9, 0));    // the underlay comes back
  EXPECT_EQ(PixelAt(flat.bitmap, 1, 1), Word(100, 100, 100, 255));
}

TEST_F(CompositeTest, TheCallbackMayPrepareTheCompositeItself) {
  Listener listener;
  listener.Attach(film);
  Slide* slide = AddSlide(film, {SolidLayer(nullptr, 2, 1, Word(0, 0, 0, 0))});
  int32_t seenWidth = 0;
  listener.onEvent = [&](ClbData* data) {
    const FilmEvent* event = AsFilmEvent(data);
    if (event->eventKind != kEventCompositeRebuild) return true;
    seenWidth = event->width;
    std::memset(event->pixels, 0x22, size_t(event->width) * 4);
    return false;
  };
  ASSERT_TRUE(UpdateComposite(*slide));
  EXPECT_EQ(seenWidth, 2);
  // A fully transparent layer in the display form shows what the callback drew.
  EXPECT_EQ(PixelAt(slide->composite->bitmap, 1, 0), 0x00222222u);
  seenWidth = 0;
  ASSERT_TRUE(UpdateComposite(*slide));  // not changed since: nothing happens
  EXPECT_EQ(seenWidth, 0);

  // A slide without layers still gets its background when it has a canvas.
  listener.onEvent = nullptr;
  Slide* empty = AddSlide(film);
  empty->canvas = {0, 0, 2, 2};
  empty->SetBackground(0xFF00FF00);
  ASSERT_TRUE(UpdateComposite(*empty));
  EXPECT_EQ(PixelAt(empty->composite->bitmap, 1, 1), 0x0000FF00u);
}

TEST_F(CompositeTest, SingleLayersOfScreenTypesAreDrawnDirectly) {
  Layer* rgb = new Layer(nullptr);
  rgb->Create(0, 0, 3, 2, kPixelRGB24, nullptr, false, false);  // packed 9-byte rows
  AddSlide(film, {rgb});
  uint8_t* pixels = nullptr;
  EXPECT_EQ(film.GetSlideBitmap(0, &pixels, nullptr, nullptr), uint32_t(kPixelRGB24));
  EXPECT_EQ(pixels, rgb->bitmap.pixels);
  const CoreBitmap* prepared = film.PrepareSlideBitmap(0, false);
  ASSERT_NE(prepared, nullptr);
  EXPECT_EQ(prepared->stride, kStridePadded);
  EXPECT_NE(prepared->pixels, pixels);  // copied into padded rows
  EXPECT_EQ(film.PrepareSlideBitmap(0, true), &film.GetSlide(0)->composite->bitmap);

  AddSlide(film, {SolidLayer(nullptr, 2, 2, Word(1, 2, 3, 255))});
  EXPECT_EQ(film.GetSlideBitmap(1, &pixels, nullptr, nullptr), uint32_t(kPixelRGBA32));
  EXPECT_EQ(pixels, film.GetSlide(1)->composite->bitmap.pixels);

  Layer* hidden = SolidLayer(nullptr, 2, 2, 0);
  hidden->visible = 0;
  AddSlide(film, {hidden});
  film.GoTo(2);
  EXPECT_EQ(film.GetSlideBitmap(2, nullptr, nullptr, nullptr), uint32_t(kPixelNone));
  MemorySurface surface(2, 2);
  EXPECT_FALSE(film.Draw(surface, {0, 0, 2, 2}, 0, 0));
  EXPECT_EQ(film.GetSlideBitmap(3, nullptr, nullptr, nullptr), uint32_t(kPixelNone));
}

TEST_F(CompositeTest, PaddingLargeRowsReportsAndCanBeStopped) {
  Listener listener;
  listener.Attach(film);
  Layer* big = new Layer(nullptr);
  big->Create(0, 0, 1001, 1000, kPixelIndexed8, nullptr, false, false);
  AddSlide(film, {big});
  big->bitmap.progress = &Listener::Callback;
  big->bitmap.progressContext = listener.Context();
  uint8_t* rows = big->bitmap.pixels;
  listener.heard.clear();
  listener.stopAtStep = 126;
  EXPECT_EQ(film.PrepareSlideBitmap(0, false), nullptr);
  EXPECT_EQ(big->bitmap.pixels, rows);  // the old rows stay
  ASSERT_FALSE(listener.heard.empty());
  EXPECT_EQ(listener.heard[0].text, "prepare...");
  listener.stopAtStep = 0;
  EXPECT_NE(film.PrepareSlideBitmap(0, false), nullptr);
}

TEST_F(CompositeTest, DrawingScalesIntoTheSurface) {
  AddSlide(film, {MakeLayer(nullptr, 4, 2,
                            [](int32_t x, int32_t y) { return Word(x * 60, y * 200, 0, 255); })});
  MemorySurface surface(10, 10, 0xFF000000u);
  ASSERT_TRUE(film.Draw(surface, {2, 3, 4, 5}, 1, 0));
  EXPECT_EQ(surface.Pixel(2, 3), Word(60, 0, 0, 255));
  EXPECT_EQ(surface.Pixel(3, 4), Word(120, 200, 0, 255));
  EXPECT_EQ(surface.Pixel(1, 3), 0xFF000000u);

  ASSERT_TRUE(film.DrawEx(surface, {0, 0, 8, 4}, {0, 0, 4, 2}, kStretchColorOnColor));
  EXPECT_EQ(surface.Pixel(7, 3), Word(180, 200, 0, 255));
  EXPECT_EQ(surface.Pixel(2, 0), Word(60, 0, 0, 255));
  ASSERT_TRUE(film.DrawEx(surface, {0, 0, 2, 1}, {0, 0, 4, 2}, kStretchHalftone));
  EXPECT_EQ(surface.Pixel(0, 0), Word(30, 100, 0, 255));  // the average of four pixels

  // Pictures as wide as the document's halftone limit are stretched the fast way.
  film.State()->halftoneLimit = 4;
  ASSERT_TRUE(film.DrawEx(surface, {0, 0, 2, 1}, {0, 0, 4, 2}, kStretchHalftone));
  EXPECT_EQ(surface.Pixel(0, 0), Word(60, 200, 0, 255));
  // A reduction reads the pixel under each destination pixel's centre, also from a
  // part of the picture away from its corner: 3 x 2 from (1, 0) into one pixel.
  ASSERT_TRUE(film.DrawEx(surface, {5, 5, 6, 6}, {1, 0, 4, 2}, kStretchColorOnColor));
  EXPECT_EQ(surface.Pixel(5, 5), Word(120, 200, 0, 255));
  EXPECT_EQ(surface.Pixel(6, 5), 0xFF000000u);
}

TEST_F(CompositeTest, MergingFlattensARangeIntoItsFirstLayer) {
  Slide* slide = AddSlide(film, {SolidLayer(nullptr, 1, 1, Word(1, 1, 1, 255)),
                                 SolidLayer(nullptr, 2, 2, Word(5, 5, 5, 255), 1, 1),
                                 SolidLayer(nullptr, 1, 1, Word(9, 9, 9, 255))});
  ASSERT_TRUE(MergeLayers(*slide, 0, 2));
  ASSERT_EQ(slide->GetLayerCount(), 2u);
  const Layer& merged = *slide->GetLayer(0);
  EXPECT_EQ(merged.bitmap.width, 3);
  EXPECT_EQ(PixelAt(merged.bitmap, 2, 2), Word(5, 5, 5, 255));
  EXPECT_EQ(PixelAt(merged.bitmap, 0, 0), Word(1, 1, 1, 255));
  EXPECT_FALSE(MergeLayers(*slide, 2, 1));
}

}  // namespace
