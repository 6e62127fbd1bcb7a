// Slide operations: geometry, canvas, resolution, colour effects, conversion, colour
// counting, and the progress each reports.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "FilmTestSupport.h"
#include "image/Composite.h"
#include "image/Film.h"
#include "support/TestSupport.h"

using namespace glib;
using namespace film_test;

namespace {

class SlideOpsTest : public ::testing::Test {
 protected:
  void SetUp() override { UseTestPlugins(); }
  Film film;
};

// A layer whose pixel (x, y) is x + 16 * y in the blue byte.
Layer* Numbered(int32_t w, int32_t h, int32_t x = 0, int32_t y = 0) {
  return MakeLayer(
      nullptr, w, h, [](int32_t c, int32_t r) { return 0xFF000000u | uint32_t(c + 16 * r); }, x, y);
}

TEST_F(SlideOpsTest, StretchScalesLayersAndTheirPlaces) {
  Listener listener;
  listener.Attach(film);
  AddSlide(film, {SolidLayer(nullptr, 200, 100, 0xFF000000u),
                  SolidLayer(nullptr, 50, 50, 0xFFFFFFFFu, 100, 20)});
  AddSlide(film);
  listener.heard.clear();
  ASSERT_EQ(film.Stretch(400, 300, kScaleBilinear, false, 0, 1, 0), RCOK);
  const Layer& moved = *film.GetSlide(0)->GetLayer(1);
  EXPECT_EQ(moved.bitmap.width, 100);
  EXPECT_EQ(moved.bitmap.height, 150);
  EXPECT_EQ(moved.offsetX, 200);
  EXPECT_EQ(moved.offsetY, 60);
  std::vector<int32_t> steps;
  for (const Heard& h : listener.heard) {
    if (h.step != ClbData::kEvent && h.text == "stretch...") steps.push_back(h.step);
  }
  EXPECT_EQ(steps, (std::vector<int32_t>{ClbData::kBegin, 1, ClbData::kEnd}));
  EXPECT_EQ(listener.heard[1].stepCount, 2);  // the Film's slide count

  listener.stopAtStep = 1;
  EXPECT_EQ(film.Stretch(10, 10, kScaleBilinear, false, 0, -1, 0), USRA);
  EXPECT_EQ(film.Stretch(10, 10, kScaleBilinear, false, 2, -1, 0), BADA);
}

TEST_F(SlideOpsTest, StretchFitsTheCanvasWhenKeepingProportions) {
  Slide* slide = AddSlide(film, {SolidLayer(nullptr, 100, 50, 0xFF000000u)});
  slide->SetCanvas(100, 50, true, false);
  ASSERT_EQ(film.Stretch(300, 300, kScaleBilinear, true, 0, 1, 0), RCOK);
  EXPECT_EQ(slide->canvas, (Rect{0, 0, 300, 150}));
  EXPECT_EQ(slide->GetLayer(0)->bitmap.width, 300);
  EXPECT_EQ(slide->GetLayer(0)->bitmap.height, 150);
}

TEST_F(SlideOpsTest, MirrorTurnsRowsAndPixelsOfEveryDepth) {
  Listener listener;
  listener.Attach(film);
  EXPECT_FALSE(film.Mirror(false, false, 0, -1));
  EXPECT_TRUE(listener.heard.empty());

  Slide* slide = AddSlide(film, {Numbered(3, 2)});
  ASSERT_TRUE(film.Mirror(true, true, 0, -1));
  EXPECT_EQ(PixelAt(slide->GetLayer(0)->bitmap, 0, 0), 0xFF000000u | 18);  // was (2, 1)
  EXPECT_EQ(PixelAt(slide->GetLayer(0)->bitmap, 2, 1), 0xFF000000u);

  // 1-bit rows reverse bit by bit, 4-bit rows by nibbles; padding bits stay put.
  Layer bits(nullptr);
  ASSERT_TRUE(bits.Create(0, 0, 10, 1, kPixelBW1, nullptr, false, false));
  bits.bitmap.pixels[0] = 0xC1;  // 1100 0001 01
  bits.bitmap.pixels[1] = 0x40;
  ASSERT_EQ(bits.Mirror(false, true), RCOK);
  EXPECT_EQ(bits.bitmap.pixels[0], 0xA0);  // 10 1000 0011
  EXPECT_EQ(bits.bitmap.pixels[1], 0xC0);
  Layer nibbles(nullptr);
  ASSERT_TRUE(nibbles.Create(0, 0, 3, 1, kPixelIndexed4, nullptr, false, false));
  nibbles.bitmap.pixels[0] = 0x12;
  nibbles.bitmap.pixels[1] = 0x30;
  ASSERT_EQ(nibbles.Mirror(false, true), RCOK);
  EXPECT_EQ(nibbles.bitmap.pixels[0], 0x32);
  EXPECT_EQ(nibbles.bitmap.pixels[1], 0x10);
  Layer wide(nullptr);
  ASSERT_TRUE(wide.Create(0, 0, 2, 3, kPixelRGB24, nullptr, false, false));
  for (int i = 0; i < 18; ++i) wide.bitmap.pixels[i] = uint8_t(i);
  ASSERT_EQ(wide.Mirror(true, false), RCOK);
  EXPECT_EQ(wide.bitmap.pixels[0], 12);
  EXPECT_EQ(wide.bitmap.pixels[12], 0);
  ASSERT_EQ(wide.Mirror(false, true), RCOK);  // 3-byte pixels change places whole
  EXPECT_EQ(std::vector<uint8_t>(wide.bitmap.pixels, wide.bitmap.pixels + 6),
            (std::vector<uint8_t>{15, 16, 17, 12, 13, 14}));
  EXPECT_EQ(wide.Mirror(false, false), BADA);
}

TEST_F(SlideOpsTest, LargeLayersReportTheirRowsInBands) {
  Listener listener;
  listener.Attach(film);
  Slide* slide = AddSlide(film, {SolidLayer(nullptr, 1000, 1000, 0xFF000000u)});
  Layer& layer = *slide->GetLayer(0);
  listener.heard.clear();
  ASSERT_EQ(layer.Mirror(true, false), RCOK);
  ASSERT_EQ(listener.heard.size(), 9u);  // the begin step and eight bands of 125 rows
  EXPECT_EQ(listener.heard[0].step, ClbData::kBegin);
  EXPECT_EQ(listener.heard[0].text, "mirror");
  EXPECT_EQ(listener.heard[1].step, 126);
  EXPECT_EQ(listener.heard[0].stepCount, 1000);

  ClbData record;
  record.text = "flip";
  listener.heard.clear();
  listener.stopAtStep = 251;
  EXPECT_EQ(layer.Mirror(false, true, &record), USRA);
  EXPECT_EQ(listener.heard[0].text, "flip; mirror");
  EXPECT_EQ(slide->Rotate(std::nan(""), false, nullptr), BADA);
}

TEST_F(SlideOpsTest, MirrorKeepsLayersInTheirMirroredPlace) {
  Slide* slide =
      AddSlide(film, {SolidLayer(nullptr, 100, 10, 0), SolidLayer(nullptr, 20, 4, 0, 10, 0)});
  ASSERT_TRUE(film.Mirror(false, true, 0, 1));
  EXPECT_EQ(slide->GetLayer(1)->offsetX, 70);
  EXPECT_EQ(slide->GetLayer(0)->offsetX, 0);
}

TEST_F(SlideOpsTest, RotateTurnsPixelsAndUnequalResolutions) {
  Slide* slide = AddSlide(film, {Numbered(3, 2)});
  slide->SetResolution(72, 144);
  ASSERT_EQ(film.Rotate(90, false, 0, 1), RCOK);
  const CoreBitmap& b = slide->GetLayer(0)->bitmap;
  EXPECT_EQ(b.width, 2);
  EXPECT_EQ(b.height, 3);
  EXPECT_EQ(slide->resolutionX, 144.0f);
  EXPECT_EQ(slide->resolutionY, 72.0f);

  slide->SetResolution(96, 96);
  ASSERT_EQ(film.Rotate(30, true, 0, 1), RCOK);
  EXPECT_EQ(slide->resolutionX, 96.0f);
  EXPECT_GT(slide->GetLayer(0)->bitmap.width, 2);
}

TEST_F(SlideOpsTest, RangesOfSmallSlidesReportOncePerSlide) {
  Listener listener;
  listener.Attach(film);
  for (int i = 0; i < 3; ++i) AddSlide(film, {SolidLayer(nullptr, 4, 4, 0xFF000000u)});
  listener.heard.clear();
  ASSERT_EQ(film.Rotate(90, false, 0, -1), RCOK);
  std::vector<std::string> texts;
  for (const Heard& h : listener.heard) {
    if (h.step != ClbData::kEvent) texts.push_back(std::to_string(h.step) + ":" + h.text);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"-1:rotate...", "1:Slide 1", "2:Slide 2", "3:Slide 3",
                                             "-2:Slide 3"}));
  EXPECT_EQ(listener.heard[0].stepCount, 3);  // the index after the range

  // A range ending at index 1 is not reported at the Film level.
  listener.heard.clear();
  ASSERT_EQ(film.Rotate(90, false, 0, 1), RCOK);
  EXPECT_TRUE(listener.Steps().empty());
}

TEST_F(SlideOpsTest, CanvasMakesAndFillsTheBaseLayer) {
  Listener listener;
  listener.Attach(film);
  Slide* slide = AddSlide(film, {SolidLayer(nullptr, 10, 10, 0xFF000000u, 0, 0)});
  slide->GetLayer(0)->offsetX = -5;
  slide->SetBackground(0xFF0000FF);
  listener.heard.clear();
  ASSERT_TRUE(slide->SetCanvas(20, 8, false, false));
  EXPECT_EQ(slide->canvas, (Rect{0, 0, 20, 8}));
  EXPECT_EQ(slide->GetLayer(0)->offsetX, 0);
  ASSERT_NE(slide->baseLayer, nullptr);
  EXPECT_EQ(PixelAt(slide->baseLayer->bitmap, 19, 7), 0xFFFF0000u);
  ASSERT_GE(listener.heard.size(), 1u);
  EXPECT_EQ(listener.heard[0].kind, kEventBaseLayerFill);

  // The callback may fill the layer itself; the same size again changes nothing.
  listener.onEvent = [](ClbData* data) {
    const FilmEvent* event = AsFilmEvent(data);
    if (event && event->eventKind == kEventBaseLayerFill) {
      std::memset(event->pixels, 0x11, size_t(event->width) * size_t(event->height) * 4);
      return false;
    }
    return true;
  };
  ASSERT_TRUE(slide->SetCanvas(20, 8, false, true));
  EXPECT_EQ(PixelAt(slide->baseLayer->bitmap, 0, 0), 0x11111111u);

  ASSERT_TRUE(slide->SetCanvas(0, 0, false, false));
  EXPECT_TRUE(slide->canvas.IsZero());
  EXPECT_EQ(slide->baseLayer, nullptr);
  EXPECT_FALSE(slide->SetCanvas(-1, 5, false, false));

  // Without a callback the new rows stay transparent black.
  Film quiet;
  Slide* plain = AddSlide(quiet);
  ASSERT_TRUE(plain->SetCanvas(3, 3, false, false));
  EXPECT_EQ(PixelAt(plain->baseLayer->bitmap, 1, 1), 0u);
}

TEST_F(SlideOpsTest, ApplyResolutionSquaresThePixels) {
  Slide* square = AddSlide(film, {SolidLayer(nullptr, 10, 10, 0xFF000000u)});
  EXPECT_FALSE(square->ApplyResolution(0));
  EXPECT_EQ(square->GetLayer(0)->bitmap.width, 10);

  Slide* tall = AddSlide(film, {SolidLayer(nullptr, 10, 10, 0xFF000000u),
                                SolidLayer(nullptr, 4, 4, 0xFFFFFFFFu, 2, 2)});
  tall->SetResolution(72, 144);
  ASSERT_TRUE(film.ApplyResolution(0, -1, 0));
  ASSERT_EQ(tall->GetLayerCount(), 1u);  // flattened first
  EXPECT_EQ(tall->GetLayer(0)->bitmap.width, 20);
  EXPECT_EQ(tall->GetLayer(0)->bitmap.height, 10);
  EXPECT_EQ(tall->resolutionX, 144.0f);
  EXPECT_EQ(tall->resolutionY, 144.0f);

  tall->targetResolutionX = tall->targetResolutionY = 72.0f;
  tall->SetResolution(144, 72);
  ASSERT_TRUE(tall->ApplyResolution(0));
  EXPECT_EQ(tall->GetLayer(0)->bitmap.width, 10);  // to 72 dpi: half the width
  EXPECT_EQ(tall->GetLayer(0)->bitmap.height, 10);
  EXPECT_EQ(tall->resolutionX, 72.0f);
}

TEST_F(SlideOpsTest, EffectsRunThroughTheColourEffectModule) {
  Listener listener;
  listener.Attach(film);
  Slide* slide = AddSlide(film, {SolidLayer(nullptr, 2, 2, 0)});
  Layer* off = SolidLayer(nullptr, 2, 2, 0);
  off->enabled = 0;
  slide->AddLayer(off);
  listener.heard.clear();
  constexpr uint32_t kNegative = 5, kUnknown = 12;
  ASSERT_EQ(film.ApplyEffect(kNegative, nullptr, 0, 1), RCOK);
  EXPECT_EQ(listener.Steps().front(), ClbData::kWaitBegin);
  EXPECT_EQ(listener.Steps().back(), ClbData::kWaitEnd);
  EXPECT_TRUE(slide->changed);
  EXPECT_EQ(PixelAt(slide->GetLayer(0)->bitmap, 1, 1), 0x00FFFFFFu);  // alpha kept
  EXPECT_EQ(PixelAt(off->bitmap, 1, 1), 0u);                          // not enabled
  EXPECT_EQ(film.ApplyEffect(kUnknown, nullptr, 0, 1), UNSF);
  EXPECT_EQ(film.ApplyEffect(kNegative, nullptr, 1, 1), BADA);

  // Two small slides are reported once each, between the wait steps.
  AddSlide(film, {SolidLayer(nullptr, 2, 2, 0)});
  listener.heard.clear();
  ASSERT_EQ(film.ApplyEffect(kNegative, nullptr, 0, -1), RCOK);
  std::vector<std::string> texts;
  for (const Heard& h : listener.heard) {
    if (h.step != ClbData::kEvent) texts.push_back(std::to_string(h.step) + ":" + h.text);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"-3:", "-1:filter...", "1:Slide 1", "2:Slide 2",
                                             "-2:Slide 2", "-4:"}));

  // Without the module: event 2 with parameter 1, and DISF.
  testing_support::TempDir empty;
  FilterManager::Global().Configure(empty.Path().string().c_str(), "tfpages");
  Film other;
  Listener missing;
  missing.Attach(other);
  AddSlide(other, {SolidLayer(nullptr, 2, 2, 0)});
  int parameter = 0;
  missing.onEvent = [&](ClbData* data) {
    if (data->eventKind == kEventUnavailable) parameter = AsFilmEvent(data)->parameter;
    return true;
  };
  missing.heard.clear();
  EXPECT_EQ(other.ApplyEffect(kNegative, nullptr, 0, 1), DISF);
  EXPECT_EQ(missing.Events(), std::vector<int32_t>{kEventUnavailable});
  EXPECT_EQ(parameter, 1);
  UseTestPlugins();
}

TEST_F(SlideOpsTest, ConversionLaysAlphaOverTheBackground) {
  Slide* slide = AddSlide(film, {SolidLayer(nullptr, 2, 1, 0x800000FFu)});  // half-covered blue
  slide->SetBackground(0xFFFFFFFF);
  ASSERT_EQ(film.ConvertLayer(kPixelRGB24, false, false, 0, 0), RCOK);
  const uint8_t* p = slide->GetLayer(0)->bitmap.pixels;
  EXPECT_EQ(p[0], 255);  // blue
  EXPECT_EQ(p[1], 127);
  EXPECT_EQ(p[2], 127);
  EXPECT_EQ(film.GetLayerPixelType(0, 0), uint32_t(kPixelRGB24));
  EXPECT_EQ(film.ConvertLayer(kPixelRGB24, false, false, 0, 0), RCOK);  // already that type
  slide->GetLayer(0)->enabled = 0;
  EXPECT_EQ(film.ConvertLayer(kPixelRGBA32, false, false, 0, 0), WERR);
  EXPECT_EQ(film.ConvertLayer(kPixelRGBA32, false, false, 0, 1), BADA);
}

TEST_F(SlideOpsTest, ColoursAreCountedAsStoredOrThroughThePalette) {
  AddSlide(film, {MakeLayer(nullptr, 4, 4, [](int32_t x, int32_t y) {
             return (x < 2 ? 0xFF000000u : 0x7F000000u) | uint32_t(y % 2);
           })});
  EXPECT_EQ(film.CountLayerColours(0, 0), 4);
  Layer* indexed = new Layer(nullptr);
  uint32_t palette[256] = {0xFF000000u, 0xFF000000u, 0xFFFFFFFFu};
  indexed->Create(0, 0, 3, 1, kPixelIndexed8, palette, true, false);
  indexed->bitmap.pixels[1] = 1;  // the same colour as index 0
  indexed->bitmap.pixels[2] = 2;
  film.GetSlide(0)->AddLayer(indexed);
  EXPECT_EQ(film.CountLayerColours(0, 1), 2);
  Layer* rgb = new Layer(nullptr);
  rgb->Create(0, 0, 5, 1, kPixelRGB24, nullptr, false, false);
  rgb->bitmap.pixels[3] = 9;
  film.GetSlide(0)->AddLayer(rgb);
  EXPECT_EQ(film.CountLayerColours(0, 2), 2);
  EXPECT_EQ(film.CountLayerColours(0, 3), -1);
}

TEST_F(SlideOpsTest, CropAndScaledCopies) {
  Layer layer(nullptr);
  layer.CopyFrom(*std::unique_ptr<Layer>(Numbered(8, 8, 3, 4)), false);
  ASSERT_EQ(layer.Crop(2, 1, 3, 100), RCOK);
  EXPECT_EQ(layer.bitmap.width, 3);
  EXPECT_EQ(layer.bitmap.height, 7);
  EXPECT_EQ(layer.offsetX, 5);
  EXPECT_EQ(PixelAt(layer.bitmap, 0, 0), 0xFF000000u | (2 + 16));
  EXPECT_EQ(layer.Crop(50, 50, 2, 2), BADA);

  Layer bits(nullptr);
  ASSERT_TRUE(bits.Create(0, 0, 12, 1, kPixelBW1, nullptr, false, false));
  bits.bitmap.pixels[0] = 0x0F;
  bits.bitmap.pixels[1] = 0xF0;
  ASSERT_EQ(bits.Crop(3, 0, 6, 1), RCOK);
  EXPECT_EQ(bits.bitmap.pixels[0], 0x7C);  // bits 3..8: 011111

  AddSlide(film,
           {SolidLayer(nullptr, 100, 50, 0xFF000000u), SolidLayer(nullptr, 10, 10, 0, 50, 20)});
  film.SetCanvas(0, 0, true, false);
  std::unique_ptr<Film> small(film.ScaleToNewFilm(50, 25, kScaleBilinear, 0, nullptr));
  ASSERT_TRUE(small);
  const Slide& copy = *small->GetSlide(0);
  EXPECT_EQ(copy.layers[0]->bitmap.width, 50);
  EXPECT_EQ(copy.layers[1]->bitmap.width, 5);
  EXPECT_EQ(copy.layers[1]->offsetX, 25);
  EXPECT_EQ(copy.layers[1]->offsetY, 10);
  EXPECT_EQ(film.ScaleToNewFilm(0, 5, kScaleBilinear, 0, nullptr), nullptr);
}

TEST_F(SlideOpsTest, AlphaIsSetOnEnabledTrueColourLayers) {
  Layer* rgb = new Layer(nullptr);
  rgb->Create(0, 0, 1, 1, kPixelRGB24, nullptr, true, false);
  AddSlide(film, {SolidLayer(nullptr, 2, 2, 0xFF102030u), rgb});
  ASSERT_TRUE(film.SetAlpha(0x40, 0, -1));
  EXPECT_EQ(PixelAt(film.GetSlide(0)->GetLayer(0)->bitmap, 1, 1), 0x40102030u);
  EXPECT_EQ(film.GetLayerPixelType(0, 1), uint32_t(kPixelRGB24));  // left alone
}

}  // namespace
