#include "filters/FilterManager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "formats/FileInfoRecord.h"
#include "formats/MemStream.h"
#include "formats/Retcode.h"
#include "platform/MessageSink.h"
#include "platform/Module.h"
#include "platform/Text.h"
#include "plugins/PluginKit.h"
#include "support/TestSupport.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

using namespace glib;
using namespace std::literals;
using testing_support::TempDir;

namespace {

constexpr uint32_t kAAA = 0x08414141;
constexpr uint32_t kBBB = 0x08424242;
constexpr uint32_t kPS = 0x00505320;
constexpr uint32_t kSAV = 0x00534156;
constexpr uint32_t kSVN = 0x0053564E;

std::string PluginFolder() {
  return platform::ModuleFolder(reinterpret_cast<const void*>(&PluginFolder)) + "testplugins";
}

// The file the loader opens for a module name.
std::string ModuleFile(const std::string& name) {
#if defined(_WIN32)
  return PluginFolder() + "\\" + FilterManager::ModuleFileName(name);
#else
  return PluginFolder() + "/" + name + ".so";
#endif
}

bool IsLoaded(const std::string& name) {
#if defined(_WIN32)
  return GetModuleHandleA(ModuleFile(name).c_str()) != nullptr;
#else
  void* module = dlopen(ModuleFile(name).c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (module) dlclose(module);
  return module != nullptr;
#endif
}

testplugin::Stats& StatsOf(const FilterFormatDesc* holder) {
  auto get = reinterpret_cast<testplugin::Stats*(ORBISK_CDECL*)()>(
      platform::ModuleSymbol(holder->Module, "GetTestPluginStats"));
  return *get();
}

struct Shown {
  std::string text;
  std::string caption;
  uint32_t style;
};
std::vector<Shown> shown;

int Capture(const platform::Message& message) {
  shown.push_back({std::string(message.text), std::string(message.caption), message.style});
  return platform::answer::kOk;
}

class FilterManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shown.clear();
    previousSink_ = platform::SetMessageSink(&Capture);
  }
  void TearDown() override { platform::SetMessageSink(previousSink_); }

  void Use(const char* modules) { manager.Configure(PluginFolder().c_str(), modules); }

  std::string Write(const std::string& name, std::string_view bytes) {
    testing_support::WriteFile(dir.File(name), bytes);
    return dir.File(name);
  }

  // The format chosen for a file's content and name, or 0 with the detection's code.
  uint32_t Detect(const std::string& name, std::string_view bytes, uint8_t flag = 0) {
    uint32_t rc = 0;
    FilterFormatDesc* desc = manager.DetectFromFile(Write(name, bytes).c_str(), false, rc, flag);
    EXPECT_EQ(rc, NSUP);
    return desc ? desc->Id : 0;
  }

  // Loads a file and returns the name of the page the plug-in made (or the code).
  std::string Load(const std::string& path, uint32_t format = kFormatNone, bool thumbnail = false) {
    ImageDataExchange request;
    request.format = format;
    uint32_t rc = thumbnail ? manager.LoadImageThumbnail(path.c_str(), &request, nullptr)
                            : manager.LoadImageData(path.c_str(), &request, nullptr);
    if (rc != RCOK) return FormatCode(rc >> 8) + char(rc & 0xFF);
    EXPECT_EQ(request.pages.size(), 1u);
    return request.pages.empty() ? "" : request.pages[0]->name.str();
  }

  TempDir dir;
  FilterManager manager;

 private:
  platform::MessageSink previousSink_ = nullptr;
};

}  // namespace

TEST_F(FilterManagerTest, ConfigureSplitsModuleNamesAndTrimsTheFolder) {
  FilterManager fresh;
  EXPECT_EQ(fresh.ModuleNames(), std::vector<std::string>{"fall"});
  EXPECT_EQ(fresh.Folder(), "");
#if defined(_WIN64)
  EXPECT_EQ(FilterManager::ModuleFileName("vexlo"), "vexlo64.dll");
#else
  EXPECT_EQ(FilterManager::ModuleFileName("vexlo"), "vexlo.dll");
#endif
  fresh.Configure("C:\\Program\\", "vexlo\nvexpdf");
  EXPECT_EQ(fresh.Folder(), "C:\\Program");
  EXPECT_EQ(fresh.ModuleNames(),
            (std::vector<std::string>{FilterManager::ModuleFileName("vexlo"),
                                      FilterManager::ModuleFileName("vexpdf")}));
  fresh.Configure(nullptr, "\nfirst\n\nsecond.so\n");
  EXPECT_EQ(fresh.Folder(), "");
  EXPECT_EQ(fresh.ModuleNames(),
            (std::vector<std::string>{FilterManager::ModuleFileName("first"), "second.so"}));
  fresh.Configure(nullptr, nullptr);
  EXPECT_TRUE(fresh.ModuleNames().empty());
}

TEST_F(FilterManagerTest, OneModuleWithThreeFormatsIsLoadedOnceAndUnloadedOnce) {
  Use("tfmulti");
  EXPECT_EQ(manager.Formats().size(), 0u);  // nothing until the first question
  ASSERT_NE(manager.FindById(kAAA), nullptr);
  ASSERT_EQ(manager.Formats().size(), 3u);
  FilterFormatDesc* beta = manager.Formats()[0];
  FilterFormatDesc* ps = manager.Formats()[1];
  FilterFormatDesc* alpha = manager.Formats()[2];
  EXPECT_NE(beta->Module, nullptr);
  EXPECT_EQ(ps->Module, nullptr);
  EXPECT_EQ(alpha->Module, nullptr);
  // "PS " resolves its entries as LoadPSImageData and so on.
  EXPECT_NE(ps->LoadImageData, nullptr);
  EXPECT_NE(ps->LoadImageThumbnail, nullptr);
  EXPECT_EQ(beta->LoadImageThumbnail, nullptr);
  EXPECT_NE(beta->SaveImageData, nullptr);
  EXPECT_EQ(alpha->SaveImageData, nullptr);
  for (FilterFormatDesc* desc : manager.Formats()) {
    EXPECT_EQ(desc->GetFilterInfo, beta->GetFilterInfo);
    EXPECT_EQ(desc->Enabled + desc->CanRead + desc->CanWrite, 3);
  }
  EXPECT_EQ(alpha->Mask.view(), "AAA");  // MaskLength bytes of what the plug-in passed
  EXPECT_EQ(beta->SubExtensions.size(), 1u);
  EXPECT_EQ(beta->SubFilterTexts[0]->view(), "|Beta two|*.bb2");
  EXPECT_EQ(manager.FindById(kAAA & 0x00FFFFFF), nullptr);  // all 32 bits count

  testplugin::Stats& stats = StatsOf(beta);
  EXPECT_EQ(stats.filterInfoCalls, 1);
  EXPECT_TRUE(manager.LoadFilter(FilterManager::ModuleFileName("tfmulti")));
  EXPECT_EQ(stats.filterInfoCalls, 1);
  EXPECT_EQ(manager.Formats().size(), 3u);

  // With a reference of our own the module survives the reset: the manager let go of
  // exactly one, including the one the second LoadFilter took.
  platform::Module ours = platform::Module::Load(ModuleFile("tfmulti"), true);
  ASSERT_TRUE(ours);
  Use("tfmulti");
  EXPECT_TRUE(IsLoaded("tfmulti"));
  ours.Free();
  EXPECT_FALSE(IsLoaded("tfmulti"));
}

TEST_F(FilterManagerTest, BrokenModulesShowTheirBoxesAndLeaveNothingLoaded) {
  Use("tfnoinfo\ntfversion\ntfmissing\nnotthere");
  ASSERT_NE(manager.FindById(0x004D4942), nullptr);
  std::string folder = PluginFolder();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text,
            "Bad format for '" + folder + "\\" + FilterManager::ModuleFileName("tfnoinfo") + "'");
  EXPECT_EQ(shown[1].text, "Bad format for MIA, '" + folder + "\\" +
                               FilterManager::ModuleFileName("tfmissing") + "'");
  EXPECT_EQ(shown[0].caption, "");
  EXPECT_EQ(shown[1].style, platform::mb::kIconError | platform::mb::kTaskModal);

  // The wrong version left no formats and no module; MIA stays without entries but
  // holds the module of both.
  ASSERT_EQ(manager.Formats().size(), 2u);
  FilterFormatDesc* mia = manager.Formats()[0];
  EXPECT_EQ(mia->Id, 0x004D4941u);
  EXPECT_EQ(mia->GetFileInfo, nullptr);
  EXPECT_NE(mia->Module, nullptr);
  EXPECT_NE(manager.Formats()[1]->LoadImageData, nullptr);
  EXPECT_FALSE(IsLoaded("tfnoinfo"));
  EXPECT_FALSE(IsLoaded("tfversion"));
  EXPECT_EQ(Load(Write("a.mia", "MIA")), "UNSF");
  EXPECT_EQ(Load(Write("a.mib", "MIB")), "LoadMIBImageData");

  // Nothing loadable: every question tries again, quietly.
  Use("notthere");
  EXPECT_EQ(manager.FindById(0x004D4942), nullptr);
  EXPECT_EQ(manager.FindByExtension("x.mib"), nullptr);
  EXPECT_FALSE(IsLoaded("tfmissing"));
  EXPECT_EQ(shown.size(), 2u);
}

TEST_F(FilterManagerTest, CarelessRegistrationsAreCleanedUp) {
  Use("tfbad");
  ASSERT_EQ(manager.FindById(0x004F5250), nullptr);  // created, never appended
  ASSERT_EQ(manager.Formats().size(), 2u);
  EXPECT_EQ(manager.Formats()[0]->Id, 0x00424144u);
  EXPECT_EQ(manager.Formats()[1]->Id, 0x004C4F4Eu);
  // Neither the mask claimed to be huge nor the uncapped one is used.
  EXPECT_EQ(Detect("bad.bin", "BAD"), 0u);
  EXPECT_EQ(Detect("x.bin", std::string(200, 'x')), 0u);
  EXPECT_EQ(manager.Formats()[1]->Extensions.size(), FilterManager::kMaxPluginText);
}

TEST_F(FilterManagerTest, DetectionBySignatureExtensionAndProbes) {
  Use("tfmulti\ntfprobe");
  EXPECT_EQ(Detect("x.bin", "AAA and more"), kAAA);
  EXPECT_EQ(Detect("doc.txt", "%!PS-Adobe"), kPS);
  // The header is zero-padded to 4096 bytes, and the padding is part of the match.
  EXPECT_EQ(Detect("ten.bin", "0123456789"), 0x0054454Eu);
  EXPECT_EQ(Detect("eleven.bin", "0123456789X"), 0u);

  EXPECT_EQ(Detect("PIC.AAA", "zzz"), kAAA);  // upper-case extension, lower-case index
  EXPECT_EQ(Detect("pic.dup", "zzz"), kBBB);  // both list "dup": the first wins
  EXPECT_EQ(Detect("noext", "zzz"), 0u);
  EXPECT_EQ(manager.FindByExtension("some.dir/noext"), nullptr);
  EXPECT_EQ(manager.FindByExtension("file."), nullptr);
  EXPECT_EQ(Detect("a.ext", "zzz"), 0x00455854u);
  EXPECT_EQ(Detect("a.exn", "zzz"), 0u);  // a match word: content only
  EXPECT_EQ(Detect("a.exz", "zzz"), 0u);  // extension not allowed
  EXPECT_EQ(manager.FindByExtension("a.exz")->Id, 0x0045585Au);

  // Probes get the stream where the header read left it.
  EXPECT_EQ(Detect("p.bin", "probe-me"), 0x00505242u);
  testplugin::Stats& probeStats = StatsOf(manager.FindById(0x00505242));
  EXPECT_EQ(probeStats.lastProbePosition, 8);
  EXPECT_EQ(Detect("d.bin", "deep"), 0x00445042u);
  EXPECT_EQ(probeStats.lastProbeFlag, 0);
  EXPECT_EQ(Detect("f.bin", "zzz", 7), 0x00445042u);  // the Film's flag reaches DeepProbe

  uint32_t rc = 0;
  EXPECT_EQ(manager.DetectFromFile(dir.File("missing.aaa").c_str(), false, rc), nullptr);
  EXPECT_EQ(rc, MISS);
  EXPECT_EQ(manager.DetectFromFile("", false, rc), nullptr);
  EXPECT_EQ(rc, MISS);
  EXPECT_EQ(manager.DetectFromFile(nullptr, true, rc), nullptr);
  EXPECT_EQ(rc, MISS);
  std::filesystem::create_directory(dir.File("folder.aaa"));
  EXPECT_EQ(manager.DetectFromFile(dir.File("folder.aaa").c_str(), false, rc), nullptr);
  EXPECT_EQ(rc, MISS);
  std::u16string wide = platform::Utf16FromNarrow(Write("w\xC3\xA9.bin", "AAA"));
  FilterFormatDesc* byWide = manager.DetectFromFile(wide.c_str(), true, rc);
  ASSERT_NE(byWide, nullptr);
  EXPECT_EQ(byWide->Id, kAAA);
}

TEST_F(FilterManagerTest, StreamAndMemoryDetection) {
  Use("tfmulti\ntfprobe");
  char data[] = "xxAAA";
  VMemStream stream(data, 5);
  ASSERT_TRUE(stream.Seek(2, kStreamBegin));
  uint32_t rc = 0;
  FilterFormatDesc* found = manager.DetectFromStream(&stream, rc);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->Id, kAAA);
  EXPECT_EQ(rc, NSUP);
  EXPECT_EQ(stream.Tell(), 2);
  ASSERT_TRUE(stream.Seek(0, kStreamBegin));
  EXPECT_EQ(manager.DetectFromStream(&stream, rc), nullptr);  // "xxAAA" is nothing
  EXPECT_EQ(stream.Tell(), 0);
  EXPECT_EQ(manager.DetectFromStream(nullptr, rc), nullptr);

  EXPECT_EQ(manager.DetectFromMemory("AAA", 3, kFormatNone)->Id, kAAA);
  EXPECT_EQ(manager.DetectFromMemory("probe-me", 8, kFormatNone)->Id, 0x00505242u);
  EXPECT_EQ(manager.DetectFromMemory("zzz", 3, kFormatNone), nullptr);
  EXPECT_EQ(manager.DetectFromMemory("AAA", 3, kBBB)->Id, kBBB);  // a hint is taken as given
  EXPECT_EQ(manager.DetectFromMemory(nullptr, 5, kPS)->Id, kPS);
  EXPECT_EQ(manager.DetectFromMemory(nullptr, 0, kFormatNone), nullptr);
}

TEST_F(FilterManagerTest, LoadsGoToTheChosenEntryWithTheHostAllocator) {
  Use("tfmulti\ntfredirect\ntfprobe");
  std::string alpha = Write("a.bin", "AAA");
  {
    ImageDataExchange request;
    ASSERT_EQ(manager.LoadImageData(alpha.c_str(), &request, nullptr), RCOK);
    EXPECT_EQ(request.format, kAAA);
    EXPECT_EQ(request.allocate, &FilterManager::AllocatePixels);
    EXPECT_EQ(request.release, &FilterManager::ReleasePixels);
    ASSERT_EQ(request.pages.size(), 1u);
    EXPECT_EQ(request.pages[0]->bitmap.pixels[0], 0x5A);
  }
  // The page went through its own table and its rows through their stored rule.
  EXPECT_EQ(StatsOf(manager.FindById(kBBB)).rowsReleased, 1);

  EXPECT_EQ(Load(alpha, kBBB), "LoadBBBImageData");  // named format beats detection
  EXPECT_EQ(Load(Write("u.bin", "unknown"), kPS), "LoadPSImageData");
  EXPECT_EQ(Load(Write("v.bin", "unknown")), "NSUP");
  EXPECT_EQ(Load(dir.File("gone.aaa"), kBBB), "MISS");  // missing stays missing
  EXPECT_EQ(Load(alpha, kFormatNone, true), "LoadAAAImageThumbnail");
  EXPECT_EQ(Load(Write("b.bbb", "zzz"), kFormatNone, true), "TMNS");

  // Redirections: to a known format, to an unknown one, around a cycle.
  EXPECT_EQ(Load(Write("r.rda", "RDA")), "LoadAAAImageData");
  EXPECT_EQ(Load(Write("r.rdb", "RDB")), "IERR");
  {
    // The callback hears of the missing plug-in; a yes looks again and asks again.
    struct Asked {
      int times = 0;
      std::string code;
    } asked;
    ImageDataExchange request;
    request.progressContext = reinterpret_cast<uintptr_t>(&asked);
    request.progress = [](ClbData* data) {
      const FilmEvent* event = AsFilmEvent(data);
      if (!event || event->eventKind != kEventUnavailable || event->parameter != kUnavailablePlugin)
        return true;
      auto* a = reinterpret_cast<Asked*>(data->context);
      a->code = data->text;
      return ++a->times < 2;
    };
    std::string path = Write("m.rdb", "RDB");
    EXPECT_EQ(manager.LoadImageData(path.c_str(), &request, nullptr), IERR);
    EXPECT_EQ(asked.times, 2);
    EXPECT_EQ(asked.code, "XXX");
  }
  testplugin::Stats& redirects = StatsOf(manager.FindById(0x00524441));
  int before = redirects.entryCalls;
  EXPECT_EQ(Load(Write("r.rdc", "RDC")), "IERR");
  EXPECT_EQ(redirects.entryCalls - before, FilterManager::kMaxRedirections + 1);
  EXPECT_EQ(Load(Write("t.rda", "RDA"), kFormatNone, true), "TMNS");

  // The Film's probe flag, read from the request's owner.
  FilterManager::SetFilmProbeFlagReader([](const void*) -> uint8_t { return 7; });
  ImageDataExchange owned;
  int film = 0;
  owned.film = &film;
  std::string plain = Write("plain.bin", "zzz");
  EXPECT_EQ(manager.LoadImageData(plain.c_str(), &owned, nullptr), RCOK);
  EXPECT_EQ(owned.pages[0]->name.view(), "LoadDPBImageData");
  FilterManager::SetFilmProbeFlagReader(nullptr);

  EXPECT_EQ(manager.LoadImageData(alpha.c_str(), nullptr, nullptr), BADA);
  ImageDataExchange noData;
  noData.sourceSize = 10;
  noData.format = kAAA;
  EXPECT_EQ(manager.LoadImageData(nullptr, &noData, nullptr), BADA);
}

TEST_F(FilterManagerTest, MemoryStreamAndInformationRequests) {
  Use("tfmulti");
  ImageDataExchange memory;
  memory.source = "AAA";
  memory.sourceSize = 3;
  ASSERT_EQ(manager.LoadImageData(nullptr, &memory, nullptr), RCOK);
  EXPECT_EQ(memory.pages[0]->name.view(), "LoadAAAImageData");
  ImageDataExchange hinted;
  hinted.source = "AAA";
  hinted.sourceSize = 3;
  hinted.format = kBBB;
  ASSERT_EQ(manager.LoadImageData(nullptr, &hinted, nullptr), RCOK);
  EXPECT_EQ(hinted.pages[0]->name.view(), "LoadBBBImageData");

  char bytes[] = "%!PS";
  VMemStream stream(bytes, 4);
  ImageDataExchange streamed;
  streamed.stream = &stream;
  ASSERT_EQ(manager.LoadImageData(nullptr, &streamed, nullptr), RCOK);
  EXPECT_EQ(streamed.pages[0]->name.view(), "LoadPSImageData");

  ImageDataExchange info;
  FileInfoRecord* record = nullptr;
  std::string path = Write("i.bin", "AAA");
  ASSERT_EQ(manager.GetFileInfo(path.c_str(), &info, &record), RCOK);
  std::unique_ptr<FileInfoRecord, FileInfoRecordDeleter> owned(record);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->width, 1);
  EXPECT_EQ(record->format, kAAA);
  EXPECT_STREQ(record->typeText, "Test file");
  EXPECT_EQ(info.allocate, nullptr);  // information needs no pixels
}

TEST_F(FilterManagerTest, SaveQueryAndSaveGoToTheRecordsFormat) {
  Use("tfmulti\ntfsave");
  PCXSave params;
  SaveQuery query;
  query.params = &params;
  params.format = kSAV;
  EXPECT_EQ(manager.QuerySave(&query), RCOK);
  EXPECT_EQ(query.alpha, 1);
  EXPECT_EQ(query.vector, 1);
  params.format = kSVN;
  EXPECT_EQ(manager.QuerySave(&query), UNSF);
  params.format = kFormatPNG;
  EXPECT_EQ(manager.QuerySave(&query), NSUP);
  EXPECT_EQ(manager.QuerySave(nullptr), BADA);

  ImageDataExchange request;
  request.pages.Add(new IDEPage);
  params.format = kSAV;
  EXPECT_EQ(manager.SaveImageData("out.sav", &request, &params), RCOK);
  testplugin::Stats& stats = StatsOf(manager.FindById(kSAV));
  EXPECT_EQ(stats.lastSaveFormat, kSAV);
  EXPECT_EQ(stats.lastSavePages, 1u);
  EXPECT_EQ(request.allocate, &FilterManager::AllocatePixels);
  params.format = kSVN;
  EXPECT_EQ(manager.SaveImageData("out.svn", &request, &params), UNSF);
  params.format = kFormatPNG;
  EXPECT_EQ(manager.SaveImageData("out.png", &request, &params), NSUP);
  EXPECT_EQ(manager.SaveImageData("out.png", &request, nullptr), BADA);
}

TEST_F(FilterManagerTest, OpenFilterStrings) {
  std::string out;
  Use("tfsave");
  ASSERT_TRUE(manager.BuildOpenFilter(out, true));
  EXPECT_EQ(out,
            "All files|*.*|Saved pictures (*.sav;*.save)|*.sav;*.save|never listed"
            "|No saving (*.svn)|*.svn||");
  ASSERT_TRUE(manager.BuildOpenFilter(out, true, nullptr, true));
  EXPECT_EQ(out.substr(0, 32), "All files|*.*|No saving (*.svn)|");
  ASSERT_TRUE(manager.BuildOpenFilter(out, false));
  EXPECT_EQ(out.substr(0, 15), "All files\0*.*\0S"sv);
  EXPECT_EQ(out.substr(out.size() - 2), "\0\0"sv);

  // Common formats first; AAA announced again right after itself is listed once.
  Use("tfmulti\ntfdup");
  ASSERT_TRUE(manager.BuildOpenFilter(out, true));
  EXPECT_EQ(out,
            "All files|*.*|Common graphic files|*.bbb;*.dup;*.aaa;*.dup;"
            "|Beta pictures (*.bbb;*.dup)|*.bbb;*.dup|Beta two (*.bb2)|*.bb2"
            "|PostScript (*.ps)|*.ps|Alpha pictures (*.aaa;*.dup)|*.aaa;*.dup"
            "|Alpha again (*.aaa)|*.aaa||");
  auto notBeta = [](const FilterFormatDesc& desc) { return desc.Id != kBBB; };
  ASSERT_TRUE(manager.BuildOpenFilter(out, true, notBeta, true));
  EXPECT_EQ(out,
            "All files|*.*|Common graphic files|*.aaa;*.dup;"
            "|Alpha again (*.aaa)|*.aaa|Alpha pictures (*.aaa;*.dup)|*.aaa;*.dup"
            "|PostScript (*.ps)|*.ps||");

  Use("notthere");
  EXPECT_FALSE(manager.BuildOpenFilter(out, true));
}

TEST_F(FilterManagerTest, SaveFilterStringsAndDefaultExtensions) {
  std::string out;
  Use("tfsave\ntfmulti");
  ASSERT_TRUE(manager.BuildSaveFilter(out, true));
  EXPECT_EQ(out, "Saved pictures|*.sav;*.save|Beta pictures|*.bbb;*.dup||");
  ASSERT_TRUE(manager.BuildSaveFilter(out, true, nullptr, true));
  EXPECT_EQ(out, "Beta pictures|*.bbb;*.dup|Saved pictures|*.sav;*.save||");
  ASSERT_TRUE(manager.BuildSaveFilter(out, false));
  EXPECT_EQ(out.find('|'), std::string::npos);
  EXPECT_FALSE(manager.BuildSaveFilter(out, true, [](const FilterFormatDesc&) { return false; }));

  char buffer[8];
  bool cannotSave = true;
  ASSERT_TRUE(manager.GetDefaultExtension(kSAV, buffer, 5, cannotSave));
  EXPECT_STREQ(buffer, ".sav");
  EXPECT_FALSE(cannotSave);
  EXPECT_FALSE(manager.GetDefaultExtension(kSAV, buffer, 4, cannotSave));
  ASSERT_TRUE(manager.GetDefaultExtension(kSVN, buffer, sizeof(buffer), cannotSave));
  EXPECT_STREQ(buffer, ".svn");
  EXPECT_TRUE(cannotSave);
  EXPECT_FALSE(manager.GetDefaultExtension(kFormatPNG, buffer, sizeof(buffer), cannotSave));
}

TEST_F(FilterManagerTest, ColourEffectModuleBelongsToTheHandle) {
  Use("tfsave");
  {
    FilterAccess access(manager);
    EXPECT_EQ(access.owner, nullptr);
    EXPECT_EQ(access.manager, &manager);
    ApplyColorEffectEntry apply = manager.GetColorEffectFunction(access);
    ASSERT_NE(apply, nullptr);
    // The real module: a negative of one pixel, and a code for a missing bitmap.
    uint8_t pixel[4] = {10, 20, 30, 0};
    CoreBitmap bitmap;
    bitmap.pixels = pixel;
    bitmap.width = bitmap.height = 1;
    bitmap.pixelType = kPixelRGB24;
    EXPECT_EQ(apply(&bitmap, 5, nullptr, nullptr, nullptr), RCOK);
    EXPECT_EQ(pixel[0], 245);
    EXPECT_EQ(pixel[2], 225);
    EXPECT_EQ(apply(nullptr, 5, nullptr, nullptr, nullptr), BADA);
    EXPECT_EQ(manager.GetColorEffectFunction(access), apply);
    EXPECT_TRUE(IsLoaded("cef"));
  }
  EXPECT_FALSE(IsLoaded("cef"));

  manager.Configure(nullptr, "");  // no folder: the system's search finds no such module
  FilterAccess access(manager);
  EXPECT_EQ(manager.GetColorEffectFunction(access), nullptr);
  EXPECT_EQ(access.effectModule, nullptr);
}

TEST(FilterManagerAllocator, SizesFollowTheBitmapAndStayWithin32Bits) {
  CoreBitmap bitmap;
  bitmap.width = 3;
  bitmap.height = 2;
  bitmap.pixelType = kPixelRGB24;  // rows of 12 bytes
  void* block = FilterManager::AllocatePixels(&bitmap);
  ASSERT_NE(block, nullptr);
  std::memset(block, 0xFF, 24);
  FilterManager::ReleasePixels(block, 0);
  bitmap.width = 70000;
  bitmap.height = 70000;
  bitmap.pixelType = kPixelRGBA32;
  EXPECT_EQ(FilterManager::AllocatePixels(&bitmap), nullptr);
  bitmap.width = 0;
  EXPECT_EQ(FilterManager::AllocatePixels(&bitmap), nullptr);
  EXPECT_EQ(FilterManager::AllocatePixels(nullptr), nullptr);
  FilterManager::ReleasePixels(nullptr, 0);
}
