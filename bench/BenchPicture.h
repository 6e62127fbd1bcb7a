// The picture every comparison runs on: a generated stand-in for a photograph, with
// smooth colour fields, fine texture, grain and hard-edged shapes.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace bench {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;

// Packed rows of blue, green, red bytes.
inline std::vector<uint8_t> MakePicture(int32_t w, int32_t h) {
  std::vector<uint8_t> bgr(size_t(w) * size_t(h) * 3);
  auto clamp = [](double v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); };
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      double fx = x / double(w), fy = y / double(h);
      double r = 128 + 70 * std::sin(6.1 * fx + 2.3 * fy) + 35 * std::cos(17.0 * fx * fy + 1.0);
      double g = 120 + 60 * std::sin(4.3 * fy - 3.1 * fx + 0.5) + 30 * std::sin(23.0 * fx);
      double b = 110 + 80 * std::cos(5.2 * fx + 4.4 * fy) + 20 * std::sin(31.0 * fy);
      double texture = 18 * std::sin(x * 0.21) * std::sin(y * 0.17);
      uint32_t hash = uint32_t(x) * 2654435761u ^ uint32_t(y) * 2246822519u;
      hash ^= hash >> 15;
      hash *= 2654435761u;
      hash ^= hash >> 13;
      double grain = int(hash & 15) - 7.5;
      r += texture + grain, g += texture * 0.8 + grain, b += texture * 0.6 + grain;
      double cx = fx - 0.3, cy = fy - 0.4;
      if (cx * cx + cy * cy < 0.02) r = 230, g = 40 + 20 * fx, b = 30;
      if (fx > 0.62 && fx < 0.8 && fy > 0.55 && fy < 0.9) r = 20, g = 60, b = 200 + 30 * fy;
      uint8_t* p = &bgr[(size_t(y) * size_t(w) + size_t(x)) * 3];
      p[0] = clamp(b), p[1] = clamp(g), p[2] = clamp(r);
    }
  }
  return bgr;
}

// The same picture with an opaque alpha byte after every pixel.
inline std::vector<uint8_t> WithAlpha(const std::vector<uint8_t>& bgr) {
  std::vector<uint8_t> bgra(bgr.size() / 3 * 4);
  for (size_t i = 0, j = 0; i < bgr.size(); i += 3, j += 4) {
    bgra[j] = bgr[i], bgra[j + 1] = bgr[i + 1], bgra[j + 2] = bgr[i + 2], bgra[j + 3] = 255;
  }
  return bgra;
}

}  // namespace bench
