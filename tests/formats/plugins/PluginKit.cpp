#include "PluginKit.h"

#include <new>

namespace testplugin {
namespace {

void ORBISK_CDECL CountingRelease(void* block, uintptr_t hostRelease) {
  ++TheStats().rowsReleased;
  reinterpret_cast<glib::PixelReleaseFunc>(hostRelease)(block, 0);
}

struct TestFileInfo : glib::FileInfoRecord {
  static void ORBISK_CDECL Destroy(glib::FileInfoRecord* self, uint32_t flags) {
    auto* info = static_cast<TestFileInfo*>(self);
    if (flags & 1) {
      delete info;
    } else {
      info->~TestFileInfo();
    }
  }
  static constexpr glib::FileInfoRecordOps kOps = {&Destroy};
  TestFileInfo() : FileInfoRecord(&kOps, sizeof(TestFileInfo)) {}
};

}  // namespace

Stats& TheStats() {
  static Stats stats;
  return stats;
}

glib::FilterFormatDesc* Announce(glib::FilterInfoRecord* record, uint32_t id, uint32_t maskLength,
                                 const char* mask, const char* extensions, const char* filterText,
                                 bool byExtension, uint32_t matchParam) {
  glib::FilterFormatDesc* desc =
      record->AddFormat(id, matchParam, maskLength, mask, extensions, filterText);
  if (!desc) return nullptr;
  record->Formats->Add(desc);
  desc->ByExtension = byExtension ? 1 : 0;
  return desc;
}

uint32_t AddPage(glib::ImageDataExchange* request, const char* name) {
  auto* page = new (std::nothrow) glib::IDEPage;
  if (!page) return glib::OMEM;
  page->name = name;
  page->bitmap.width = 2;
  page->bitmap.height = 2;
  page->bitmap.pixelType = glib::kPixelRGBA32;
  page->bitmap.pixels = static_cast<uint8_t*>(request->allocate(&page->bitmap));
  if (!page->bitmap.pixels) {
    delete page;
    return glib::OMEM;
  }
  page->bitmap.ownsPixels = 1;
  page->bitmap.freePixels = &CountingRelease;
  page->bitmap.freeContext = reinterpret_cast<uintptr_t>(request->release);
  page->bitmap.pixels[0] = 0x5A;
  gen::ArrayRecord* pages = request->pages.record();
  if (!pages->table->Add(pages, page)) {
    delete page;
    return glib::OMEM;
  }
  return glib::RCOK;
}

uint32_t ReportInfo(void* params, uint32_t format, int32_t width) {
  if (!params) return glib::RCOK;
  auto* info = new (std::nothrow) TestFileInfo;
  if (!info) return glib::OMEM;
  info->format = format;
  info->width = width;
  info->typeText = "Test file";
  *static_cast<glib::FileInfoRecord**>(params) = info;
  return glib::RCOK;
}

}  // namespace testplugin

ORBISK_EXPORT testplugin::Stats* ORBISK_CDECL GetTestPluginStats() {
  return &testplugin::TheStats();
}
