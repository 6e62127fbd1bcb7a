#include "CefKit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "cef/Effects.h"
#include "formats/DynParams.h"
#include "formats/Retcode.h"
#include "support/TestSupport.h"

namespace cef_test {

uint32_t Image::Get(int32_t x, int32_t y, int c) const {
  const uint8_t* row = bytes.data() + uint64_t(y) * RowBytes();
  size_t at = size_t(x) * size_t(Channels()) + size_t(c);
  if (!Wide()) return row[at];
  uint16_t v;
  std::memcpy(&v, row + 2 * at, 2);
  return v;
}

void Image::Set(int32_t x, int32_t y, int c, uint32_t v) {
  uint8_t* row = bytes.data() + uint64_t(y) * RowBytes();
  size_t at = size_t(x) * size_t(Channels()) + size_t(c);
  if (!Wide()) {
    row[at] = uint8_t(v);
  } else {
    uint16_t w = uint16_t(v);
    std::memcpy(row + 2 * at, &w, 2);
  }
}

glib::CoreBitmap Image::Bitmap() {
  glib::CoreBitmap b;
  b.pixels = bytes.data();
  b.width = width;
  b.height = height;
  b.pixelType = type;
  b.stride = stride;
  return b;
}

Image Blank(int32_t width, int32_t height, uint32_t type, int32_t stride) {
  Image image{width, height, type, stride, {}};
  image.bytes.assign(size_t(image.RowBytes()) * size_t(height), 0xA5);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      for (int c = 0; c < image.Channels(); ++c) image.Set(x, y, c, 0);
    }
  }
  return image;
}

Image Generated(int32_t width, int32_t height, uint32_t type, uint32_t seed, int32_t stride) {
  Image image = Blank(width, height, type, stride);
  std::mt19937 noise(seed);
  const double scale = image.Max() / 255.0;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      double fx = double(x) / width, fy = double(y) / height;
      double level[3] = {40 + 170 * fx, 200 - 150 * fy, 128 + 90 * std::sin(9 * fx + 5 * fy)};
      if ((x / 9 + y / 7) % 3 == 0) level[0] = 250, level[2] = 20;  // hard edges
      if (x > width / 2 && y > height / 3 && y < 2 * height / 3) level[1] = 5;
      for (int c = 0; c < 3; ++c) {
        double v = (level[c] + int(noise() % 21) - 10) * scale;
        image.Set(x, y, c, uint32_t(std::clamp(v, 0.0, double(image.Max()))));
      }
      if (image.Channels() == 4) image.Set(x, y, 3, noise() % (image.Max() + 1));
    }
  }
  return image;
}

Image Flat(int32_t width, int32_t height, uint32_t type, uint8_t b, uint8_t g, uint8_t r) {
  Image image = Blank(width, height, type);
  const uint32_t scale = image.Wide() ? 257 : 1;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      image.Set(x, y, 0, b * scale), image.Set(x, y, 1, g * scale), image.Set(x, y, 2, r * scale);
      if (image.Channels() == 4) image.Set(x, y, 3, 77 * scale);
    }
  }
  return image;
}

Image Widened(const Image& image) {
  uint32_t type = image.Channels() == 4 ? glib::kPixelRGBA64 : glib::kPixelRGB48;
  Image wide = Blank(image.width, image.height, type, image.stride);
  for (int32_t y = 0; y < image.height; ++y) {
    for (int32_t x = 0; x < image.width; ++x) {
      for (int c = 0; c < image.Channels(); ++c) wide.Set(x, y, c, image.Get(x, y, c) * 257);
    }
  }
  return wide;
}

uint32_t Apply(Image& image, uint32_t effect, const std::vector<double>& params,
               ProgressCallback progress, ClbData* record) {
  glib::DynParamList list;
  for (double v : params) {
    if (v == std::floor(v) && std::abs(v) < 1e15) {
      list.AddInteger(int64_t(v));
    } else {
      list.AddReal(v);
    }
  }
  glib::CoreBitmap bitmap = image.Bitmap();
  return cef::ApplyColorEffect(&bitmap, effect, list.Record(), progress, record);
}

uint32_t MaxDifference(const Image& a, const Image& b, int border) {
  uint32_t worst = 0;
  for (int32_t y = border; y < a.height - border; ++y) {
    for (int32_t x = border; x < a.width - border; ++x) {
      for (int c = 0; c < 3; ++c) {
        uint32_t u = a.Get(x, y, c), v = b.Get(x, y, c);
        worst = std::max(worst, u > v ? u - v : v - u);
      }
    }
  }
  return worst;
}

bool SameAlphaAndPadding(const Image& a, const Image& b) {
  const uint64_t row = a.RowBytes();
  const uint64_t used = glib::RowBytes(a.width, glib::BitsPerPixel(a.type), glib::kStridePacked);
  for (int32_t y = 0; y < a.height; ++y) {
    const uint8_t* p = a.bytes.data() + y * row;
    const uint8_t* q = b.bytes.data() + y * row;
    if (std::memcmp(p + used, q + used, size_t(row - used)) != 0) return false;
    for (int32_t x = 0; a.Channels() == 4 && x < a.width; ++x) {
      if (a.Get(x, y, 3) != b.Get(x, y, 3)) return false;
    }
  }
  return true;
}

#if !defined(_WIN32)
namespace {

// Binary PPM with the picture's depth: red, green, blue, 16-bit samples big-endian.
void WritePpm(const Image& image, const std::string& path) {
  std::string out = "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) +
                    "\n" + std::to_string(image.Max()) + "\n";
  for (int32_t y = 0; y < image.height; ++y) {
    for (int32_t x = 0; x < image.width; ++x) {
      for (int c = 2; c >= 0; --c) {
        uint32_t v = image.Get(x, y, c);
        if (image.Wide()) out += char(v >> 8);
        out += char(v & 0xFF);
      }
    }
  }
  std::ofstream(path, std::ios::binary) << out;
}

bool ReadPpm(const std::string& path, Image& image) {
  std::string bytes = testing_support::ReadFile(path);
  int width = 0, height = 0, max = 0, used = 0;
  if (std::sscanf(bytes.c_str(), "P6 %d %d %d%n", &width, &height, &max, &used) != 3) return false;
  if (width != image.width || height != image.height || max != int(image.Max())) return false;
  const size_t size = image.Wide() ? 2 : 1;
  size_t at = size_t(used) + 1;
  if (bytes.size() < at + size_t(width) * height * 3 * size) return false;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      for (int c = 2; c >= 0; --c, at += size) {
        uint32_t v = uint8_t(bytes[at]);
        if (size == 2) v = v << 8 | uint8_t(bytes[at + 1]);
        image.Set(x, y, c, v);
      }
    }
  }
  return true;
}

}  // namespace
#endif

bool HaveReference() {
#if defined(_WIN32)
  return false;
#else
  return std::system("/usr/bin/convert -version >/dev/null 2>&1") == 0;
#endif
}

bool Reference(const Image& in, const std::string& arguments, Image& out) {
#if defined(_WIN32)
  (void)in, (void)arguments, (void)out;
  return false;
#else
  testing_support::TempDir dir;
  const std::string from = dir.File("in.ppm"), to = dir.File("out.ppm");
  WritePpm(in, from);
  std::string command = "/usr/bin/convert '" + from + "' " + arguments + " -depth " +
                        (in.Wide() ? "16" : "8") + " '" + to + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return false;
  out = in;
  return ReadPpm(to, out);
#endif
}

void ExpectLikeReference(const Image& picture, const std::vector<ReferenceCase>& cases) {
  for (const ReferenceCase& c : cases) {
    SCOPED_TRACE(c.name);
    Image ours = picture, theirs;
    ASSERT_EQ(Apply(ours, c.effect, c.params), glib::RCOK);
    ASSERT_TRUE(Reference(picture, c.reference, theirs));
    EXPECT_LE(MaxDifference(ours, theirs), c.tolerance);
  }
}

}  // namespace cef_test
