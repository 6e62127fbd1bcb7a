// Timings of the document's pixel work on the 6000 x 4000 picture, beside the
// memcpy anchors of RuntimeBench.cpp in the same program: the cached composite of a
// two-layer slide in "norm", and mirroring a 32-bit layer in place.
#include <benchmark/benchmark.h>

#include <cstring>

#include "BenchPicture.h"
#include "image/Composite.h"
#include "image/Film.h"

namespace {

using namespace glib;

// A layer holding the shared picture; the top one lets the bottom show through.
Layer* PictureLayer(bool translucent) {
  static const std::vector<uint8_t> bgra =
      bench::WithAlpha(bench::MakePicture(bench::kWidth, bench::kHeight));
  auto* layer = new Layer(nullptr);
  if (!layer->Create(0, 0, bench::kWidth, bench::kHeight, kPixelRGBA32, nullptr, true, false))
    return layer;
  std::memcpy(layer->bitmap.pixels, bgra.data(), bgra.size());
  if (translucent) {
    uint8_t* p = layer->bitmap.pixels;
    for (size_t i = 0; i < bgra.size(); i += 4) p[i + 3] = uint8_t((i / 4) * 7);
  }
  return layer;
}

void OursCompositeNorm(benchmark::State& state) {
  Film film;
  auto* slide = new Slide(film.GetBackground(-1), film.State());
  slide->AddLayer(PictureLayer(false));
  slide->AddLayer(PictureLayer(true));
  film.AddSlide(slide);
  UpdateComposite(*slide);  // the composite's rows are kept from here on
  for (auto _ : state) {
    slide->MarkChanged();
    if (!UpdateComposite(*slide)) state.SkipWithError("composite failed");
    benchmark::DoNotOptimize(slide->composite->bitmap.pixels);
  }
}

void OursMirror(benchmark::State& state, bool vertical) {
  std::unique_ptr<Layer> layer(PictureLayer(false));
  for (auto _ : state) {
    if (layer->Mirror(vertical, !vertical) != RCOK) state.SkipWithError("mirror failed");
    benchmark::DoNotOptimize(layer->bitmap.pixels);
  }
}

BENCHMARK(OursCompositeNorm)
    ->Name("ours_composite_norm_2layers")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursMirror, vertical, true)
    ->Name("ours_mirror_vertical_32")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursMirror, horizontal, false)
    ->Name("ours_mirror_horizontal_32")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
