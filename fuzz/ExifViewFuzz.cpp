// EXIF blocks come from JPEG, PNG, WebP and TIFF files of any origin. Builds the view
// of the block in both modes and reads every name and value the way the information
// window does.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/ExifView.h"

using glib::Libtiff::EXIFView;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  for (bool detailed : {false, true}) {
    EXIFView view(detailed);
    if (!view.BuildView(data, uint32_t(size))) continue;
    size_t total = 0;
    for (uint32_t i = 0; i <= view.GetSize(); ++i) {
      total += std::strlen(view.GetName(i)) + std::strlen(view.GetValue(i));
      view.GetTag(i);
      view.GetIfd(i);
    }
    if (view.IsEmpty() != (view.GetSize() == 0)) __builtin_trap();
    (void)total;
  }
  return 0;
}
