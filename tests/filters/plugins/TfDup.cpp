// AAA once more, as a second plug-in would announce a format the first one has.
#include "PluginKit.h"

using namespace testplugin;

ORBISK_EXPORT uint32_t ORBISK_CDECL GetFilterInfo(uint32_t query, void* record) {
  if (query != 0) return glib::UNSF;
  ++TheStats().filterInfoCalls;
  auto* info = static_cast<glib::FilterInfoRecord*>(record);
  Announce(info, 0x08414141, 3, "AAA", "aaa", "|Alpha again|*.aaa");
  info->Version = glib::kFilterInterfaceVersion;
  return glib::RCOK;
}

TEST_LOAD_ENTRY(LoadAAAImageData, { return AddPage(request, "tfdup"); })
TEST_LOAD_ENTRY(GetAAAFileInfo, { return glib::RCOK; })
