// Three formats from one module: BBB (common, no signature, saves, has a sub-format,
// no thumbnail), "PS " (a code with a blank), AAA (common, signature "AAA").
#include "PluginKit.h"

using namespace testplugin;

namespace {
constexpr uint32_t kBBB = 0x08424242;
constexpr uint32_t kPS = 0x00505320;
constexpr uint32_t kAAA = 0x08414141;
}  // namespace

ORBISK_EXPORT uint32_t ORBISK_CDECL GetFilterInfo(uint32_t query, void* record) {
  if (query == 1) {
    auto* save = static_cast<glib::SaveQuery*>(record);
    save->alpha = 1;
    save->layers = 1;
    save->merged = 1;
    return glib::RCOK;
  }
  ++TheStats().filterInfoCalls;
  auto* info = static_cast<glib::FilterInfoRecord*>(record);
  glib::FilterFormatDesc* beta =
      Announce(info, kBBB, 0, nullptr, "bbb\ndup", "|Beta pictures|*.bbb;*.dup");
  info->AddSubFormat(beta, "bb2", "|Beta two|*.bb2");
  Announce(info, kPS, 0xFFFFFFFF, "%!PS", "ps", "|PostScript|*.ps", false);
  Announce(info, kAAA, 3, "AAAjunk", "aaa\ndup", "|Alpha pictures|*.aaa;*.dup");
  info->Version = glib::kFilterInterfaceVersion;
  return glib::RCOK;
}

TEST_LOAD_ENTRY(LoadBBBImageData, { return AddPage(request, "LoadBBBImageData"); })
TEST_LOAD_ENTRY(GetBBBFileInfo, { return ReportInfo(params, kBBB, 2); })
ORBISK_EXPORT uint32_t ORBISK_CDECL SaveBBBImageData(const void*, glib::ImageDataExchange* request,
                                                     glib::ImageSave* params) {
  TheStats().lastSaveFormat = params->format;
  TheStats().lastSavePages = request->pages.size();
  return request->allocate && request->release ? glib::RCOK : glib::IERR;
}

TEST_LOAD_ENTRY(LoadPSImageData, { return AddPage(request, "LoadPSImageData"); })
TEST_LOAD_ENTRY(GetPSFileInfo, { return ReportInfo(params, kPS, 3); })
TEST_LOAD_ENTRY(LoadPSImageThumbnail, { return AddPage(request, "LoadPSImageThumbnail"); })

TEST_LOAD_ENTRY(LoadAAAImageData, { return AddPage(request, "LoadAAAImageData"); })
TEST_LOAD_ENTRY(GetAAAFileInfo, { return ReportInfo(params, kAAA, 1); })
TEST_LOAD_ENTRY(LoadAAAImageThumbnail, { return AddPage(request, "LoadAAAImageThumbnail"); })
