// Formats whose entries answer CFLT: RDA to AAA (known), RDB to XXX (unknown), RDC
// to itself (a cycle); RDA's thumbnail to BBB, which has no thumbnail entry.
#include "PluginKit.h"

using namespace testplugin;

namespace {
constexpr uint32_t kRDC = 0x00524443;
uint32_t Redirect(glib::ImageDataExchange* request, uint32_t to) {
  request->format = to;
  return glib::CFLT;
}
}  // namespace

ORBISK_EXPORT uint32_t ORBISK_CDECL GetFilterInfo(uint32_t, void* record) {
  auto* info = static_cast<glib::FilterInfoRecord*>(record);
  Announce(info, 0x00524441, 3, "RDA", "rda", "|Redirect A|*.rda");
  Announce(info, 0x00524442, 3, "RDB", "rdb", "|Redirect B|*.rdb");
  Announce(info, kRDC, 3, "RDC", "rdc", "|Redirect C|*.rdc");
  info->Version = glib::kFilterInterfaceVersion;
  return glib::RCOK;
}

TEST_LOAD_ENTRY(LoadRDAImageData, { return Redirect(request, 0x08414141); })
TEST_LOAD_ENTRY(LoadRDAImageThumbnail, { return Redirect(request, 0x08424242); })
TEST_LOAD_ENTRY(GetRDAFileInfo, { return glib::RCOK; })
TEST_LOAD_ENTRY(LoadRDBImageData, { return Redirect(request, 0x00585858); })
TEST_LOAD_ENTRY(GetRDBFileInfo, { return glib::RCOK; })
TEST_LOAD_ENTRY(LoadRDCImageData, { return Redirect(request, kRDC); })
TEST_LOAD_ENTRY(GetRDCFileInfo, { return glib::RCOK; })
