#include "image/Film.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "image/BitmapOps.h"
#include "image/FilmPlatform.h"

namespace glib {
namespace {

// The Films of the process, and whether they started the graphics service.
struct FilmCount {
  std::mutex lock;
  int living = 0;
  bool graphicsStarted = false;
};

FilmCount& Count() {
  static FilmCount count;
  return count;
}

uint8_t ReadProbeFlag(const void* film) {
  return static_cast<const Film*>(film)->State()->probeFlag;
}

}  // namespace

_FLM::_FLM(Film* handle) : owner(handle) { filterAccess.owner = this; }

_FLM::~_FLM() = default;

CoreBitmap* _FLM::DecodeLayer(const void* data, uint32_t size, uint32_t formatHint,
                              int32_t slideIndex, int32_t layerIndex) {
  const ProgressCallback savedProgress = progress;
  const uintptr_t savedContext = progressContext;
  progress = nullptr;
  progressContext = 0;
  const uint32_t before = slides.size();
  CoreBitmap* result = nullptr;
  if (owner->AppendMemory(data, size, formatHint, nullptr) == RCOK && slideIndex >= 0 &&
      layerIndex >= 0 && uint64_t(before) + uint32_t(slideIndex) < slides.size()) {
    Slide* slide = slides[before + uint32_t(slideIndex)];
    if (Layer* layer = slide->GetLayer(uint32_t(layerIndex))) {
      result = new (std::nothrow) CoreBitmap;
      if (result) MoveBitmap(*result, layer->bitmap);
    }
  }
  while (slides.size() > before) slides.Remove(slides.size() - 1);
  if (current >= int32_t(slides.size())) current = slides.empty() ? 0 : int32_t(slides.size()) - 1;
  progress = savedProgress;
  progressContext = savedContext;
  return result;
}

Film::Film() : state_(new _FLM(this)) {
  {
    FilmCount& count = Count();
    std::lock_guard<std::mutex> guard(count.lock);
    if (count.living++ == 0) FilterManager::SetFilmProbeFlagReader(&ReadProbeFlag);
    if (!count.graphicsStarted) count.graphicsStarted = StartGraphics();
  }
  SetBackground(state_->background, 0, -1);
}

Film::Film(FilterManager& manager) : Film() { state_->filterAccess.manager = &manager; }

Film::~Film() {
  SendEvent(state_->progress, state_->progressContext, kEventFilmDestroyed, this);
  delete state_;
  FilmCount& count = Count();
  std::lock_guard<std::mutex> guard(count.lock);
  if (--count.living == 0 && count.graphicsStarted) {
    StopGraphics();
    count.graphicsStarted = false;
  }
}

int Film::LivingFilms() {
  std::lock_guard<std::mutex> guard(Count().lock);
  return Count().living;
}

bool Film::GraphicsStarted() {
  std::lock_guard<std::mutex> guard(Count().lock);
  return Count().graphicsStarted;
}

// ---- virtual housekeeping ----

void Film::GetFilterFolder(char* buffer, uint32_t size) {
  if (!buffer || size == 0) return;
  const std::string& folder = state_->filterAccess.manager->Folder();
  size_t n = std::min<size_t>(folder.size(), size - 1);
  std::memcpy(buffer, folder.data(), n);
  buffer[n] = '\0';
}

void Film::Clear() {
  state_->filterMessage.clear();
  state_->slides.Clear();
  state_->current = 0;
}

void Film::SetMetadata(const void* bytes, uint32_t count) {
  if (!bytes || count == 0) {
    state_->metadata.clear();
  } else {
    state_->metadata.assign(bytes, count);
  }
}

const uint8_t* Film::GetMetadata(uint32_t* count) {
  if (count) *count = state_->metadata.size();
  return state_->metadata.empty() ? nullptr : state_->metadata.data();
}

void Film::SetSlideMetadata(int32_t slide, const void* bytes, uint32_t count) {
  if (Slide* target = GetSlide(slide)) target->SetMetadata(bytes, count);
}

const uint8_t* Film::GetSlideMetadata(int32_t slide, uint32_t* count) {
  if (count) *count = 0;
  Slide* target = GetSlide(slide);
  return target ? target->GetMetadata(count) : nullptr;
}

void Film::SetLayerMetadata(int32_t slide, int32_t layer, const void* bytes, uint32_t count) {
  Slide* target = GetSlide(slide);
  if (target && layer >= 0) target->SetLayerMetadata(uint32_t(layer), bytes, count);
}

const uint8_t* Film::GetLayerMetadata(int32_t slide, int32_t layer, uint32_t* count) {
  if (count) *count = 0;
  Slide* target = GetSlide(slide);
  if (!target || layer < 0) return nullptr;
  return target->GetLayerMetadata(uint32_t(layer), count);
}

// ---- slides and navigation ----

bool Film::First() {
  if (GetSlideCount() == 0 || state_->current == 0) return false;
  state_->current = 0;
  return true;
}

bool Film::Prev() {
  if (GetSlideCount() == 0 || state_->current == 0) return false;
  --state_->current;
  return true;
}

bool Film::Next() {
  if (GetSlideCount() == 0 || state_->current >= int32_t(GetSlideCount()) - 1) return false;
  ++state_->current;
  return true;
}

bool Film::Last() {
  const int32_t last = int32_t(GetSlideCount()) - 1;
  if (last < 0 || state_->current == last) return false;
  state_->current = last;
  return true;
}

bool Film::GoTo(int32_t index) {
  if (GetSlideCount() == 0 || index < 0 || uint32_t(index) >= GetSlideCount()) return false;
  state_->current = index;
  return true;
}

Slide* Film::GetCurrentSlide() const {
  const int32_t current = state_->current;
  return current >= 0 && uint32_t(current) < GetSlideCount() ? state_->slides[uint32_t(current)]
                                                             : nullptr;
}

Slide* Film::GetSlide(int32_t index) const {
  if (index == kCurrentSlide) return GetCurrentSlide();
  return index >= 0 && uint32_t(index) < GetSlideCount() ? state_->slides[uint32_t(index)]
                                                         : nullptr;
}

bool Film::RemoveSlides(int32_t first, int32_t count) {
  SlideRange range;
  if (first == kCurrentSlide) first = state_->current;
  if (first < 0 || !ResolveRange(uint32_t(first), count, GetSlideCount(), range)) return false;
  for (uint32_t i = range.end; i > range.begin; --i) state_->slides.Remove(i - 1);
  const int32_t n = int32_t(GetSlideCount());
  if (state_->current >= n) state_->current = n > 0 ? n - 1 : 0;
  return true;
}

bool Film::AddSlide(Slide* slide) {
  if (!slide) return false;
  slide->AttachTo(state_);
  return true;
}

ERetcode Film::CanOpen(const char* path) {
  if (!path) return BADA;
  uint32_t rc = NSUP;
  FilterFormatDesc* desc =
      state_->filterAccess.manager->DetectFromFile(path, false, rc, state_->probeFlag);
  return desc ? RCOK : ERetcode(rc);
}

ERetcode Film::CanOpenW(const char16_t* path) {
  if (!path) return BADA;
  uint32_t rc = NSUP;
  FilterFormatDesc* desc =
      state_->filterAccess.manager->DetectFromFile(path, true, rc, state_->probeFlag);
  return desc ? RCOK : ERetcode(rc);
}

void Film::SetProgress(ProgressCallback callback, uintptr_t context) {
  state_->progress = callback;
  state_->progressContext = context;
  for (Slide* slide : state_->slides) slide->SetProgress(callback, context);
}

void Film::GetProgress(ProgressCallback& callback, uintptr_t& context) const {
  callback = state_->progress;
  context = state_->progressContext;
}

// ---- geometry and attributes ----

bool Film::SetCanvas(int32_t width, int32_t height, bool noBaseLayer, bool refill) {
  Rect& canvas = state_->canvas;
  canvas = RectAt(canvas.left, canvas.top, std::max(width, 0), std::max(height, 0));
  bool all = true;
  for (Slide* slide : state_->slides) all &= slide->SetCanvas(width, height, noBaseLayer, refill);
  return all;
}

void Film::GetSlideSize(int32_t index, int32_t& width, int32_t& height) const {
  width = height = 0;
  if (index == -1) {
    if (GetSlideCount() == 0) {
      width = int32_t(std::clamp<int64_t>(state_->canvas.Width(), 0, INT32_MAX));
      height = int32_t(std::clamp<int64_t>(state_->canvas.Height(), 0, INT32_MAX));
      return;
    }
    for (Slide* slide : state_->slides) {
      int32_t w, h;
      slide->GetSize(w, h);
      width = std::max(width, w);
      height = std::max(height, h);
    }
    return;
  }
  if (Slide* slide = GetSlide(index)) slide->GetSize(width, height);
}

int32_t Film::GetSlideWidth(int32_t index) const {
  int32_t w, h;
  GetSlideSize(index, w, h);
  return w;
}

int32_t Film::GetSlideHeight(int32_t index) const {
  int32_t w, h;
  GetSlideSize(index, w, h);
  return h;
}

bool Film::MarkChanged(int32_t first, int32_t count) {
  SlideRange range;
  if (first == kCurrentSlide) first = state_->current;
  if (first < 0 || !ResolveRange(uint32_t(first), count, GetSlideCount(), range)) return false;
  for (uint32_t i = range.begin; i < range.end; ++i) state_->slides[i]->MarkChanged();
  return true;
}

bool Film::SetResolution(int32_t first, int32_t count, float x, float y) {
  SlideRange range;
  if (first == kCurrentSlide) first = state_->current;
  if (first < 0 || !ResolveRange(uint32_t(first), count, GetSlideCount(), range)) return false;
  for (uint32_t i = range.begin; i < range.end; ++i) state_->slides[i]->SetResolution(x, y);
  return true;
}

void Film::SetBackground(uint32_t colour, int32_t first, int32_t count) {
  colour |= 0xFF000000u;
  state_->background = colour;
  SlideRange range;
  if (first == kCurrentSlide) first = state_->current;
  if (first < 0 || !ResolveRange(uint32_t(first), count, GetSlideCount(), range)) return;
  for (uint32_t i = range.begin; i < range.end; ++i) state_->slides[i]->SetBackground(colour);
}

uint32_t Film::GetBackground(int32_t index) const {
  Slide* slide = GetSlide(index);
  return slide ? slide->GetBackground() : state_->background;
}

uint32_t Film::GetLayerPixelType(int32_t slide, int32_t layer) const {
  Slide* target = GetSlide(slide);
  Layer* found = target && layer >= 0 ? target->GetLayer(uint32_t(layer)) : nullptr;
  return found ? found->bitmap.pixelType : uint32_t(kPixelNone);
}

// ---- copies ----

void Film::CopyAttributesFrom(const _FLM& other) {
  state_->filterMessage = other.filterMessage;
  state_->canvas = other.canvas;
  state_->current = other.current;
  state_->background = other.background;
  state_->progress = other.progress;
  state_->progressContext = other.progressContext;
  state_->metadata = other.metadata;
  std::memcpy(state_->saveDefaults, other.saveDefaults, sizeof state_->saveDefaults);
}

Film* Film::Clone() const {
  auto* copy = new (std::nothrow) Film;
  if (!copy) return nullptr;
  // The canvas comes first so that attaching keeps the slides' own canvases.
  copy->CopyAttributesFrom(*state_);
  for (Slide* slide : state_->slides) {
    Slide* clone = slide->Clone(copy->state_);
    if (!clone) {
      delete copy;
      return nullptr;
    }
    clone->AttachTo(copy->state_);
  }
  copy->state_->current = state_->current;
  return copy;
}

uint32_t Film::AssignFrom(const Film& other, int32_t first, int32_t count) {
  if (&other == this) return 0;
  SlideRange range;
  if (first == kCurrentSlide) first = other.state_->current;
  if (first < 0 || !ResolveRange(uint32_t(first), count, other.GetSlideCount(), range)) return 0;
  Clear();
  CopyAttributesFrom(*other.state_);
  for (uint32_t i = range.begin; i < range.end; ++i) {
    Slide* clone = other.state_->slides[i]->Clone(state_);
    if (!clone) break;
    clone->AttachTo(state_);
  }
  const int32_t n = int32_t(GetSlideCount());
  if (state_->current >= n) state_->current = 0;
  for (Slide* slide : state_->slides) slide->MarkChanged();
  return uint32_t(n);
}

Film* Film::ExtractSlides(int32_t first, int32_t count, const Rect& rect) const {
  SlideRange range;
  if (first == kCurrentSlide) first = state_->current;
  if (first < 0 || !ResolveRange(uint32_t(first), count, GetSlideCount(), range)) return nullptr;
  if (range.begin == range.end) return nullptr;
  auto* copy = new (std::nothrow) Film;
  if (!copy) return nullptr;
  copy->SetProgress(state_->progress, state_->progressContext);
  bool anyContent = false;
  for (uint32_t i = range.begin; i < range.end; ++i) {
    Slide* cut = state_->slides[i]->CutCopy(copy->state_, 0, -1, rect);
    if (!cut) continue;
    anyContent |= cut->layers.size() > 0;
    cut->AttachTo(copy->state_);
  }
  if (!anyContent) copy->Clear();
  return copy;
}

bool Film::BuildOpenFilter(char** text, uint32_t* length, bool keepBars, bool sort) {
  if (!text || !length) return false;
  *text = nullptr;
  *length = 0;
  std::string filter;
  if (!state_->filterAccess.manager->BuildOpenFilter(filter, keepBars, nullptr, sort)) return false;
  auto* block = static_cast<char*>(std::malloc(filter.size() + 1));
  if (!block) return false;
  std::memcpy(block, filter.data(), filter.size());
  block[filter.size()] = '\0';
  *text = block;
  *length = uint32_t(filter.size());
  return true;
}

}  // namespace glib
