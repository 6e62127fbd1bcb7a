#include "cef/Picture.h"

#include "platform/PageAlloc.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace cef {

void* AllocateBlock(size_t bytes) noexcept {
  void* block = platform::PageAlloc(bytes);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Scratch rows are written once from end to end: in 2 MiB pages the first touch
  // faults a five-hundredth as often, which is most of a blur's time on some systems.
  constexpr uintptr_t kPage = 4096;
  if (block && bytes >= (8u << 20)) {
    uintptr_t start = (reinterpret_cast<uintptr_t>(block) + kPage - 1) & ~(kPage - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kPage - 1);
    madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
  }
#endif
  return block;
}

void ReleaseBlock(void* block) noexcept { platform::PageFree(block); }

glib::ERetcode ReadPicture(const glib::CoreBitmap* bitmap, Picture& picture) {
  if (!bitmap) return glib::BADA;
  switch (bitmap->pixelType) {
    case glib::kPixelRGB24:
      picture.channels = 3, picture.wide = false;
      break;
    case glib::kPixelRGBA32:
      picture.channels = 4, picture.wide = false;
      break;
    case glib::kPixelRGB48:
      picture.channels = 3, picture.wide = true;
      break;
    case glib::kPixelRGBA64:
      picture.channels = 4, picture.wide = true;
      break;
    default:
      return glib::UNSF;
  }
  if (!bitmap->pixels || bitmap->width <= 0 || bitmap->height <= 0) return glib::BADA;
  const uint32_t bits = glib::BitsPerPixel(bitmap->pixelType);
  const uint64_t packed = glib::RowBytes(bitmap->width, bits, glib::kStridePacked);
  const uint64_t row = glib::RowBytes(*bitmap);
  if (packed == 0 || row < packed) return glib::BADA;
  if (glib::ImageBytes(bitmap->width, bitmap->height, bits, bitmap->stride) == 0) {
    return glib::BADA;
  }
  if (picture.wide && (row % 2 != 0 || reinterpret_cast<uintptr_t>(bitmap->pixels) % 2 != 0)) {
    return glib::BADA;  // 16-bit samples must sit on even addresses
  }
  picture.pixels = bitmap->pixels;
  picture.width = bitmap->width;
  picture.height = bitmap->height;
  picture.rowBytes = row;
  return glib::RCOK;
}

}  // namespace cef
