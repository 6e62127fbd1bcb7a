// The Film's operations over slide ranges, with the progress protocol they share,
// and the layer and clipboard operations reached through the Film.
#include <cstdio>
#include <memory>
#include <new>

#include "image/BitmapOps.h"
#include "image/Composite.h"
#include "image/Film.h"
#include "image/FilmPlatform.h"
#include "runtime/ProgressBand.h"

namespace glib {
namespace {

// The range with -1 standing for the current slide; false when it is refused.
bool RangeOf(const _FLM& film, int32_t first, int32_t count, SlideRange& range) {
  if (first == kCurrentSlide) first = film.current;
  return first >= 0 && ResolveRange(uint32_t(first), count, film.slides.size(), range);
}

// True when the largest slide (largest width and height over all slides) reports
// no progress bands of its own.
bool LargestIsSmall(const Film& film) {
  int32_t w, h;
  film.GetSlideSize(-1, w, h);
  return ProgressBand::BandHeight(w, h) == 0;
}

// The Film-level record and its steps: begin, one step before each slide, end.
class RangeProgress {
 public:
  RangeProgress(const _FLM& film, int32_t stepCount, const char* text, bool filmSteps)
      : callback_(film.progress), filmSteps_(filmSteps && film.progress) {
    record_.stepCount = stepCount;
    record_.text = text;
    record_.context = film.progressContext;
    if (filmSteps_) Send(ClbData::kBegin);
  }
  ~RangeProgress() {
    if (filmSteps_) Send(ClbData::kEnd);
  }
  RangeProgress(const RangeProgress&) = delete;
  RangeProgress& operator=(const RangeProgress&) = delete;

  // Before slide `index`; false when the callback asked to stop.
  bool BeforeSlide(uint32_t index, bool namesSlides) {
    if (namesSlides) {
      std::snprintf(slideText_, sizeof slideText_, "Slide %u", index + 1);
      record_.text = slideText_;
    }
    return !filmSteps_ || Send(int32_t(index) + 1);
  }
  ClbData* Record() { return &record_; }

 private:
  bool Send(int32_t step) {
    record_.step = step;
    return callback_(&record_);
  }

  ProgressCallback callback_;
  bool filmSteps_;
  ClbData record_;
  char slideText_[24] = {};
};

}  // namespace

ERetcode Film::Stretch(int32_t width, int32_t height, EScaleType type, bool keepProportions,
                       int32_t first, int32_t count, uint32_t scaleFlags) {
  if (GetSlideCount() == 0) return RCOK;
  SlideRange range;
  if (!RangeOf(*state_, first, count, range)) return BADA;
  RangeProgress progress(*state_, int32_t(GetSlideCount()), "stretch...", true);
  for (uint32_t i = range.begin; i < range.end; ++i) {
    if (!progress.BeforeSlide(i, false)) return USRA;
    Slide& slide = *state_->slides[i];
    ERetcode rc =
        slide.Stretch(width, height, type, keepProportions, progress.Record(), scaleFlags);
    if (rc != RCOK) return rc;
  }
  return RCOK;
}

bool Film::Mirror(bool vertical, bool horizontal, int32_t first, int32_t count) {
  if (!vertical && !horizontal) return false;
  if (GetSlideCount() == 0) return false;
  SlideRange range;
  if (!RangeOf(*state_, first, count, range)) return false;
  RangeProgress progress(*state_, int32_t(GetSlideCount()), "mirror...", true);
  for (uint32_t i = range.begin; i < range.end; ++i) {
    if (!progress.BeforeSlide(i, false)) return false;
    if (!state_->slides[i]->Mirror(vertical, horizontal)) return false;
  }
  return true;
}

ERetcode Film::Rotate(double degrees, bool interpolate, int32_t first, int32_t count) {
  if (GetSlideCount() == 0) return RCOK;
  SlideRange range;
  if (!RangeOf(*state_, first, count, range)) return BADA;
  const bool filmSteps = state_->progress && range.end >= 2 && LargestIsSmall(*this);
  RangeProgress progress(*state_, int32_t(range.end), filmSteps ? "rotate..." : "", filmSteps);
  for (uint32_t i = range.begin; i < range.end; ++i) {
    if (!progress.BeforeSlide(i, range.end > 1)) return USRA;
    ClbData* record = filmSteps ? nullptr : progress.Record();
    ERetcode rc = state_->slides[i]->Rotate(degrees, interpolate, record);
    if (rc != RCOK) return rc;
  }
  return RCOK;
}

ERetcode Film::ApplyEffect(uint32_t effect, const void* params, int32_t first, int32_t count) {
  if (GetSlideCount() == 0) return RCOK;
  SlideRange range;
  if (!RangeOf(*state_, first, count, range)) return BADA;
  ApplyColorEffectEntry entry =
      state_->filterAccess.manager->GetColorEffectFunction(state_->filterAccess);
  if (!entry) {
    FilmEvent event;
    event.parameter = kUnavailableEffects;
    SendEvent(state_->progress, state_->progressContext, kEventUnavailable, this, event);
    return DISF;
  }
  SendStep(state_->progress, state_->progressContext, ClbData::kWaitBegin);
  const int64_t requested = count < 0 ? int64_t(GetSlideCount()) : count;
  const bool filmSteps = state_->progress && requested >= 2 && LargestIsSmall(*this);
  ERetcode result = RCOK;
  {
    RangeProgress progress(*state_, int32_t(range.end), filmSteps ? "filter..." : "", filmSteps);
    for (uint32_t i = range.begin; i < range.end && result == RCOK; ++i) {
      if (!progress.BeforeSlide(i, range.end > 1)) {
        result = USRA;
        break;
      }
      Slide& slide = *state_->slides[i];
      slide.SwapIn();
      ClbData* record = !filmSteps && state_->progress ? progress.Record() : nullptr;
      for (Layer* layer : slide.layers) {
        if (!layer->enabled) continue;
        uint32_t rc = entry(&layer->bitmap, effect, params, slide.progress, record);
        if (rc != RCOK) {
          result = ERetcode(rc);
          break;
        }
      }
      slide.MarkChanged();
    }
  }
  SendStep(state_->progress, state_->progressContext, ClbData::kWaitEnd);
  return result;
}

bool Film::SetAlpha(uint8_t alpha, int32_t first, int32_t count) {
  SlideRange range;
  if (!RangeOf(*state_, first, count, range)) return false;
  for (uint32_t i = range.begin; i < range.end; ++i) {
    Slide& slide = *state_->slides[i];
    slide.SwapIn();
    for (Layer* layer : slide.layers) {
      if (layer->enabled && layer->bitmap.pixelType == kPixelRGBA32) layer->SetAlpha(alpha);
    }
    slide.MarkChanged();
  }
  return true;
}

bool Film::ApplyResolution(int32_t first, int32_t count, uint32_t scaleFlags) {
  SlideRange range;
  if (!RangeOf(*state_, first, count, range)) return false;
  // Slides whose pixels are square already answer false; that does not stop the others.
  bool any = false;
  for (uint32_t i = range.begin; i < range.end; ++i)
    any |= state_->slides[i]->ApplyResolution(scaleFlags);
  return any;
}

ERetcode Film::ConvertLayer(uint32_t pixelType, bool flag1, bool flag2, int32_t slide,
                            int32_t layer) {
  Slide* target = GetSlide(slide);
  Layer* found = target && layer >= 0 ? target->GetLayer(uint32_t(layer)) : nullptr;
  if (!found) return BADA;
  found->bitmap.progress = target->progress;
  found->bitmap.progressContext = target->progressContext;
  found->bitmap.convertFlag1 = flag1 ? 1 : 0;
  found->bitmap.convertFlag2 = flag2 ? 1 : 0;
  ERetcode rc = found->ConvertTo(pixelType);
  if (rc == RCOK) target->MarkChanged();
  return rc;
}

int64_t Film::CountLayerColours(int32_t slide, int32_t layer) const {
  Slide* target = GetSlide(slide);
  Layer* found = target && layer >= 0 ? target->GetLayer(uint32_t(layer)) : nullptr;
  return found ? found->CountColours() : -1;
}

Film* Film::ScaleToNewFilm(int32_t width, int32_t height, EScaleType type, uint32_t scaleFlags,
                           const Rect* source) {
  if (width <= 0 || height <= 0) return nullptr;
  auto copy = std::unique_ptr<Film>(new (std::nothrow) Film);
  if (!copy) return nullptr;
  copy->CopyAttributesFrom(*state_);
  if (!state_->canvas.IsZero()) {
    Rect& canvas = copy->state_->canvas;
    canvas = RectAt(canvas.left, canvas.top, width, height);
  }
  for (Slide* slide : state_->slides) {
    if (!slide->ScaledCopy(copy->state_, width, height, type, scaleFlags, source)) return nullptr;
  }
  const int32_t n = int32_t(copy->GetSlideCount());
  if (copy->state_->current >= n) copy->state_->current = 0;
  return copy.release();
}

// ---- clipboard ----

bool Film::CopyToClipboard(int32_t index, const Rect& rect) {
  if (rect.IsEmpty()) return false;
  Slide* slide = GetSlide(index);
  if (!slide) return false;
  std::unique_ptr<Slide> cut(slide->CutCopy(nullptr, 0, -1, rect));
  if (!cut) return false;
  cut->SetProgress(nullptr, 0);
  // The part is placed at the rectangle's corner.
  for (Layer* layer : cut->layers) {
    layer->offsetX = int32_t(std::max<int64_t>(int64_t(layer->offsetX) - rect.left, 0));
    layer->offsetY = int32_t(std::max<int64_t>(int64_t(layer->offsetY) - rect.top, 0));
  }
  cut->canvas = {};
  delete cut->baseLayer;
  cut->baseLayer = nullptr;
  if (cut->layers.empty()) return false;
  Layer flat(nullptr);
  if (!Flatten(*cut, nullptr, flat, 0, -1) || flat.IsEmpty()) return false;
  return PutOnClipboard(flat.bitmap);
}

bool Film::PasteFromClipboard(int32_t index) {
  std::unique_ptr<Slide> made;
  Slide* slide = nullptr;
  if (GetSlideCount() == 0) {
    made.reset(new (std::nothrow) Slide(state_->background, state_));
    slide = made.get();
  } else {
    slide = GetSlide(index);
  }
  if (!slide) return false;
  auto layer = std::make_unique<Layer>(nullptr);
  if (!TakeFromClipboard(*layer)) return false;
  slide->AddLayer(layer.release());
  if (made) made.release()->AttachTo(state_);
  return true;
}

}  // namespace glib
