// The pixels an effect works on, and the scratch rows neighbourhood filters compute
// into before the result replaces the picture's colour samples in one last pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "formats/CoreBitmap.h"
#include "formats/Retcode.h"

namespace cef {

// A bitmap's rows: 8- or 16-bit samples, blue, green, red and perhaps alpha per
// pixel. Effects change the three colour samples only.
struct Picture {
  uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  uint64_t rowBytes = 0;
  int channels = 3;   // samples per pixel; a fourth is alpha
  bool wide = false;  // 16-bit samples

  uint32_t Max() const { return wide ? 65535u : 255u; }
  size_t RowSamples() const { return size_t(width) * size_t(channels); }
  uint64_t Pixels() const { return uint64_t(width) * uint64_t(height); }
  template <typename T>
  T* Row(int32_t y) const {
    return reinterpret_cast<T*>(pixels + uint64_t(y) * rowBytes);
  }
};

// RCOK with `picture` filled for 24-, 32-, 48- and 64-bit RGB bitmaps. BADA for a
// missing bitmap or rows, a size that is not positive, an explicit row length
// shorter than the pixels (or odd for 16-bit samples); UNSF for other pixel types.
glib::ERetcode ReadPicture(const glib::CoreBitmap* bitmap, Picture& picture);

// Blocks for scratch samples straight from the system (zero-filled, 64-byte aligned);
// null when memory is short or the size passes the page allocator's limit.
void* AllocateBlock(size_t bytes) noexcept;
void ReleaseBlock(void* block) noexcept;

// `count` samples of type S in such a block; empty when memory is short.
template <typename S>
class Buffer {
  static_assert(std::is_trivially_copyable_v<S> && std::is_trivially_default_constructible_v<S>);

 public:
  Buffer() = default;
  ~Buffer() { ReleaseBlock(data_); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

  bool Allocate(size_t count) {
    ReleaseBlock(data_);
    data_ = nullptr, size_ = 0;
    if (count == 0 || count > SIZE_MAX / sizeof(S)) return false;
    data_ = static_cast<S*>(AllocateBlock(count * sizeof(S)));
    size_ = data_ ? count : 0;
    return data_ != nullptr;
  }
  S* Data() const { return data_; }
  size_t Size() const { return size_; }
  S& operator[](size_t i) const { return data_[i]; }

 private:
  S* data_ = nullptr;
  size_t size_ = 0;
};

// Packed rows of the picture's size (all its channels) holding a result being
// computed; the picture is left alone until Commit.
template <typename S>
class Scratch {
 public:
  bool Allocate(const Picture& picture) {
    width_ = picture.RowSamples();
    return buffer_.Allocate(width_ * size_t(picture.height));
  }
  S* Row(int32_t y) const { return buffer_.Data() + size_t(y) * width_; }

  // Copies the colour samples into the picture (of sample type T).
  template <typename T>
  void Commit(const Picture& picture) const {
    const int c = picture.channels;
    for (int32_t y = 0; y < picture.height; ++y) {
      const S* from = Row(y);
      T* to = picture.Row<T>(y);
      if (c == 3) {
        for (size_t i = 0; i < width_; ++i) to[i] = T(from[i]);
      } else {
        for (size_t i = 0; i < width_; i += 4) {
          to[i] = T(from[i]), to[i + 1] = T(from[i + 1]), to[i + 2] = T(from[i + 2]);
        }
      }
    }
  }

 private:
  Buffer<S> buffer_;
  size_t width_ = 0;
};

// Calls run(T()) with T the picture's sample type.
template <typename F>
auto ByDepth(const Picture& picture, F&& run) {
  return picture.wide ? run(uint16_t()) : run(uint8_t());
}

// Sample values and their rounding.
template <typename T>
constexpr int32_t kMaxOf = sizeof(T) == 1 ? 255 : 65535;

// Written as two selects so that loops over them vectorise (to max and min).
template <typename T>
inline T RoundSample(float v) {
  constexpr float kMax = float(kMaxOf<T>);
  v = v > 0.0f ? v : 0.0f;  // NaN gives 0
  v = v < kMax ? v : kMax;
  return T(int32_t(v + 0.5f));
}
template <typename T>
inline T RoundSample(double v) {
  constexpr double kMax = double(kMaxOf<T>);
  v = v > 0.0 ? v : 0.0;
  v = v < kMax ? v : kMax;
  return T(int32_t(v + 0.5));
}

// Luminance of a pixel (blue, green, red) by the weights 0.114, 0.587 and 0.299.
template <typename T>
inline uint32_t Luminance(const T* px) {
  return (114u * px[0] + 587u * px[1] + 299u * px[2] + 500u) / 1000u;
}

inline int32_t ClampIndex(int64_t i, int32_t size) {
  return i < 0 ? 0 : i >= size ? size - 1 : int32_t(i);
}

}  // namespace cef
