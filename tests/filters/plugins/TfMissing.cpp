// MIA lacks its required load entry (it comes first, so it holds the module); MIB is
// complete.
#include "PluginKit.h"

using namespace testplugin;

ORBISK_EXPORT uint32_t ORBISK_CDECL GetFilterInfo(uint32_t, void* record) {
  auto* info = static_cast<glib::FilterInfoRecord*>(record);
  Announce(info, 0x004D4941, 3, "MIA", "mia", "|Missing A|*.mia");
  Announce(info, 0x004D4942, 3, "MIB", "mib", "|Missing B|*.mib");
  info->Version = glib::kFilterInterfaceVersion;
  return glib::RCOK;
}

TEST_LOAD_ENTRY(GetMIAFileInfo, { return glib::RCOK; })
TEST_LOAD_ENTRY(LoadMIBImageData, { return AddPage(request, "LoadMIBImageData"); })
TEST_LOAD_ENTRY(GetMIBFileInfo, { return glib::RCOK; })
