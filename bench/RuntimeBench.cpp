// Timings of the runtime's routines and of their anchors on the same picture.
// Names: ours_* (the thread count as argument), vips_* (libvips, one thread),
// memcpy_* (the physical limit of single-pass work). scripts/bench turns them,
// with Pillow's timings, into ratios.
#include <benchmark/benchmark.h>
#include <vips/vips.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchPicture.h"
#include "platform/PageAlloc.h"
#include "runtime/BitmapRows.h"
#include "runtime/LineConverter.h"
#include "runtime/ParallelRows.h"
#include "runtime/PixelConvert.h"
#include "runtime/Quantize.h"
#include "runtime/Rotate.h"
#include "runtime/Scale.h"

namespace {

using namespace glib;

constexpr int32_t kScaledWidth = 1920, kScaledHeight = 1280;
constexpr uint64_t kWhite = ~uint64_t(0);

struct Pictures {
  std::vector<uint8_t> bgr = bench::MakePicture(bench::kWidth, bench::kHeight);
  std::vector<uint8_t> bgra = bench::WithAlpha(bgr);

  // A record over the rows above; it does not own them.
  CoreBitmap View(bool alpha) const {
    CoreBitmap b;
    b.pixels = const_cast<uint8_t*>(alpha ? bgra.data() : bgr.data());
    b.width = bench::kWidth;
    b.height = bench::kHeight;
    b.pixelType = alpha ? kPixelRGBA32 : kPixelRGB24;
    b.stride = kStridePacked;
    return b;
  }
};

const Pictures& Shared() {
  static const Pictures pictures;
  return pictures;
}

void Threads(benchmark::State& state) { SetRuntimeThreads(int(state.range(0))); }

// ---- ours ----

void OursScale(benchmark::State& state, EScaleType type) {
  Threads(state);
  CoreBitmap source = Shared().View(false);
  Scale scale(0, nullptr, type);
  for (auto _ : state) {
    CoreBitmap out;
    if (scale.ScaleTo(source, nullptr, kScaledWidth, kScaledHeight, out) != RCOK) {
      state.SkipWithError("scale failed");
    }
    ReleaseRows(out);
  }
}

// Into rows kept from the first turn (`reuse`), or into new rows every time.
void OursRotate(benchmark::State& state, bool alpha, double degrees, bool interpolate, bool reuse) {
  Threads(state);
  CoreBitmap source = Shared().View(alpha), kept;
  Rotate rotate(interpolate);
  if (reuse) rotate.Execute(source, kept, degrees, kWhite);  // rows taken before timing
  for (auto _ : state) {
    CoreBitmap fresh;
    if (rotate.Execute(source, reuse ? kept : fresh, degrees, kWhite) != RCOK) {
      state.SkipWithError("rotate failed");
    }
    ReleaseRows(fresh);
  }
  ReleaseRows(kept);
}

void OursQuantize(benchmark::State& state) {
  Threads(state);
  const Pictures& p = Shared();
  std::vector<uint8_t> indices(size_t(bench::kWidth) * bench::kHeight);
  uint32_t palette[256];
  for (auto _ : state) {
    Quantize quantize(256, true, false);
    if (quantize.Execute(p.bgr.data(), bench::kWidth, bench::kHeight, kPixelRGB24, kStridePacked,
                         indices.data(), kStridePacked, palette) < 0) {
      state.SkipWithError("quantize failed");
    }
  }
  double sum = 0;
  for (size_t i = 0; i < indices.size(); ++i) {
    for (int c = 0; c < 3; ++c) {
      double e = double(p.bgr[i * 3 + size_t(c)]) - double((palette[indices[i]] >> (8 * c)) & 255);
      sum += e * e;
    }
  }
  state.counters["mse"] = sum / double(indices.size() * 3);
}

// Scan lines into a buffer kept between runs.
void OursConvertRows(benchmark::State& state, bool alpha, uint32_t target) {
  CoreBitmap source = Shared().View(alpha);
  LineConverter converter;
  if (converter.Set(source, target) != RCOK) state.SkipWithError("set failed");
  std::vector<uint8_t> out(converter.TargetRowBytes() * bench::kHeight, 1);
  for (auto _ : state) {
    for (int32_t y = 0; y < bench::kHeight; ++y) {
      converter.GetScanline(y, out.data() + uint64_t(y) * converter.TargetRowBytes());
    }
    benchmark::DoNotOptimize(out.data());
  }
}

// The whole bitmap converted in place into new rows.
void OursConvertPicture(benchmark::State& state, bool alpha, uint32_t target) {
  Threads(state);
  for (auto _ : state) {
    CoreBitmap b = Shared().View(alpha);  // rows not owned: left alone when replaced
    if (ConvertPixelType(b, target, true, 96, 96, {}, false) != RCOK) {
      state.SkipWithError("convert failed");
    }
    ReleaseRows(b);
  }
}

// ---- anchors ----

VipsImage* VipsPicture() {
  const Pictures& p = Shared();
  return vips_image_new_from_memory(p.bgr.data(), p.bgr.size(), bench::kWidth, bench::kHeight, 3,
                                    VIPS_FORMAT_UCHAR);
}

void Materialise(benchmark::State& state, VipsImage* out, int ok) {
  if (ok != 0 || !out) {
    state.SkipWithError(vips_error_buffer());
    return;
  }
  size_t bytes = 0;
  void* memory = vips_image_write_to_memory(out, &bytes);
  if (!memory) state.SkipWithError(vips_error_buffer());
  g_free(memory);
  g_object_unref(out);
}

void VipsScale(benchmark::State& state, VipsKernel kernel) {
  VipsImage* in = VipsPicture();
  double shrink = double(bench::kWidth) / kScaledWidth;
  for (auto _ : state) {
    VipsImage* out = nullptr;
    Materialise(state, out, vips_reduce(in, &out, shrink, shrink, "kernel", kernel, nullptr));
  }
  g_object_unref(in);
}

void VipsRotate(benchmark::State& state) {
  VipsImage* in = VipsPicture();
  VipsInterpolate* bilinear = vips_interpolate_new("bilinear");
  for (auto _ : state) {
    VipsImage* out = nullptr;
    Materialise(state, out, vips_rotate(in, &out, 30.0, "interpolate", bilinear, nullptr));
  }
  g_object_unref(bilinear);
  g_object_unref(in);
}

// A copy into rows kept between runs, or into new rows from the page allocator.
void Memcpy(benchmark::State& state, bool alpha, bool newRows) {
  const std::vector<uint8_t>& from = alpha ? Shared().bgra : Shared().bgr;
  std::vector<uint8_t> kept(newRows ? 0 : from.size(), 1);
  for (auto _ : state) {
    void* to = newRows ? platform::PageAlloc(from.size()) : kept.data();
    std::memcpy(to, from.data(), from.size());
    benchmark::DoNotOptimize(to);
    if (newRows) platform::PageFree(to);
  }
}

void Register() {
  auto ours = [](const char* name, auto fn) {
    benchmark::RegisterBenchmark(name, fn)->Arg(1)->Arg(2)->UseRealTime()->Unit(
        benchmark::kMillisecond);
  };
  auto single = [](const char* name, auto fn) {
    benchmark::RegisterBenchmark(name, fn)->UseRealTime()->Unit(benchmark::kMillisecond);
  };
  ours("ours_scale_spline36", [](benchmark::State& s) { OursScale(s, kScaleSpline36); });
  ours("ours_scale_bilinear", [](benchmark::State& s) { OursScale(s, kScaleBilinear); });
  single("vips_scale_lanczos3", [](benchmark::State& s) { VipsScale(s, VIPS_KERNEL_LANCZOS3); });
  single("vips_scale_linear", [](benchmark::State& s) { VipsScale(s, VIPS_KERNEL_LINEAR); });
  for (bool alpha : {false, true}) {
    std::string bits = alpha ? "32" : "24";
    ours(("ours_rotate90_" + bits + "_kept_rows").c_str(),
         [alpha](benchmark::State& s) { OursRotate(s, alpha, 90, false, true); });
    ours(("ours_rotate90_" + bits + "_new_rows").c_str(),
         [alpha](benchmark::State& s) { OursRotate(s, alpha, 90, false, false); });
    single(("memcpy_" + bits + "_kept_rows").c_str(),
           [alpha](benchmark::State& s) { Memcpy(s, alpha, false); });
    single(("memcpy_" + bits + "_new_rows").c_str(),
           [alpha](benchmark::State& s) { Memcpy(s, alpha, true); });
  }
  ours("ours_rotate30_bilinear",
       [](benchmark::State& s) { OursRotate(s, false, 30, true, false); });
  single("vips_rotate30_bilinear", VipsRotate);
  ours("ours_quantize256_dither", OursQuantize);
  single("ours_convert_24_32_kept_rows",
         [](benchmark::State& s) { OursConvertRows(s, false, kPixelRGBA32); });
  single("ours_convert_32_24_kept_rows",
         [](benchmark::State& s) { OursConvertRows(s, true, kPixelRGB24); });
  ours("ours_convert_24_32_new_rows",
       [](benchmark::State& s) { OursConvertPicture(s, false, kPixelRGBA32); });
  ours("ours_convert_32_24_new_rows",
       [](benchmark::State& s) { OursConvertPicture(s, true, kPixelRGB24); });
}

}  // namespace

int main(int argc, char** argv) {
  // --picture=PATH writes the picture (packed blue, green, red rows) for Pillow.
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--picture=", 0) == 0) {
      FILE* f = std::fopen(arg.substr(10).c_str(), "wb");
      const std::vector<uint8_t>& bgr = Shared().bgr;
      if (!f || std::fwrite(bgr.data(), 1, bgr.size(), f) != bgr.size()) return 2;
      std::fclose(f);
    } else {
      args.push_back(argv[i]);
    }
  }
  if (VIPS_INIT(argv[0])) return 2;
  vips_concurrency_set(1);
  vips_cache_set_max(0);
  int count = int(args.size());
  benchmark::Initialize(&count, args.data());
  Register();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  vips_shutdown();
  return 0;
}
