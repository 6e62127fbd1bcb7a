// Loading, thumbnails, information and saving through the crafted-pages plug-in.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "FilmTestSupport.h"
#include "formats/FileInfoRecord.h"
#include "formats/ImageSave.h"
#include "formats/MemStream.h"
#include "image/Film.h"
#include "image/NoticePicture.h"
#include "image/VectorPicture.h"
#include "platform/PageAlloc.h"
#include "platform/Text.h"
#include "support/TestSupport.h"

using namespace glib;
using namespace film_test;

namespace {

class FilmIoTest : public ::testing::Test {
 protected:
  void SetUp() override { UseTestPlugins(); }

  std::string Script(const std::string& name, const std::string& body) {
    std::string path = dir.File(name);
    WriteFile(path, "PGS1\n" + body);
    return path;
  }

  // The page lines a save wrote.
  std::vector<std::string> SavedPages(const std::string& text) {
    std::vector<std::string> pages;
    size_t at = 0;
    while ((at = text.find("\npage ", at)) != std::string::npos) {
      size_t end = text.find('\n', at + 1);
      pages.push_back(text.substr(at + 1, end - at - 1));
      at = end;
    }
    return pages;
  }

  testing_support::TempDir dir;
  Film film;
};

bool Has(const std::string& line, const std::string& what) {
  return (" " + line + " ").find(" " + what + " ") != std::string::npos;
}

TEST_F(FilmIoTest, GroupsBecomeSlidesWithNamedLayers) {
  Listener listener;
  listener.Attach(film);
  std::string path = Script("groups.pgs",
                            "page group=0 w=4 h=3 delay=40 rx=72 ry=144 smeta=first bg=ff000001 "
                            "canvas=0,0,8,6\n"
                            "page group=0 name=top x=2 y=1 blend=mul_ vis=0 meta=m bg=ff0000ff\n"
                            "page group=1 w=5 h=5 base=1\n"
                            "page group=1 delay=70\n");
  ASSERT_EQ(film.Load(path.c_str(), kFormatNone, nullptr), RCOK);
  EXPECT_EQ(listener.Steps().front(), ClbData::kWaitBegin);
  EXPECT_EQ(listener.Steps().back(), ClbData::kWaitEnd);
  ASSERT_EQ(film.GetSlideCount(), 2u);

  Slide& first = *film.GetSlide(0);
  ASSERT_EQ(first.GetLayerCount(), 2u);
  EXPECT_EQ(first.name, path);
  EXPECT_EQ(first.GetLayer(0)->name, "Layer 1");
  EXPECT_EQ(first.GetLayer(1)->name, "top");
  EXPECT_EQ(first.GetDelay(), 40u);
  EXPECT_EQ(first.resolutionX, 72.0f);
  EXPECT_EQ(first.resolutionY, 144.0f);
  EXPECT_EQ(first.metadata.view(), "first");
  EXPECT_EQ(first.GetBackground(), 0xFF0000FFu);  // from the last page of the group
  EXPECT_EQ(first.canvas, (Rect{0, 0, 8, 6}));
  const Layer& top = *first.GetLayer(1);
  EXPECT_EQ(top.offsetX, 2);
  EXPECT_EQ(top.blendMode, FourCC("mul "));
  EXPECT_EQ(top.visible, 0);
  EXPECT_EQ(top.metadata.view(), "m");

  Slide& second = *film.GetSlide(1);
  ASSERT_EQ(second.GetLayerCount(), 1u);
  EXPECT_EQ(second.GetLayer(0)->name, "Layer 2");  // its place in the group counts the base
  ASSERT_NE(second.baseLayer, nullptr);
  EXPECT_EQ(second.canvas, (Rect{0, 0, 8, 6}));  // every slide of the load shares it
}

TEST_F(FilmIoTest, UngroupedPagesAreOneSlideEach) {
  std::string path = Script("flat.pgs", "page name=cover\npage\npage w=3\n");
  ASSERT_EQ(film.Load(path.c_str(), kFormatNone, nullptr), RCOK);
  ASSERT_EQ(film.GetSlideCount(), 3u);
  EXPECT_EQ(film.GetSlide(0)->name, "cover");
  EXPECT_EQ(film.GetSlide(1)->name, path);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(film.GetSlide(i)->GetLayer(0)->name, "Layer 1");

  // Memory and stream sources have no name to give.
  std::string text = ReadFile(path);
  ASSERT_EQ(film.LoadMemory(text.data(), uint32_t(text.size()), kFormatNone, nullptr), RCOK);
  EXPECT_EQ(film.GetSlide(1)->name, "");
  VMemStream stream(text.data(), text.size());
  ASSERT_EQ(film.AppendStream(&stream, kFormatNone, nullptr), RCOK);
  EXPECT_EQ(film.GetSlideCount(), 6u);
  EXPECT_EQ(film.LoadMemory(nullptr, 0, kFormatNone, nullptr), BADA);

  // UTF-16 paths load too, and name the slides in 8 bits.
  std::u16string wide = platform::Utf16FromNarrow(path);
  ASSERT_EQ(film.LoadW(wide.c_str(), kFormatNone, nullptr), RCOK);
  EXPECT_EQ(film.GetSlide(1)->name, path);
}

TEST_F(FilmIoTest, InsertPlacesTheNewSlidesInOrder) {
  std::string old = Script("old.pgs", "page w=1\npage w=2\npage w=3\n");
  std::string added = Script("new.pgs", "page w=10\npage w=20\n");
  ASSERT_EQ(film.Load(old.c_str(), kFormatNone, nullptr), RCOK);
  film.GoTo(1);
  ASSERT_EQ(film.Insert(added.c_str(), kFormatNone, nullptr, 0), RCOK);
  std::vector<int32_t> widths;
  for (uint32_t i = 0; i < film.GetSlideCount(); ++i)
    widths.push_back(film.GetSlideWidth(int32_t(i)));
  EXPECT_EQ(widths, (std::vector<int32_t>{10, 20, 1, 2, 3}));
  EXPECT_EQ(film.GetCurrentIndex(), 3);  // still showing the slide of width 2

  Listener listener;
  listener.Attach(film);
  EXPECT_EQ(film.Insert(added.c_str(), kFormatNone, nullptr, 5), BADA);
  EXPECT_EQ(film.GetSlideCount(), 5u);
  EXPECT_TRUE(listener.heard.empty());
  ASSERT_EQ(film.Append(added.c_str(), kFormatNone, nullptr), RCOK);
  EXPECT_EQ(film.GetSlideWidth(6), 20);
}

TEST_F(FilmIoTest, DecodedRowsMoveIntoTheLayerWithoutCopying) {
  auto rowsOf = reinterpret_cast<void*(ORBISK_CDECL*)(int32_t)>(
      FilterManager::Global().FindById(kPGS)
          ? platform::ModuleSymbol(FilterManager::Global().FindById(kPGS)->Module,
                                   "GetCraftedPageRows")
          : nullptr);
  ASSERT_NE(rowsOf, nullptr);
  rowsOf(-1);
  std::string path = Script("rows.pgs", "page w=300 h=200 type=03010308\n");
  ASSERT_EQ(film.Load(path.c_str(), kFormatNone, nullptr), RCOK);
  EXPECT_EQ(film.GetSlide(0)->GetLayer(0)->bitmap.pixels, rowsOf(0));
  EXPECT_EQ(film.GetSlide(0)->GetLayer(0)->bitmap.pixelType, uint32_t(kPixelRGB24));
}

TEST_F(FilmIoTest, FilterAnswersOtherThanSuccess) {
  std::string first = Script("one.pgs", "page w=7\n");
  ASSERT_EQ(film.Load(first.c_str(), kFormatNone, nullptr), RCOK);

  // OKAF: nothing added, and no complaint.
  std::string partial = Script("okaf.pgs", "page w=9\nload OKAF\n");
  EXPECT_EQ(film.Append(partial.c_str(), kFormatNone, nullptr), RCOK);
  EXPECT_EQ(film.GetSlideCount(), 1u);

  // Another failure is returned; an append keeps what was there.
  Listener listener;
  listener.Attach(film);
  std::string bad = Script("rerr.pgs", "page\nload RERR\n");
  EXPECT_EQ(film.Append(bad.c_str(), kFormatNone, nullptr), RERR);
  EXPECT_EQ(film.GetSlideCount(), 1u);
  EXPECT_EQ(listener.Steps(), (std::vector<int32_t>{ClbData::kWaitBegin, ClbData::kWaitEnd}));

  // LZW refused: the notice takes the place of the pages.
  std::string lzw = Script("lzw.pgs", "page w=50\nload LZWD\n");
  ASSERT_EQ(film.Load(lzw.c_str(), kFormatNone, nullptr), RCOK);
  ASSERT_EQ(film.GetSlideCount(), 1u);
  EXPECT_EQ(film.GetSlideWidth(0), kNoticeWidth);
  EXPECT_EQ(film.GetSlideHeight(0), kNoticeHeight);
  EXPECT_EQ(film.GetSlide(0)->name, lzw);

  EXPECT_EQ(film.Load(dir.File("absent.pgs").c_str(), kFormatNone, nullptr), MISS);
  EXPECT_EQ(film.GetSlideCount(), 0u);  // a load replaces, even when it fails
}

TEST_F(FilmIoTest, PagesThatLieAreRefused) {
  const char* bodies[] = {
      "page w=4 h=4 claimw=100000 claimh=100000\n",  // rows far shorter than claimed
      "page w=4 h=4 claimw=-4\n",
      "page w=4 h=4 type=12345678\n",           // a type nobody can read
      "page w=4 h=4 type=83010408 stride=3\n",  // rows shorter than a pixel row
  };
  for (const char* body : bodies) {
    std::string path = Script("lie.pgs", body);
    Film fresh;
    AddSlide(fresh, {SolidLayer(nullptr, 1, 1, 0)});
    EXPECT_NE(fresh.Append(path.c_str(), kFormatNone, nullptr), RCOK) << body;
    EXPECT_EQ(fresh.GetSlideCount(), 1u) << body;
  }
}

TEST_F(FilmIoTest, ThumbnailsFitAndFallBack) {
  std::string both = Script("thumb.pgs", "page w=400 h=100\ntpage w=200 h=100 name=t\n");
  ASSERT_EQ(film.LoadThumbnail(both.c_str(), kFormatNone, false, 50, 50, nullptr), RCOK);
  ASSERT_EQ(film.GetSlideCount(), 1u);
  EXPECT_EQ(film.GetSlideWidth(0), 50);
  EXPECT_EQ(film.GetSlideHeight(0), 25);
  EXPECT_EQ(film.GetSlide(0)->name, both);  // always named after the path

  std::string none = Script("nothumb.pgs", "page w=400 h=100\n");
  EXPECT_EQ(film.LoadThumbnail(none.c_str(), kFormatNone, false, 50, 50, nullptr), TMIS);
  EXPECT_EQ(film.GetSlideCount(), 0u);
  ASSERT_EQ(film.LoadThumbnail(none.c_str(), kFormatNone, true, 50, 50, nullptr), RCOK);
  EXPECT_EQ(film.GetSlideWidth(0), 50);
  EXPECT_EQ(film.GetSlideHeight(0), 13);
  ASSERT_EQ(film.LoadThumbnail(none.c_str(), kFormatNone, true, 0, 0, nullptr), RCOK);
  EXPECT_EQ(film.GetSlideWidth(0), 400);  // no maxima: no fitting

  std::string broken = Script("broken.pgs", "load BADI\n");
  EXPECT_EQ(film.LoadThumbnail(broken.c_str(), kFormatNone, true, 50, 50, nullptr), BADT);
  std::string stop = Script("stop.pgs", "thumb USRA\n");
  EXPECT_EQ(film.LoadThumbnail(stop.c_str(), kFormatNone, true, 50, 50, nullptr), USRA);

  // A stream read by the thumbnail attempt is read again for the fall back.
  std::string text = ReadFile(none);
  VMemStream stream(text.data(), text.size());
  ASSERT_EQ(film.LoadThumbnailStream(&stream, kFormatNone, true, 100, 100, nullptr), RCOK);
  EXPECT_EQ(film.GetSlideWidth(0), 100);
}

TEST_F(FilmIoTest, FileInformationLeavesTheSlidesAlone) {
  AddSlide(film, {SolidLayer(nullptr, 3, 3, 0)});
  std::string path = Script("info.pgs", "page\n");
  FileInfoRecord* info = nullptr;
  Listener listener;
  listener.Attach(film);
  ASSERT_EQ(film.GetFileInfo(path.c_str(), &info, kFormatNone), RCOK);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->width, 7);
  info->ops->Destroy(info, 1);
  EXPECT_EQ(listener.Steps(), (std::vector<int32_t>{ClbData::kWaitBegin, ClbData::kWaitEnd}));
  EXPECT_EQ(film.GetSlideCount(), 1u);
  std::string refused = Script("noinfo.pgs", "info UNSF\n");
  EXPECT_EQ(film.GetFileInfo(refused.c_str(), nullptr, kFormatNone), UNSF);
}

TEST_F(FilmIoTest, SaveWritesTheRangeAsFormatsAllow) {
  for (int i = 0; i < 5; ++i) AddSlide(film, {SolidLayer(nullptr, i + 1, 1, 0xFF000000u)});
  std::string path = dir.File("out.pga");
  CraftedSave many(kPGA);
  many.firstPage = 1;
  many.pageCount = 2;
  ASSERT_EQ(film.Save(path.c_str(), &many), RCOK);
  std::vector<std::string> pages = SavedPages(ReadFile(path));
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_TRUE(Has(pages[0], "group=0") && Has(pages[0], "w=2")) << pages[0];
  EXPECT_TRUE(Has(pages[1], "group=1") && Has(pages[1], "w=3")) << pages[1];

  CraftedSave single(kPGS);
  single.firstPage = 1;
  single.pageCount = 2;
  ASSERT_EQ(film.Save(path.c_str(), &single), RCOK);
  pages = SavedPages(ReadFile(path));
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(Has(pages[0], "w=2"));

  single.firstPage = 5;
  EXPECT_EQ(film.Save(path.c_str(), &single), BADA);
  EXPECT_EQ(film.Save(path.c_str(), nullptr), BADA);
  CraftedSave refused(kPGQ);
  EXPECT_EQ(film.Save(path.c_str(), &refused), IERR);

  Film empty;
  AddSlide(empty);
  CraftedSave all(kPGA);
  EXPECT_EQ(empty.Save(path.c_str(), &all), IERR);  // nothing to write
}

TEST_F(FilmIoTest, OnlyACompleteSaveReplacesTheTarget) {
  AddSlide(film, {SolidLayer(nullptr, 2, 1, 0xFF000000u)});
  const std::string original = "the picture that was there\n";
  auto leftovers = [&] {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
      count += entry.path().filename().string().find("~sav") != std::string::npos;
    return count;
  };
  // The plug-in writes its whole file and then fails.
  std::string failing = dir.File("out.pgf");
  WriteFile(failing, original);
  CraftedSave fails(kPGF);
  EXPECT_EQ(film.Save(failing.c_str(), &fails), WERR);
  EXPECT_EQ(ReadFile(failing), original);
  std::u16string wideFailing = platform::Utf16FromUtf8(failing);
  EXPECT_EQ(film.SaveW(wideFailing.c_str(), &fails), WERR);
  EXPECT_EQ(ReadFile(failing), original);

  // A read-only target is left alone, the save reports it.
  std::string locked = dir.File("locked.pgs");
  WriteFile(locked, original);
  std::filesystem::permissions(locked,
                               std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_write |
                                   std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  CraftedSave plain(kPGS);
  EXPECT_EQ(film.Save(locked.c_str(), &plain), WERR);
  EXPECT_EQ(ReadFile(locked), original);
  std::filesystem::permissions(locked, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);

  // A good save replaces the file; nothing is left beside it.
  std::string good = dir.File("good.pgs");
  WriteFile(good, original);
  ASSERT_EQ(film.Save(good.c_str(), &plain), RCOK);
  EXPECT_EQ(SavedPages(ReadFile(good)).size(), 1u);
  EXPECT_EQ(leftovers(), 0u);
}

TEST_F(FilmIoTest, SaveChoosesLayerCompositeOrFlattenedPicture) {
  Slide* slide = AddSlide(film, {SolidLayer(nullptr, 2, 2, 0x80FF0000u)});
  film.SetBackground(0xFFFFFFFF, 0, -1);
  std::string path = dir.File("choice");
  // With alpha the layer itself goes out; without, the composite (alpha laid over white).
  CraftedSave alpha(kPGA), plain(kPGS);
  ASSERT_EQ(film.Save(path.c_str(), &alpha), RCOK);
  EXPECT_TRUE(Has(SavedPages(ReadFile(path))[0], "pixels=0000ff800000ff800000ff800000ff80"));
  ASSERT_EQ(film.Save(path.c_str(), &plain), RCOK);
  std::string composite = SavedPages(ReadFile(path))[0];
  EXPECT_NE(composite.find("pixels=7f7fff80"), std::string::npos) << composite;

  // A layer away from the corner is flattened, and without alpha laid over the background.
  slide->GetLayer(0)->offsetX = 1;
  ASSERT_EQ(film.Save(path.c_str(), &plain), RCOK);
  std::string flat = SavedPages(ReadFile(path))[0];
  EXPECT_TRUE(Has(flat, "w=3")) << flat;
  EXPECT_NE(flat.find("pixels=ffffffff7f7fffff"), std::string::npos) << flat;
}

TEST_F(FilmIoTest, LayeredSavesCarryBaseLayersAndTheMergedPicture) {
  AddSlide(film, {SolidLayer(nullptr, 2, 2, 0xFF00FF00u), SolidLayer(nullptr, 1, 1, 0xFF0000FFu)});
  film.GetSlide(0)->GetLayer(1)->name = "Layer 2";
  AddSlide(film, {SolidLayer(nullptr, 2, 2, 0xFF000000u)});
  film.SetCanvas(2, 2, false, false);  // gives each slide a base layer
  std::string path = dir.File("layers.pgl");
  CraftedSave layered(kPGL);
  ASSERT_EQ(film.Save(path.c_str(), &layered), RCOK);
  std::string text = ReadFile(path);
  std::vector<std::string> pages = SavedPages(text);
  ASSERT_EQ(pages.size(), 5u);
  EXPECT_TRUE(Has(pages[0], "base=1") && Has(pages[0], "group=0"));
  EXPECT_TRUE(Has(pages[2], "namex=4c617965722032"));  // "Layer 2"
  EXPECT_TRUE(Has(pages[3], "base=1") && Has(pages[3], "group=1"));
  EXPECT_NE(text.find("#merged 2 2 83010408"), std::string::npos) << text;

  // Loading it back gives the same structure.
  Film back;
  ASSERT_EQ(back.Load(path.c_str(), kPGL, nullptr), RCOK);
  ASSERT_EQ(back.GetSlideCount(), 2u);
  EXPECT_EQ(back.GetSlide(0)->GetLayerCount(), 2u);
  EXPECT_EQ(back.GetSlide(0)->GetLayer(1)->name, "Layer 2");
  EXPECT_NE(back.GetSlide(0)->baseLayer, nullptr);
}

// A vector picture that can only be measured, where no graphics service draws it.
struct StubPicture : VectorPicture {
  static void ORBISK_CDECL Destroy(OwnedObject* self, uint32_t) {
    delete static_cast<StubPicture*>(AsVectorPicture(self));
  }
  static OwnedObject* ORBISK_CDECL Clone(const OwnedObject*) {
    return AsOwnedObject(new StubPicture);
  }
  static bool ORBISK_CDECL Draw(const VectorPicture*, void*, int32_t, int32_t, int32_t, int32_t) {
    return false;
  }
  static void ORBISK_CDECL Size(const VectorPicture*, int32_t* w, int32_t* h) { *w = *h = 8; }
  static constexpr VectorPictureOps kOps = {{&Destroy, &Clone}, &Draw, &Size};
  StubPicture() { ops = &kOps; }
};

TEST_F(FilmIoTest, VectorLayersGoOutOnlyToFormatsThatTakeThem) {
  Layer* layer = new Layer(nullptr);
  layer->SetPicture(0, 0, 8, 8, AsOwnedObject(new StubPicture));
  AddSlide(film, {layer});
  std::string path = dir.File("vector");
  CraftedSave vector(kPGV), alpha(kPGA);
  ASSERT_EQ(film.Save(path.c_str(), &vector), RCOK);
  EXPECT_TRUE(Has(SavedPages(ReadFile(path))[0], "vector=1"));
  ASSERT_EQ(film.Save(path.c_str(), &alpha), RCOK);  // the composite instead
  std::string page = SavedPages(ReadFile(path))[0];
  EXPECT_FALSE(Has(page, "vector=1")) << page;
  EXPECT_TRUE(Has(page, "type=83010408")) << page;
}

TEST_F(FilmIoTest, CanOpenAsksTheFilters) {
  EXPECT_EQ(film.CanOpen(Script("known.pgs", "page\n").c_str()), RCOK);
  EXPECT_EQ(film.CanOpen(dir.File("absent.pgs").c_str()), MISS);
  std::string other = dir.File("other.txt");
  WriteFile(other, "plain words");
  EXPECT_EQ(film.CanOpen(other.c_str()), NSUP);
  std::u16string wide = platform::Utf16FromNarrow(dir.File("known.pgs"));
  EXPECT_EQ(film.CanOpenW(wide.c_str()), RCOK);
}

TEST_F(FilmIoTest, FailedSavesDeleteTheFileUnlessAskedToKeepIt) {
  AddSlide(film, {SolidLayer(nullptr, 2, 2, 0xFF000000u)});
  std::string path = dir.File("fail.pgf");
  CraftedSave failing(kPGF);
  EXPECT_EQ(film.Save(path.c_str(), &failing), WERR);
  EXPECT_FALSE(std::filesystem::exists(path));
  failing.keepPartialFile = 1;
  std::u16string wide = platform::Utf16FromNarrow(path);
  EXPECT_EQ(film.SaveW(wide.c_str(), &failing), WERR);
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(FilmIoTest, MemorySavesHandBackTheBlock) {
  AddSlide(film, {SolidLayer(nullptr, 2, 1, 0xFF000000u)});
  void* data = nullptr;
  uint32_t size = 0;
  CraftedSave save(kPGA);
  ASSERT_EQ(film.SaveMemory(&data, &size, &save), RCOK);
  ASSERT_NE(data, nullptr);
  std::string text(static_cast<const char*>(data), size);
  EXPECT_EQ(text.compare(0, 4, "PGS1"), 0);
  Film back;
  ASSERT_EQ(back.LoadMemory(data, size, kPGA, nullptr), RCOK);
  EXPECT_EQ(back.GetSlideWidth(0), 2);
  platform::PageFree(data);
}

}  // namespace
