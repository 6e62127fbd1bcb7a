// A plug-in built for another interface version: its formats must be dropped.
#include "PluginKit.h"

using namespace testplugin;

ORBISK_EXPORT uint32_t ORBISK_CDECL GetFilterInfo(uint32_t, void* record) {
  auto* info = static_cast<glib::FilterInfoRecord*>(record);
  Announce(info, 0x00564552, 3, "VER", "ver", "|Versioned|*.ver");
  info->Version = 0x800;
  return glib::RCOK;
}

TEST_LOAD_ENTRY(LoadVERImageData, { return glib::RCOK; })
TEST_LOAD_ENTRY(GetVERFileInfo, { return glib::RCOK; })
