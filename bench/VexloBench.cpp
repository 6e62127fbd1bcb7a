// The vexlo plug-in's JPEG and PNG decoding through the filter manager into a page,
// against libjpeg-turbo and libpng alone decoding the same files to the same pixel
// layout (blue, green, red rows) in the same run. Rounds alternate between the two
// sides; the best time of each side counts. Prints the `bench` lines of `make bench`
// and exits 1 when a ratio is over its target.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <png.h>

#include "filters/FilterManager.h"
#include "formats/IDEPage.h"
#include "formats/ImageDataExchange.h"
#include "formats/Retcode.h"
#include "platform/Module.h"

namespace {

constexpr int kWidth = 6000, kHeight = 4000;  // 24 megapixels

// A photograph-like picture: smooth gradients with grain, so that neither codec
// meets an easy case.
std::vector<uint8_t> Picture() {
  std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
  std::mt19937 noise(7);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
      int grain = int(noise() % 9) - 4;
      p[0] = uint8_t(std::clamp(x * 255 / kWidth + grain, 0, 255));
      p[1] = uint8_t(std::clamp(y * 255 / kHeight + grain, 0, 255));
      p[2] = uint8_t(std::clamp(((x / 37) ^ (y / 23)) * 3 % 256 + grain, 0, 255));
    }
  }
  return rgb;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  std::vector<uint8_t> bytes;
  if (!f) return bytes;
  std::fseek(f, 0, SEEK_END);
  bytes.resize(size_t(std::ftell(f)));
  std::fseek(f, 0, SEEK_SET);
  if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
  std::fclose(f);
  return bytes;
}

void WriteJpeg(const std::vector<uint8_t>& rgb, const std::string& path) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  jpeg_stdio_dest(&c, f);
  c.image_width = kWidth;
  c.image_height = kHeight;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  for (int y = 0; y < kHeight; ++y) {
    JSAMPROW row = const_cast<uint8_t*>(&rgb[size_t(y) * kWidth * 3]);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
}

void WritePng(const std::vector<uint8_t>& rgb, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < kHeight; ++y) png_write_row(png, &rgb[size_t(y) * kWidth * 3]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

// The anchors: the file read into memory, decoded to fresh rows of the same layout.
size_t JpegAlone(const std::string& path) {
  std::vector<uint8_t> bytes = ReadAll(path);
  jpeg_decompress_struct d;
  jpeg_error_mgr err;
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, bytes.data(), bytes.size());
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&d);
  size_t stride = size_t(d.output_width) * 3;
  std::unique_ptr<uint8_t[]> rows(new uint8_t[stride * d.output_height]);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = rows.get() + stride * d.output_scanline;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return rows[stride] + stride;
}

size_t PngAlone(const std::string& path) {
  std::vector<uint8_t> bytes = ReadAll(path);
  // The full API, as the plug-in uses it, rather than the simplified one.
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  struct Input {
    const uint8_t* data;
    size_t pos;
  } input{bytes.data(), 0};
  png_set_read_fn(png, &input, [](png_structp p, png_bytep out, size_t n) {
    auto* in = static_cast<Input*>(png_get_io_ptr(p));
    std::memcpy(out, in->data + in->pos, n);
    in->pos += n;
  });
  png_read_info(png, info);
  png_set_bgr(png);
  png_read_update_info(png, info);
  size_t stride = png_get_rowbytes(png, info);
  std::unique_ptr<uint8_t[]> rows(new uint8_t[stride * kHeight]);
  for (int y = 0; y < kHeight; ++y) png_read_row(png, rows.get() + stride * size_t(y), nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return rows[stride] + stride;
}

// Ours: the program's path, from the file name to a page.
size_t ThroughManager(glib::FilterManager& manager, const std::string& path) {
  glib::ImageDataExchange request;
  uint32_t rc = manager.LoadImageData(path.c_str(), &request, nullptr);
  if (rc != glib::RCOK || request.pages.size() != 1) {
    std::fprintf(stderr, "vexlo_bench: loading %s failed\n", path.c_str());
    std::exit(2);
  }
  return request.pages[0]->bitmap.pixels[0];
}

double Seconds(const std::function<void()>& run) {
  auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool Compare(const char* name, const std::function<void()>& ours,
             const std::function<void()>& anchor, double target) {
  double best[2] = {1e9, 1e9};
  ours();  // warm the caches and the module
  anchor();
  for (int round = 0; round < 7; ++round) {
    // Alternate which side goes first, so both meet the same machine.
    if (round % 2) {
      best[1] = std::min(best[1], Seconds(anchor));
      best[0] = std::min(best[0], Seconds(ours));
    } else {
      best[0] = std::min(best[0], Seconds(ours));
      best[1] = std::min(best[1], Seconds(anchor));
    }
  }
  double ratio = best[0] / best[1];
  std::printf("bench %s ratio=%.3f target=%.2f\n", name, ratio, target);
  std::fprintf(stderr, "  %s: ours %.1f ms, anchor %.1f ms\n", name, best[0] * 1e3, best[1] * 1e3);
  return ratio <= target;
}

}  // namespace

int main() {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "vexlo-bench";
  std::filesystem::create_directories(dir);
  std::string jpeg = (dir / "picture.jpg").string(), png = (dir / "picture.png").string();
  {
    std::vector<uint8_t> rgb = Picture();
    WriteJpeg(rgb, jpeg);
    WritePng(rgb, png);
  }
  glib::FilterManager manager;
  std::string folder =
      platform::ModuleFolder(reinterpret_cast<const void*>(&Picture)) + "../plugins";
  manager.Configure(folder.c_str(), "vexlo");
  volatile size_t sink = 0;
  bool ok = Compare(
      "vexlo_jpeg_24mp_vs_libjpeg_turbo", [&] { sink = sink + ThroughManager(manager, jpeg); },
      [&] { sink = sink + JpegAlone(jpeg); }, 1.10);
  ok &= Compare(
      "vexlo_png_24mp_vs_libpng", [&] { sink = sink + ThroughManager(manager, png); },
      [&] { sink = sink + PngAlone(png); }, 1.10);
  std::filesystem::remove_all(dir);
  return ok ? 0 : 1;
}
