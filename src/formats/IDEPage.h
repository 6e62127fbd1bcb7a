// One decoded page or layer as it travels between the program and a format plug-in
// (the pages of glib::ImageDataExchange). Plug-ins create pages on load and append
// them to the request's page array; the program creates them for a save.
//
// The page begins with its CoreBitmap, whose table pointer is the page's own table:
// slot 0 destroys the whole page with the code of the module that created it, and
// that is how the page array deletes a page (DestroyElement). Everything in this
// header is inline, so each module that includes it gets its own table.
#pragma once

#include <cstdint>
#include <new>
#include <type_traits>

#include "formats/CoreBitmap.h"
#include "formats/GenBytes.h"
#include "formats/GenString.h"
#include "formats/Retcode.h"
#include "platform/Abi.h"
#include "platform/PageAlloc.h"

namespace glib {

// Releases a bitmap by its own rule: when it owns its rows they go to freePixels (or
// back to the page allocator), and its attachment and picture are destroyed through
// their tables. Afterwards the bitmap is empty.
inline void ReleasePageBitmap(CoreBitmap& bitmap) noexcept {
  if (bitmap.ownsPixels) {
    if (bitmap.pixels) {
      if (bitmap.freePixels) {
        bitmap.freePixels(bitmap.pixels, bitmap.freeContext);
      } else {
        platform::PageFree(bitmap.pixels);
      }
    }
    if (bitmap.attachment && bitmap.attachment->ops)
      bitmap.attachment->ops->Destroy(bitmap.attachment, 1);
    if (bitmap.picture && bitmap.picture->ops) bitmap.picture->ops->Destroy(bitmap.picture, 1);
  }
  bitmap.pixels = nullptr;
  bitmap.width = bitmap.height = 0;
  bitmap.attachment = bitmap.picture = nullptr;
  bitmap.pixelType = kPixelNone;
}

struct IDEPage {
  CoreBitmap bitmap;  // on load the Film takes the rows over; on save they stay the layer's
  gen::string name;   // page or layer name
  gen::byte_array layerMetadata;
  gen::byte_array slideMetadata;
  uint32_t background = 0xFFFFFFFF;  // colour value, red in the lowest byte
  int32_t canvasLeft = 0;
  int32_t canvasTop = 0;
  int32_t canvasRight = 0;
  int32_t canvasBottom = 0;
  uint32_t blendMode = FourCC("norm");
  uint8_t base = 0;  // nonzero: the layer becomes the slide's base layer
  uint8_t visible = 1;
  uint8_t enabled = 1;
  uint8_t reserved = 0;
  int32_t group = -1;  // equal groups in a row form one slide; -1 first: one slide each
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  uint32_t delay = 10;        // milliseconds as an animation frame
  float resolutionX = 96.0f;  // dots per inch
  float resolutionY = 96.0f;

  IDEPage() noexcept { bitmap.ops = &kOps; }
  ~IDEPage() { ReleasePageBitmap(bitmap); }
  IDEPage(const IDEPage&) = delete;
  IDEPage& operator=(const IDEPage&) = delete;

  // Destroys a page of any module through its table (the page array's deleter).
  static void DestroyElement(IDEPage* page) noexcept {
    if (page && page->bitmap.ops && page->bitmap.ops->Destroy) {
      page->bitmap.ops->Destroy(&page->bitmap, kFreeStorage);
    }
  }

 private:
  static constexpr uint32_t kFreeStorage = 1;

  static void ORBISK_CDECL DestroySlot(CoreBitmap* self, uint32_t flags) noexcept {
    // The bitmap is the first member: its address is the page's.
    IDEPage* page = reinterpret_cast<IDEPage*>(self);
    if (flags & kFreeStorage) {
      delete page;
    } else {
      page->~IDEPage();
    }
  }

  static constexpr CoreBitmapOps kOps = {&DestroySlot};
};

static_assert(std::is_standard_layout_v<IDEPage>);
ORBISK_LAYOUT_OFFSET(IDEPage, bitmap, 0);
ORBISK_LAYOUT_OFFSET(IDEPage, name, 1088);
ORBISK_LAYOUT_OFFSET(IDEPage, layerMetadata, 1112);
ORBISK_LAYOUT_OFFSET(IDEPage, slideMetadata, 1136);
ORBISK_LAYOUT_OFFSET(IDEPage, background, 1160);
ORBISK_LAYOUT_OFFSET(IDEPage, canvasLeft, 1164);
ORBISK_LAYOUT_OFFSET(IDEPage, canvasBottom, 1176);
ORBISK_LAYOUT_OFFSET(IDEPage, blendMode, 1180);
ORBISK_LAYOUT_OFFSET(IDEPage, base, 1184);
ORBISK_LAYOUT_OFFSET(IDEPage, visible, 1185);
ORBISK_LAYOUT_OFFSET(IDEPage, enabled, 1186);
ORBISK_LAYOUT_OFFSET(IDEPage, group, 1188);
ORBISK_LAYOUT_OFFSET(IDEPage, offsetX, 1192);
ORBISK_LAYOUT_OFFSET(IDEPage, offsetY, 1196);
ORBISK_LAYOUT_OFFSET(IDEPage, delay, 1200);
ORBISK_LAYOUT_OFFSET(IDEPage, resolutionX, 1204);
ORBISK_LAYOUT_OFFSET(IDEPage, resolutionY, 1208);
ORBISK_LAYOUT_SIZE(IDEPage, 1212);

}  // namespace glib
