// What the document tests share: the crafted-pages plug-in behind the process-wide
// filter manager, a progress callback that records what it is told, and layers made
// from pixel words.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "filters/FilterManager.h"
#include "filters/plugins/CraftedPages.h"
#include "formats/ImageSave.h"
#include "image/BitmapOps.h"
#include "image/Film.h"
#include "platform/Module.h"
#include "support/TestSupport.h"

namespace film_test {

using namespace crafted;

// A save record for one of the crafted formats.
struct CraftedSave : glib::ImageSave {
  static const glib::RecordClass kClass;
  explicit CraftedSave(uint32_t id) : ImageSave(&kClass, id) { pixelType = glib::kPixelRGBA32; }
};
inline const glib::RecordClass CraftedSave::kClass =
    glib::MakeRecordClass<CraftedSave>("CraftedSave");

inline std::string PluginFolder() {
  const std::string here = platform::ModuleFolder(reinterpret_cast<const void*>(&PluginFolder));
#if defined(_WIN32)
  return here + "..\\filters\\testplugins";
#else
  return here + "../filters/testplugins";
#endif
}

// Points the process-wide manager at the test plug-ins (the crafted pages and the
// colour-effect module).
inline void UseTestPlugins() {
  glib::FilterManager::Global().Configure(PluginFolder().c_str(), "tfpages");
}

using testing_support::ReadFile;
using testing_support::WriteFile;

// Every callback record, with the answers the test chose.
struct Heard {
  int32_t step;
  int32_t kind;
  uint64_t object;
  std::string text;
  int32_t stepCount;
};

class Listener {
 public:
  Listener() { Current() = this; }
  ~Listener() { Current() = nullptr; }

  static bool ORBISK_CDECL Callback(ClbData* data) {
    Listener* self = Current();
    if (!self) return true;
    self->heard.push_back({data->step, data->step == ClbData::kEvent ? data->eventKind : 0,
                           data->object, data->text ? data->text : "", data->stepCount});
    if (self->onEvent && data->step == ClbData::kEvent) return self->onEvent(data);
    if (data->step > 0 && self->stopAtStep == data->step) return false;
    return true;
  }
  uintptr_t Context() const { return reinterpret_cast<uintptr_t>(this); }
  void Attach(glib::Film& film) { film.SetProgress(&Callback, Context()); }

  std::vector<int32_t> Steps() const {
    std::vector<int32_t> steps;
    for (const Heard& h : heard)
      if (h.step != ClbData::kEvent) steps.push_back(h.step);
    return steps;
  }
  std::vector<int32_t> Events() const {
    std::vector<int32_t> kinds;
    for (const Heard& h : heard)
      if (h.step == ClbData::kEvent) kinds.push_back(h.kind);
    return kinds;
  }

  std::vector<Heard> heard;
  int32_t stopAtStep = 0;
  std::function<bool(ClbData*)> onEvent;

 private:
  static Listener*& Current() {
    static Listener* current = nullptr;
    return current;
  }
};

// A layer of w x h 32-bit pixels (0xAARRGGBB words from `colour`).
inline glib::Layer* MakeLayer(glib::Slide* slide, int32_t w, int32_t h,
                              const std::function<uint32_t(int32_t, int32_t)>& colour,
                              int32_t x = 0, int32_t y = 0) {
  auto* layer = new glib::Layer(slide);
  layer->Create(x, y, w, h, glib::kPixelRGBA32, nullptr, true, false);
  for (int32_t row = 0; row < h; ++row) {
    for (int32_t col = 0; col < w; ++col) {
      uint32_t v = colour(col, row);
      std::memcpy(glib::RowAt(layer->bitmap, row) + 4 * col, &v, 4);
    }
  }
  return layer;
}

inline glib::Layer* SolidLayer(glib::Slide* slide, int32_t w, int32_t h, uint32_t pixel,
                               int32_t x = 0, int32_t y = 0) {
  return MakeLayer(
      slide, w, h, [pixel](int32_t, int32_t) { return pixel; }, x, y);
}

inline uint32_t PixelAt(const glib::CoreBitmap& b, int32_t x, int32_t y) {
  uint32_t v;
  std::memcpy(&v, glib::RowAt(b, y) + 4 * x, 4);
  return v;
}

// A new slide of `film` holding the given layers (bottom first).
inline glib::Slide* AddSlide(glib::Film& film, std::initializer_list<glib::Layer*> layers = {}) {
  auto* slide = new glib::Slide(film.GetBackground(-1), film.State());
  for (glib::Layer* layer : layers) slide->AddLayer(layer);
  film.AddSlide(slide);
  return slide;
}

}  // namespace film_test
