// The document model: navigation, range rules and neutral answers, sizes, events,
// copies, the slot order the display control relies on, and swapped-out slides.
#include "image/Film.h"

#include <gtest/gtest.h>

#include <cstring>

#include "FilmTestSupport.h"
#include "image/MemorySurface.h"
#include "support/TestSupport.h"

using namespace glib;
using namespace film_test;

namespace {

class FilmTest : public ::testing::Test {
 protected:
  void SetUp() override { UseTestPlugins(); }
  testing_support::TempDir dir;
};

TEST_F(FilmTest, AnEmptyFilmGivesTheNeutralAnswers) {
  Film film;
  EXPECT_EQ(film.GetSlideCount(), 0u);
  EXPECT_FALSE(film.First());
  EXPECT_FALSE(film.Prev());
  EXPECT_FALSE(film.Next());
  EXPECT_FALSE(film.Last());
  EXPECT_FALSE(film.GoTo(0));
  EXPECT_EQ(film.GetCurrentSlide(), nullptr);
  int32_t w = -1, h = -1;
  film.GetSlideSize(-1, w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(film.GetBackground(0), 0xFFFFFFFFu);
  EXPECT_EQ(film.GetLayerPixelType(0, 0), uint32_t(kPixelNone));
  EXPECT_EQ(film.ConvertLayer(kPixelRGB24, false, false, 0, 0), BADA);
  EXPECT_EQ(film.CountLayerColours(0, 0), -1);
  uint32_t count = 7;
  EXPECT_EQ(film.GetSlideMetadata(0, &count), nullptr);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(film.Stretch(10, 10, kScaleBilinear, false, 0, -1, 0), RCOK);
  EXPECT_EQ(film.Rotate(90, false, 0, -1), RCOK);
  EXPECT_EQ(film.ApplyEffect(1, nullptr, 0, -1), RCOK);
  EXPECT_FALSE(film.Mirror(true, false, 0, -1));
  EXPECT_FALSE(film.SetAlpha(0, 0, -1));
  EXPECT_FALSE(film.RemoveSlides(0, -1));
  EXPECT_EQ(film.ExtractSlides(0, -1, {}), nullptr);
  EXPECT_FALSE(film.CopyToClipboard(0, {0, 0, 1, 1}));

  // Drawing an empty Film fills the destination with its background, white.
  MemorySurface surface(4, 4, 0xFF000000u);
  EXPECT_TRUE(film.Draw(surface, {1, 1, 3, 3}, 0, 0));
  EXPECT_EQ(surface.Pixel(1, 1), 0xFFFFFFFFu);
  EXPECT_EQ(surface.Pixel(0, 0), 0xFF000000u);

  char folder[8] = "xxxxxxx";
  film.GetFilterFolder(folder, 0);
  EXPECT_EQ(folder[0], 'x');
  film.GetFilterFolder(folder, 1);
  EXPECT_EQ(folder[0], '\0');
}

TEST_F(FilmTest, NavigationMovesOnlyWhenItChangesSomething) {
  Film film;
  for (int i = 0; i < 3; ++i) AddSlide(film);
  EXPECT_FALSE(film.First());  // already at 0
  EXPECT_FALSE(film.Prev());
  EXPECT_TRUE(film.Next());
  EXPECT_TRUE(film.Last());
  EXPECT_FALSE(film.Last());
  EXPECT_FALSE(film.Next());
  EXPECT_FALSE(film.GoTo(3));
  EXPECT_TRUE(film.GoTo(2 - 1));
  EXPECT_EQ(film.GetCurrentIndex(), 1);
  EXPECT_EQ(film.GetSlide(-1), film.GetSlide(1));
  EXPECT_EQ(film.GetSlide(3), nullptr);
  EXPECT_EQ(film.GetSlide(-2), nullptr);
  // Removing the current slide and those after it keeps the index inside the list.
  EXPECT_TRUE(film.RemoveSlides(1, -1));
  EXPECT_EQ(film.GetSlideCount(), 1u);
  EXPECT_EQ(film.GetCurrentIndex(), 0);
  EXPECT_FALSE(film.RemoveSlides(1, 1));
}

TEST_F(FilmTest, SlideSizesFollowCanvasOrShownLayers) {
  Film film;
  Slide* canvas = AddSlide(film, {SolidLayer(nullptr, 300, 300, 0xFF0000FF)});
  canvas->canvas = {10, 10, 110, 60};
  EXPECT_EQ(film.GetSlideWidth(0), 100);
  EXPECT_EQ(film.GetSlideHeight(0), 50);

  Layer* hidden = SolidLayer(nullptr, 40, 40, 0);
  hidden->visible = 0;
  Layer* disabled = SolidLayer(nullptr, 40, 40, 0, 5, 5);
  disabled->enabled = 0;
  AddSlide(film, {hidden, disabled});
  EXPECT_EQ(film.GetSlideWidth(1), 0);
  EXPECT_EQ(film.GetSlideHeight(1), 0);

  Film two;
  AddSlide(two, {SolidLayer(nullptr, 100, 20, 0)});
  AddSlide(two, {SolidLayer(nullptr, 10, 10, 0, 20, 70)});
  int32_t w, h;
  two.GetSlideSize(-1, w, h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 80);
  two.GetSlideSize(5, w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

TEST_F(FilmTest, BackgroundAlphaIsForcedOpaque) {
  Film film;
  AddSlide(film);
  AddSlide(film);
  film.SetBackground(0x00336699, 0, -1);
  EXPECT_EQ(film.GetBackground(0), 0xFF336699u);
  EXPECT_EQ(film.GetBackground(1), 0xFF336699u);
  EXPECT_EQ(film.GetBackground(2), 0xFF336699u);  // the Film's own
  // An empty range changes only the Film.
  film.SetBackground(0x00112233, 5, 1);
  EXPECT_EQ(film.GetBackground(2), 0xFF112233u);
  EXPECT_EQ(film.GetBackground(0), 0xFF336699u);
}

TEST_F(FilmTest, DestructionSendsFilmThenSlideThenLayerEvents) {
  Listener listener;
  auto* film = new Film;
  listener.Attach(*film);
  std::vector<uint64_t> slides;
  for (int s = 0; s < 2; ++s) {
    Slide* slide = AddSlide(*film);
    for (int l = 0; l < 3; ++l) slide->AddLayer(SolidLayer(nullptr, 1, 1, 0));
    slides.push_back(reinterpret_cast<uintptr_t>(slide));
  }
  listener.heard.clear();
  delete film;
  EXPECT_EQ(listener.Events(), (std::vector<int32_t>{6, 5, 4, 4, 4, 4, 5, 4, 4, 4, 4}));
  EXPECT_EQ(listener.heard[1].object, slides[0]);
  EXPECT_EQ(listener.heard[6].object, slides[1]);
}

TEST_F(FilmTest, ChangesMarkSlidesAndTellTheListener) {
  Film film;
  Listener listener;
  listener.Attach(film);
  Slide* slide = AddSlide(film);
  slide->changed = 0;
  listener.heard.clear();
  slide->SetBackground(slide->GetBackground());  // the same colour: no change
  EXPECT_TRUE(listener.heard.empty());
  EXPECT_TRUE(slide->backgroundSet);
  slide->AddLayer(SolidLayer(nullptr, 2, 2, 0));
  EXPECT_EQ(listener.Events(), std::vector<int32_t>{3});
  EXPECT_TRUE(slide->changed);
  EXPECT_TRUE(film.MarkChanged(0, -1));
  EXPECT_FALSE(film.MarkChanged(1, 1));
}

// The display control overrides the load and clear slots; the slots must not move.
template <class F>
ptrdiff_t SlotOf(F member) {
  ptrdiff_t raw[2];
  static_assert(sizeof(member) == sizeof raw);
  std::memcpy(raw, &member, sizeof raw);
  return (raw[0] - 1) / ptrdiff_t(sizeof(void*));
}

TEST_F(FilmTest, VirtualOperationsKeepTheirSlots) {
  // The destructor takes the first two entries of the table.
  const ptrdiff_t slots[] = {SlotOf(&Film::LoadW),
                             SlotOf(&Film::Load),
                             SlotOf(&Film::AppendW),
                             SlotOf(&Film::Append),
                             SlotOf(&Film::InsertW),
                             SlotOf(&Film::Insert),
                             SlotOf(&Film::LoadMemory),
                             SlotOf(&Film::AppendMemory),
                             SlotOf(&Film::InsertMemory),
                             SlotOf(&Film::LoadStream),
                             SlotOf(&Film::AppendStream),
                             SlotOf(&Film::InsertStream),
                             SlotOf(&Film::LoadThumbnailW),
                             SlotOf(&Film::LoadThumbnail),
                             SlotOf(&Film::LoadThumbnailMemory),
                             SlotOf(&Film::LoadThumbnailStream),
                             SlotOf(&Film::LoadResource),
                             SlotOf(&Film::GetFileInfoW),
                             SlotOf(&Film::GetFileInfo),
                             SlotOf(&Film::GetFileInfoMemory),
                             SlotOf(&Film::GetFileInfoStream),
                             SlotOf(&Film::SaveW),
                             SlotOf(&Film::Save),
                             SlotOf(&Film::SaveMemory),
                             SlotOf(&Film::GetFilterFolder),
                             SlotOf(&Film::ScaleToNewFilm),
                             SlotOf(&Film::Clear),
                             SlotOf(&Film::SetMetadata),
                             SlotOf(&Film::GetMetadata),
                             SlotOf(&Film::SetSlideMetadata),
                             SlotOf(&Film::GetSlideMetadata),
                             SlotOf(&Film::SetLayerMetadata),
                             SlotOf(&Film::GetLayerMetadata)};
  for (size_t i = 0; i < std::size(slots); ++i) EXPECT_EQ(slots[i], ptrdiff_t(i) + 2) << i;
  EXPECT_EQ(SlotOf(&Slide::SetMetadata), 2);
  EXPECT_EQ(SlotOf(&Slide::GetLayerMetadata), 5);
}

class DisplayLikeFilm : public Film {
 public:
  void Clear() override {
    ++clears;
    Film::Clear();
  }
  int clears = 0;
};

TEST_F(FilmTest, LoadingEmptiesTheFilmThroughItsTable) {
  DisplayLikeFilm film;
  const std::string script = "PGS1\npage w=3 h=2\n";
  EXPECT_EQ(film.LoadMemory(script.data(), uint32_t(script.size()), kFormatNone, nullptr), RCOK);
  EXPECT_EQ(film.clears, 1);
  EXPECT_EQ(film.LoadThumbnailMemory(script.data(), uint32_t(script.size()), kFormatNone, true, 0,
                                     0, nullptr),
            RCOK);
  EXPECT_EQ(film.clears, 2);
  Film* assigned = film.Clone();
  EXPECT_EQ(film.AssignFrom(*assigned, 0, -1), 1u);
  EXPECT_EQ(film.clears, 3);
  delete assigned;
}

TEST_F(FilmTest, AttachingTakesTheFilmsBackgroundCanvasAndCallback) {
  Film first, second;
  Listener listener;
  listener.Attach(second);
  second.SetBackground(0x00102030, 0, -1);
  second.SetCanvas(40, 30, false, false);
  Slide* slide = AddSlide(first, {SolidLayer(nullptr, 5, 5, 0)});
  ASSERT_TRUE(second.AddSlide(slide));
  EXPECT_EQ(first.GetSlideCount(), 0u);
  EXPECT_EQ(second.GetSlideCount(), 1u);
  EXPECT_EQ(slide->GetBackground(), 0xFF102030u);
  EXPECT_EQ(slide->Width(), 40);
  EXPECT_EQ(slide->progress, &Listener::Callback);
  EXPECT_EQ(slide->baseLayer, nullptr);  // it had none, so none is made
  EXPECT_FALSE(second.AddSlide(nullptr));

  // A background given explicitly survives the move.
  Slide* own = AddSlide(first);
  own->SetBackground(0xFF0000FF);
  second.AddSlide(own);
  EXPECT_EQ(own->GetBackground(), 0xFF0000FFu);
}

TEST_F(FilmTest, CopiesAreDeepAndAssignKeepsTheRange) {
  Film film;
  for (int i = 0; i < 3; ++i) AddSlide(film, {SolidLayer(nullptr, 2 + i, 2, 0xFF000000u + i)});
  film.GoTo(2);
  film.SetMetadata("meta", 4);
  std::unique_ptr<Film> clone(film.Clone());
  ASSERT_TRUE(clone);
  EXPECT_EQ(clone->GetSlideCount(), 3u);
  EXPECT_EQ(clone->GetCurrentIndex(), 2);
  uint32_t n = 0;
  const uint8_t* meta = clone->GetMetadata(&n);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(meta), n), "meta");
  EXPECT_NE(clone->GetSlide(0)->GetLayer(0)->bitmap.pixels,
            film.GetSlide(0)->GetLayer(0)->bitmap.pixels);

  Film target;
  EXPECT_EQ(target.AssignFrom(film, 1, 1), 1u);
  EXPECT_EQ(target.GetSlideWidth(0), 3);
  EXPECT_EQ(target.GetCurrentIndex(), 0);  // 2 lies beyond the one copied slide
  EXPECT_EQ(target.AssignFrom(film, 3, 1), 0u);
  EXPECT_EQ(target.GetSlideCount(), 1u);  // a refused range leaves the Film alone
}

TEST_F(FilmTest, ExtractSlidesCutsToTheRectangle) {
  Film film;
  AddSlide(film,
           {MakeLayer(nullptr, 10, 10, [](int32_t x, int32_t y) { return uint32_t(y * 10 + x); }),
            SolidLayer(nullptr, 2, 2, 7, 20, 20)});
  std::unique_ptr<Film> part(film.ExtractSlides(0, 1, {4, 5, 8, 7}));
  ASSERT_TRUE(part);
  Slide* slide = part->GetSlide(0);
  ASSERT_EQ(slide->GetLayerCount(), 1u);  // the second layer lies outside
  const Layer& layer = *slide->GetLayer(0);
  EXPECT_EQ(layer.bitmap.width, 4);
  EXPECT_EQ(layer.bitmap.height, 2);
  EXPECT_EQ(layer.offsetX, 4);
  EXPECT_EQ(layer.offsetY, 5);
  EXPECT_EQ(PixelAt(layer.bitmap, 0, 0), 54u);

  std::unique_ptr<Film> nothing(film.ExtractSlides(0, 1, {100, 100, 110, 110}));
  ASSERT_TRUE(nothing);
  EXPECT_EQ(nothing->GetSlideCount(), 0u);  // every copy was empty
  EXPECT_EQ(film.ExtractSlides(0, 0, {}), nullptr);
}

TEST_F(FilmTest, DecodeLayerHandsOverOneBitmapAndLeavesNoSlides) {
  Film film;
  Listener listener;
  listener.Attach(film);
  AddSlide(film);
  const std::string script = "PGS1\npage w=3 h=2 group=0 fill=ff00ff00\npage w=5 h=1 group=0\n";
  listener.heard.clear();
  CoreBitmap* bitmap =
      film.State()->DecodeLayer(script.data(), uint32_t(script.size()), kFormatNone, 0, 1);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->width, 5);
  EXPECT_TRUE(listener.heard.empty());  // the progress is switched off meanwhile
  EXPECT_EQ(film.GetSlideCount(), 1u);
  EXPECT_EQ(film.State()->progress, &Listener::Callback);
  ReleaseBitmap(*bitmap);
  delete bitmap;
  EXPECT_EQ(film.State()->DecodeLayer(script.data(), uint32_t(script.size()), kFormatNone, 0, 2),
            nullptr);
  EXPECT_EQ(film.State()->DecodeLayer(script.data(), uint32_t(script.size()), kFormatNone, 1, 0),
            nullptr);
  EXPECT_EQ(film.State()->DecodeLayer("junk", 4, kFormatNone, 0, 0), nullptr);
  EXPECT_EQ(film.GetSlideCount(), 1u);
}

TEST_F(FilmTest, SwappedOutSlideComesBackFromItsFile) {
  Film film;
  film.SetCanvas(4, 4, true, false);
  Slide* slide = AddSlide(film, {new Layer(nullptr), new Layer(nullptr)});
  const std::string path = dir.File("swap.flm");
  WriteFile(path,
            "PGS1\npage w=4 h=4 group=0 base=1 canvas=0,0,4,4 fill=ff102030\n"
            "page w=2 h=3 group=0 name=a x=1 fill=ff0000ff\npage w=1 h=1 group=0 name=b\n");
  slide->swapFile = path;
  slide->changed = 0;
  EXPECT_EQ(slide->GetLayerCount(), 2u);
  EXPECT_TRUE(slide->swapFile.empty());
  EXPECT_EQ(film.GetSlideCount(), 1u);  // the loaded copy is gone again
  EXPECT_EQ(slide->GetLayer(0)->bitmap.width, 2);
  EXPECT_EQ(slide->GetLayer(0)->name, "a");
  EXPECT_EQ(slide->GetLayer(0)->offsetX, 1);
  EXPECT_EQ(slide->GetLayer(1)->name, "b");
  ASSERT_NE(slide->baseLayer, nullptr);
  EXPECT_EQ(slide->baseLayer->bitmap.width, 4);
  EXPECT_TRUE(slide->changed);
  EXPECT_TRUE(ReadFile(path).empty());  // deleted

  // A file that cannot be loaded leaves the slide as it was, not swapped out.
  slide->swapFile = dir.File("missing.flm");
  EXPECT_EQ(slide->GetLayerCount(), 2u);
  EXPECT_TRUE(slide->swapFile.empty());
}

TEST_F(FilmTest, LayersKeepTheirPlaceRules) {
  Film film;
  Slide* slide = AddSlide(film);
  Layer* layer = new Layer(nullptr);
  uint32_t palette[256] = {0x00112233};
  ASSERT_TRUE(layer->Create(-3, -4, 6, 2, kPixelIndexed8, palette, false, false));
  slide->AddLayer(layer);
  EXPECT_EQ(layer->bitmap.palette[0], 0xFF112233u);
  EXPECT_EQ(layer->bitmap.stride, kStridePacked);
  layer->SetPosition(-3, -4);
  EXPECT_EQ(layer->offsetX, 0);
  slide->canvas = {0, 0, 10, 10};
  layer->SetPosition(-3, -4);
  EXPECT_EQ(layer->offsetX, -3);
  EXPECT_FALSE(layer->Create(0, 0, 70000, 70000, kPixelRGBA32, nullptr, true, false));

  Layer filled(slide);
  slide->SetBackground(0xFF0000FF);  // red
  ASSERT_TRUE(filled.Create(0, 0, 2, 1, kPixelRGBA32, nullptr, true, true));
  EXPECT_EQ(PixelAt(filled.bitmap, 1, 0), 0xFFFF0000u);

  Layer moved(nullptr), copied(nullptr);
  uint8_t* rows = filled.bitmap.pixels;
  copied.CopyFrom(filled, true);
  EXPECT_NE(copied.bitmap.pixels, rows);
  moved.CopyFrom(filled, false);
  EXPECT_EQ(moved.bitmap.pixels, rows);
  EXPECT_TRUE(filled.IsEmpty());
}

TEST_F(FilmTest, TheFilmCountIsKept) {
  const int before = Film::LivingFilms();
  {
    Film a, b;
    EXPECT_EQ(Film::LivingFilms(), before + 2);
#if defined(_WIN32)
    EXPECT_TRUE(Film::GraphicsStarted());  // GDI+ serves the vector pictures
#else
    EXPECT_FALSE(Film::GraphicsStarted());
#endif
  }
  EXPECT_EQ(Film::LivingFilms(), before);
}

}  // namespace
