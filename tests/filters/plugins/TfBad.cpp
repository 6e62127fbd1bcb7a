// A careless plug-in: it appends a null pointer, a record it made itself, the same
// record twice, forgets one it created, and gives a mask it claims is huge.
#include <string>

#include "PluginKit.h"

using namespace testplugin;

namespace {
glib::FilterFormatDesc foreign;
}

ORBISK_EXPORT uint32_t ORBISK_CDECL GetFilterInfo(uint32_t, void* record) {
  auto* info = static_cast<glib::FilterInfoRecord*>(record);
  gen::ArrayRecord* list = info->Formats->record();
  list->table->Add(list, nullptr);
  list->table->Add(list, &foreign);
  glib::FilterFormatDesc* bad =
      info->AddFormat(0x00424144, 0, 0x7FFFFFFF, "BAD", "bad", "|Bad|*.bad");
  list->table->Add(list, bad);
  list->table->Add(list, bad);
  info->AddFormat(0x004F5250, 0, 3, "ORP", "orp", "|Orphan|*.orp");  // never appended
  static const std::string longText(100000, 'x');
  Announce(info, 0x004C4F4E, 0xFFFFFFFF, longText.c_str(), longText.c_str(), longText.c_str());
  info->Version = glib::kFilterInterfaceVersion;
  return glib::RCOK;
}

TEST_LOAD_ENTRY(LoadBADImageData, { return glib::RCOK; })
TEST_LOAD_ENTRY(GetBADFileInfo, { return glib::RCOK; })
TEST_LOAD_ENTRY(LoadLONImageData, { return glib::RCOK; })
TEST_LOAD_ENTRY(GetLONFileInfo, { return glib::RCOK; })
