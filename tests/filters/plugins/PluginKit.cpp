#include "PluginKit.h"

#include <algorithm>
#include <cstring>
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

std::vector<void*>& PageRows() {
  static std::vector<void*> rows;
  return rows;
}

uint32_t AddCraftedPage(glib::ImageDataExchange* request, const PageSpec& shape) {
  auto* page = new (std::nothrow) glib::IDEPage;
  if (!page) return glib::OMEM;
  page->name = shape.name;
  if (!shape.layerMetadata.empty())
    page->layerMetadata.assign(shape.layerMetadata.data(), shape.layerMetadata.size());
  if (!shape.slideMetadata.empty())
    page->slideMetadata.assign(shape.slideMetadata.data(), shape.slideMetadata.size());
  page->background = shape.background;
  page->canvasLeft = shape.canvas[0];
  page->canvasTop = shape.canvas[1];
  page->canvasRight = shape.canvas[2];
  page->canvasBottom = shape.canvas[3];
  page->blendMode = shape.blend;
  page->base = shape.base;
  page->visible = shape.visible;
  page->enabled = shape.enabled;
  page->group = shape.group;
  page->offsetX = shape.x;
  page->offsetY = shape.y;
  page->delay = shape.delay;
  page->resolutionX = shape.resolutionX;
  page->resolutionY = shape.resolutionY;
  glib::CoreBitmap& b = page->bitmap;
  if (!shape.noRows) {
    b.width = shape.width;
    b.height = shape.height;
    b.pixelType = shape.type;
    b.stride = shape.stride;
    b.pixels = static_cast<uint8_t*>(request->allocate(&b));
    if (!b.pixels) {
      delete page;
      return glib::OMEM;
    }
    b.ownsPixels = 1;
    b.freePixels = &CountingRelease;
    b.freeContext = reinterpret_cast<uintptr_t>(request->release);
    const uint64_t row = glib::RowBytes(b);
    const uint64_t bytes = row * uint64_t(b.height);
    if (!shape.pixels.empty()) {
      std::memcpy(b.pixels, shape.pixels.data(), std::min<uint64_t>(bytes, shape.pixels.size()));
    } else if (shape.fill != 0) {
      const uint32_t bits = glib::BitsPerPixel(b.pixelType);
      const uint32_t step = bits >= 8 ? bits / 8 : 1;
      for (int32_t y = 0; y < b.height; ++y) {
        for (uint64_t x = 0; x + step <= row; x += step)
          std::memcpy(b.pixels + uint64_t(y) * row + x, &shape.fill, std::min<uint32_t>(step, 4));
      }
    }
    for (size_t i = 0; i < shape.palette.size() && i < 256; ++i) b.palette[i] = shape.palette[i];
    if (shape.claimedWidth) b.width = shape.claimedWidth;
    if (shape.claimedHeight) b.height = shape.claimedHeight;
    PageRows().push_back(b.pixels);
  }
  gen::ArrayRecord* pages = request->pages.record();
  if (!pages->table->Add(pages, page)) {
    delete page;
    return glib::OMEM;
  }
  return glib::RCOK;
}

}  // namespace testplugin

ORBISK_EXPORT testplugin::Stats* ORBISK_CDECL GetTestPluginStats() {
  return &testplugin::TheStats();
}
