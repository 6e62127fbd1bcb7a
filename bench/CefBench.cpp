// The colour-effect module's operations on one thread, side by side with libvips (one
// thread), Pillow and memcpy on the same 24-megapixel picture. Prints the `bench`
// lines of `make bench` and exits 1 when a ratio is over its target.
//
// Our radius is the Gaussian's standard deviation, so radius 5 meets vips gaussblur
// with sigma 5 (whose default minimum amplitude of 0.2 ends its mask at about 1.8
// sigma) and the unsharp mask of radius 5 meets vips sharpen with sigma 5. Effects
// that work in place start again from the picture each run where their speed
// depends on the pixels (the copy back is timed with them); the point operations do
// not, and run on what the last run left.
#include <vips/vips.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchPicture.h"
#include "SideBySide.h"
#include "cef/Effects.h"
#include "cef/Filters.h"
#include "cef/Progress.h"
#include "formats/DynParams.h"
#include "formats/Retcode.h"

namespace {

struct Work {
  std::vector<uint8_t> picture = bench::MakePicture(bench::kWidth, bench::kHeight);
  std::vector<uint8_t> rows = picture;  // what our effects change

  glib::CoreBitmap Bitmap() {
    glib::CoreBitmap b;
    b.pixels = rows.data();
    b.width = bench::kWidth;
    b.height = bench::kHeight;
    b.pixelType = glib::kPixelRGB24;
    b.stride = glib::kStridePacked;
    return b;
  }
  void Restore() { std::memcpy(rows.data(), picture.data(), rows.size()); }
};

void Effect(Work& work, uint32_t effect, std::vector<double> values) {
  glib::DynParamList list;
  for (double v : values) list.AddReal(v);
  glib::CoreBitmap bitmap = work.Bitmap();
  if (cef::ApplyColorEffect(&bitmap, effect, list.Record(), nullptr, nullptr) != glib::RCOK) {
    std::fprintf(stderr, "cef_bench: effect %u failed\n", effect);
    std::exit(2);
  }
}

void Median(Work& work, int radius) {
  glib::CoreBitmap bitmap = work.Bitmap();
  cef::Picture picture;
  cef::Progress quiet(nullptr, nullptr);
  if (cef::ReadPicture(&bitmap, picture) != glib::RCOK ||
      cef::Median(picture, radius, quiet) != glib::RCOK) {
    std::fprintf(stderr, "cef_bench: median failed\n");
    std::exit(2);
  }
}

// One vips operation on the picture, written out to memory as a program would.
template <typename F>
void Vips(const Work& work, F operation) {
  VipsImage* in = vips_image_new_from_memory(work.picture.data(), work.picture.size(),
                                             bench::kWidth, bench::kHeight, 3, VIPS_FORMAT_UCHAR);
  VipsImage* out = nullptr;
  size_t bytes = 0;
  void* memory = nullptr;
  if (in && operation(in, &out) == 0) memory = vips_image_write_to_memory(out, &bytes);
  if (!memory) {
    std::fprintf(stderr, "cef_bench: vips failed: %s\n", vips_error_buffer());
    std::exit(2);
  }
  g_free(memory);
  g_object_unref(out);
  g_object_unref(in);
}

// Pillow's time for a median of `size` in another process; 0 when it cannot run.
double PillowMedianSeconds(const Work& work, int size) {
  std::filesystem::path path = std::filesystem::temp_directory_path() / "cef-bench-picture.bgr";
  FILE* f = std::fopen(path.string().c_str(), "wb");
  if (!f) return 0;
  bool written = std::fwrite(work.picture.data(), 1, work.picture.size(), f) == work.picture.size();
  std::fclose(f);
  std::string command = "/usr/bin/python3 " CEF_BENCH_SOURCE "/pillow_median.py '" + path.string() +
                        "' " + std::to_string(bench::kWidth) + " " +
                        std::to_string(bench::kHeight) + " " + std::to_string(size);
  double ms = 0;
  if (written) {
    if (FILE* p = popen(command.c_str(), "r")) {
      if (std::fscanf(p, "%lf", &ms) != 1) ms = 0;
      pclose(p);
    }
  }
  std::filesystem::remove(path);
  return ms / 1000.0;
}

}  // namespace

int main(int, char** argv) {
  if (VIPS_INIT(argv[0])) return 2;
  vips_concurrency_set(1);
  vips_cache_set_max(0);
  cef::SetThreadLimit(1);
  Work work;
  std::vector<uint8_t> copy(work.picture.size());
  auto memcpyPicture = [&] { std::memcpy(copy.data(), work.picture.data(), copy.size()); };
  bool ok = true;

  ok &= bench::Compare(
      "cef_gaussian_r5_vs_vips_gaussblur_sigma5",
      [&] {
        Effect(work, cef::kGaussianBlur, {5, 5});
      },
      [&] {
        Vips(work,
             [](VipsImage* in, VipsImage** out) { return vips_gaussblur(in, out, 5.0, nullptr); });
      },
      1.0);
  ok &= bench::Compare(
      "cef_unsharp_r5_vs_vips_sharpen_sigma5",
      [&] {
        work.Restore();
        Effect(work, cef::kUnsharpMask, {5, 100, 3});
      },
      [&] {
        Vips(work, [](VipsImage* in, VipsImage** out) {
          return vips_sharpen(in, out, "sigma", 5.0, nullptr);
        });
      },
      1.0);
  for (const auto& [name, effect, value] :
       {std::tuple{"cef_brightness_vs_memcpy", cef::kBrightness, 30.0},
        std::tuple{"cef_contrast_vs_memcpy", cef::kContrast, 40.0},
        std::tuple{"cef_gamma_vs_memcpy", cef::kGamma, 1.8}}) {
    ok &= bench::Compare(
        name, [&, e = effect, v = value] { Effect(work, e, {v}); }, memcpyPicture, 1.5);
  }
  ok &= bench::Compare(
      "cef_median_r20_vs_cef_median_r3",
      [&] {
        work.Restore();
        Median(work, 20);
      },
      [&] {
        work.Restore();
        Median(work, 3);
      },
      3.0, 3);
  const double pillow = PillowMedianSeconds(work, 7);
  if (pillow > 0) {
    ok &= bench::CompareToTime(
        "cef_median_r3_vs_pillow_median7",
        [&] {
          work.Restore();
          Median(work, 3);
        },
        pillow, 1.0, 2);
  } else {
    std::printf("bench cef_median_r3_vs_pillow_median7 ratio=missing target=1.0\n");
    ok = false;
  }
  vips_shutdown();
  return ok ? 0 : 1;
}
