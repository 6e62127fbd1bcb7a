// Parameter lists come from settings dialogs and kernel files, pictures from any
// file. Reads from the bytes an effect number, a small picture (pixel type, size,
// row rule, samples) and a parameter list of any length, kinds and values, and a
// step at which the progress callback asks to stop; runs the effect and checks what
// must hold whatever the input: on any code but RCOK the pixels are as they were,
// and alpha and row padding never change.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cef/Effects.h"
#include "formats/DynParams.h"
#include "formats/Retcode.h"

namespace {

class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  template <typename V>
  V Value() {
    uint8_t raw[sizeof(V)] = {};
    for (uint8_t& b : raw) b = Byte();
    V v;
    std::memcpy(&v, raw, sizeof v);
    return v;
  }
  // The bytes left, repeated over `out` (zeros when none are left).
  void Fill(std::vector<uint8_t>& out) {
    for (size_t i = 0; i < out.size(); ++i)
      out[i] = at_ < size_ ? data_[at_ + i % (size_ - at_)] : 0;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

glib::DynParams::Par_t Parameter(Bytes& in) {
  switch (in.Byte() % 4) {
    case 0:
      return glib::DynParams::Par_t::Integer(in.Value<int64_t>());
    case 1:
      return glib::DynParams::Par_t::Real(in.Value<double>());  // NaN, infinities, anything
    case 2:
      return glib::DynParams::Par_t::Integer(int8_t(in.Byte()));  // the likely small values
    default:
      return glib::DynParams::Par_t::Real(in.Value<int16_t>() / 8.0);
  }
}

int32_t stopAt = 0;
bool ORBISK_CDECL StopAt(ClbData* data) { return data->step != stopAt; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  uint8_t pick = in.Byte();
  uint32_t effect = pick < 240 ? pick % 36 : in.Value<uint32_t>();
  const uint32_t types[] = {glib::kPixelRGB24, glib::kPixelRGBA32, glib::kPixelRGB48,
                            glib::kPixelRGBA64, glib::kPixelIndexed8};
  glib::CoreBitmap bitmap;
  bitmap.pixelType = types[in.Byte() % 5];
  bitmap.width = 1 + in.Byte() % 24;
  bitmap.height = 1 + in.Byte() % 24;
  const uint32_t bits = glib::BitsPerPixel(bitmap.pixelType);
  switch (uint8_t rule = in.Byte(); rule % 3) {
    case 0:
      bitmap.stride = glib::kStridePadded;
      break;
    case 1:
      bitmap.stride = glib::kStridePacked;
      break;
    default:  // explicit, sometimes too short
      bitmap.stride = int32_t(glib::RowBytes(bitmap.width, bits, glib::kStridePacked)) +
                      int32_t(rule / 3 % 9) - 2;
  }
  std::vector<glib::DynParams::Par_t> items(in.Byte() % 32);
  for (auto& item : items) item = Parameter(in);
  glib::DynParams params;
  params.items = items.data();
  params.count = uint32_t(items.size());
  stopAt = in.Byte() % 4 == 0 ? 1 + in.Byte() % 100 : 0;
  ClbData record;

  const uint64_t row = glib::RowBytes(bitmap);
  std::vector<uint8_t> pixels(row > 0 ? size_t(row) * size_t(bitmap.height) + 8 : 8);
  in.Fill(pixels);
  const std::vector<uint8_t> before = pixels;
  bitmap.pixels = pixels.data();
  uint32_t rc = cef::ApplyColorEffect(&bitmap, effect, items.empty() ? nullptr : &params,
                                      stopAt ? StopAt : nullptr, &record);
  if (rc != glib::RCOK) {
    if (pixels != before) std::abort();
    return 0;
  }
  // Only colour samples change: never alpha, padding or the bytes past the rows.
  const size_t bytesPerSample = bits / 8 / glib::SamplesPerPixel(bitmap.pixelType);
  const size_t used = size_t(bitmap.width) * bits / 8;
  for (int32_t y = 0; y < bitmap.height; ++y) {
    const size_t start = size_t(y) * size_t(row);
    for (size_t i = used; i < row; ++i) {
      if (pixels[start + i] != before[start + i]) std::abort();
    }
    for (size_t i = 0; glib::HasAlpha(bitmap.pixelType) && i < used; i += bits / 8) {
      const size_t alpha = start + i + 3 * bytesPerSample;
      if (std::memcmp(&pixels[alpha], &before[alpha], bytesPerSample) != 0) std::abort();
    }
  }
  const size_t end = size_t(row) * size_t(bitmap.height);
  if (std::memcmp(pixels.data() + end, before.data() + end, pixels.size() - end) != 0) std::abort();
  return 0;
}
