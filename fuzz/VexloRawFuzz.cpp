// Fuzz target: RAW import. The first 16 bytes of the input choose the layout (size,
// depth, channels, order, header, gap, interleaving, byte order); the rest is pixels.
#include <cstring>

#include "VexloFuzz.h"
#include "platform/PageAlloc.h"
#include "vexlo/Formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 16) return 0;
  glib::RAWLoad layout;
  layout.width = 1u + data[0] % 64 + (data[1] & 0x80 ? 70000u : 0u);
  layout.height = 1u + data[1] % 64;
  layout.pixelType = (data[2] & 1 ? 16u : 8u) | uint32_t(1 + data[2] % 4) << 8 |
                     (data[2] & 0x80 ? 0 : 0x03010000u);
  layout.headerLength = uint32_t(data[3]) * (data[4] & 0x80 ? 100000u : 1u);
  layout.lineGap = data[5] % 16;
  static const char* const kOrders[] = {"RGBA", "BGRA", "ARGB", "GRBA", "RRRR", "AB\0\0"};
  std::memcpy(layout.channelOrder, kOrders[data[6] % 6], 4);
  layout.interleaved = data[7] & 1;
  layout.littleEndian = data[8] & 1;
  layout.fillAlpha = data[9] & 1;
  static glib::RAWSave saveParams;
  vexlo_fuzz::Codec codec{glib::kFormatRAW, &vexlo::LoadRaw, &vexlo::InfoRaw, nullptr,
                          &vexlo::SaveRaw,  &saveParams,     &layout};
  vexlo_fuzz::Run(codec, data + 16, size - 16);
  return 0;
}
