// A writable format (SAV, with a text after its patterns) and a read-only one (SVN).
#include "PluginKit.h"

using namespace testplugin;

namespace {
constexpr uint32_t kSAV = 0x00534156;
}

ORBISK_EXPORT uint32_t ORBISK_CDECL GetFilterInfo(uint32_t query, void* record) {
  if (query == 1) {
    auto* save = static_cast<glib::SaveQuery*>(record);
    save->alpha = save->params->format == kSAV;
    save->vector = 1;
    return glib::RCOK;
  }
  auto* info = static_cast<glib::FilterInfoRecord*>(record);
  Announce(info, kSAV, 3, "SAV", "sav\nsave", "|Saved pictures|*.sav;*.save|never listed");
  Announce(info, 0x0053564E, 3, "SVN", "svn", "|No saving|*.svn");
  info->Version = glib::kFilterInterfaceVersion;
  return glib::RCOK;
}

TEST_LOAD_ENTRY(LoadSAVImageData, { return AddPage(request, "LoadSAVImageData"); })
TEST_LOAD_ENTRY(GetSAVFileInfo, { return glib::RCOK; })
ORBISK_EXPORT uint32_t ORBISK_CDECL SaveSAVImageData(const void*, glib::ImageDataExchange* request,
                                                     glib::ImageSave* params) {
  TheStats().lastSaveFormat = params->format;
  TheStats().lastSavePages = request->pages.size();
  return glib::RCOK;
}
TEST_LOAD_ENTRY(LoadSVNImageData, { return glib::RCOK; })
TEST_LOAD_ENTRY(GetSVNFileInfo, { return glib::RCOK; })
