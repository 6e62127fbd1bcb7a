// Kernel files come from anywhere. Reads any bytes as a kernel under an ACF name and
// under a plain one, and checks that whatever was read completely writes out as text
// that reads back completely to the same text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "viewer/KernelFile.h"

namespace {

void ReadUnder(std::string_view path, std::string_view bytes) {
  viewer::Kernel5x5 kernel;
  if (viewer::ReadKernel(path, bytes, kernel) != viewer::KernelRead::Complete) return;
  const std::string text = viewer::KernelFileText(kernel);
  viewer::Kernel5x5 again;
  if (viewer::ReadKernel("again.kernel", text, again) != viewer::KernelRead::Complete) std::abort();
  if (viewer::KernelFileText(again) != text) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.size() > viewer::kKernelReadLimit) bytes = bytes.substr(0, viewer::kKernelReadLimit);
  ReadUnder("c:\\kernels\\sharp.ACF", bytes);
  ReadUnder("/kernels/sharp.kernel", bytes);
  return 0;
}
