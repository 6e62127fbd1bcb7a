#include "image/Slide.h"

#include <cstdio>
#include <new>

#include "formats/FormatRegistry.h"
#include "image/BitmapOps.h"
#include "image/Film.h"
#include "image/FilmPlatform.h"

namespace glib {

Slide::Slide(uint32_t colour, _FLM* owner) : composite(new Layer(this)), background(colour) {
  if (owner) {
    progress = owner->progress;
    progressContext = owner->progressContext;
  }
  MarkChanged();
}

Slide::~Slide() {
  SendEvent(progress, progressContext, kEventSlideDestroyed, this);
  delete composite;
  delete baseLayer;
  if (!swapFile.empty()) RemoveFile(swapFile);
  // Bottom layer first, so listeners see the layers go in stacking order.
  for (Layer* layer : layers) delete layer;
  layers.SetOwnsElements(false);
  layers.Clear();
}

void Slide::SetMetadata(const void* bytes, uint32_t count) {
  if (!bytes || count == 0) {
    metadata.clear();
  } else {
    metadata.assign(bytes, count);
  }
}

const uint8_t* Slide::GetMetadata(uint32_t* count) {
  if (count) *count = metadata.size();
  return metadata.empty() ? nullptr : metadata.data();
}

void Slide::SetLayerMetadata(uint32_t layer, const void* bytes, uint32_t count) {
  if (Layer* target = GetLayer(layer)) target->SetMetadata(bytes, count);
}

const uint8_t* Slide::GetLayerMetadata(uint32_t layer, uint32_t* count) {
  if (count) *count = 0;
  Layer* target = GetLayer(layer);
  return target ? target->GetMetadata(count) : nullptr;
}

void Slide::AttachTo(_FLM* owner) {
  DetachFromFilm();
  if (!owner) return;
  film = owner;
  if (!backgroundSet) background = owner->background;
  SetCanvas(int32_t(owner->canvas.Width()), int32_t(owner->canvas.Height()), baseLayer == nullptr,
            false);
  SetProgress(owner->progress, owner->progressContext);
  owner->slides.Add(this);
}

_FLM* Slide::DetachFromFilm() {
  _FLM* former = film;
  if (!former) return nullptr;
  gen::array_ptr<Slide>& list = former->slides;
  for (uint32_t i = 0; i < list.size(); ++i) {
    if (list[i] != this) continue;
    list.Detach(i);
    if (former->current >= int32_t(list.size())) {
      former->current = list.empty() ? 0 : int32_t(list.size()) - 1;
    }
    break;
  }
  film = nullptr;
  return former;
}

void Slide::GetSize(int32_t& width, int32_t& height) {
  if (HasCanvas()) {
    width = int32_t(std::clamp<int64_t>(canvas.Width(), 0, INT32_MAX));
    height = int32_t(std::clamp<int64_t>(canvas.Height(), 0, INT32_MAX));
    return;
  }
  SwapIn();
  int64_t w = 0, h = 0;
  for (Layer* layer : layers) {
    if (!layer->IsShown()) continue;
    w = std::max(w, int64_t(layer->offsetX) + layer->bitmap.width);
    h = std::max(h, int64_t(layer->offsetY) + layer->bitmap.height);
  }
  width = int32_t(std::min<int64_t>(w, INT32_MAX));
  height = int32_t(std::min<int64_t>(h, INT32_MAX));
}

int32_t Slide::Width() {
  int32_t w, h;
  GetSize(w, h);
  return w;
}

int32_t Slide::Height() {
  int32_t w, h;
  GetSize(w, h);
  return h;
}

uint32_t Slide::GetLayerCount() {
  SwapIn();
  return layers.size();
}

bool Slide::IsEmpty() { return GetLayerCount() == 0; }

bool Slide::AddLayer(Layer* layer) {
  if (!layer) return false;
  SwapIn();
  layers.Add(layer);
  layer->slide = this;
  MarkChanged();
  return true;
}

bool Slide::RemoveLayers(uint32_t first, int32_t count) {
  SwapIn();
  SlideRange range;
  if (!ResolveRange(first, count, layers.size(), range)) return false;
  for (uint32_t i = range.end; i > range.begin; --i) layers.Remove(i - 1);
  MarkChanged();
  return true;
}

Layer* Slide::GetLayer(uint32_t index) {
  SwapIn();
  return index < layers.size() ? layers[index] : nullptr;
}

Layer* Slide::GetBaseLayer() {
  SwapIn();
  return baseLayer;
}

void Slide::SetBaseLayer(Layer* layer) {
  if (layer == baseLayer) return;
  delete baseLayer;
  baseLayer = layer;
  if (layer) layer->slide = this;
  MarkChanged();
}

void Slide::SetBackground(uint32_t colour) {
  backgroundSet = 1;
  if (colour == background) return;
  background = colour;
  MarkChanged();
}

void Slide::SetResolution(float x, float y) {
  resolutionX = x;
  resolutionY = y;
}

void Slide::GetResolution(float& x, float& y) const {
  x = resolutionX;
  y = resolutionY;
}

void Slide::SetProgress(ProgressCallback callback, uintptr_t context) {
  progress = callback;
  progressContext = context;
}

void Slide::MarkChanged() {
  changed = 1;
  SendEvent(progress, progressContext, kEventSlideChanged, this);
}

bool Slide::CopyAttributesFrom(const Slide& other) {
  if (&other == this) return true;
  Layer* base = nullptr;
  if (other.baseLayer) {
    base = other.baseLayer->Clone(this);
    if (!base) return false;
  }
  progress = other.progress;
  progressContext = other.progressContext;
  name = other.name;
  text2 = other.text2;
  background = other.background;
  backgroundSet = other.backgroundSet;
  delay = other.delay;
  resolutionX = other.resolutionX;
  resolutionY = other.resolutionY;
  targetResolutionX = other.targetResolutionX;
  targetResolutionY = other.targetResolutionY;
  canvas = other.canvas;
  metadata = other.metadata;
  delete baseLayer;
  baseLayer = base;
  return true;
}

Slide* Slide::Clone(_FLM* owner) {
  SwapIn();
  auto* copy = new (std::nothrow) Slide(background, owner);
  if (!copy) return nullptr;
  for (Layer* layer : layers) {
    Layer* clone = layer->Clone(copy);
    if (!clone) {
      delete copy;
      return nullptr;
    }
    copy->layers.Add(clone);
  }
  if (!copy->CopyAttributesFrom(*this)) {
    delete copy;
    return nullptr;
  }
  copy->changed = 1;
  return copy;
}

bool Slide::SwapIn() {
  if (swapFile.empty()) return true;
  std::string path;
  path.swap(swapFile);
  if (!film || !film->owner) return false;
  UnlockWholeFile(path);
  Film& owner = *film->owner;
  const uint32_t before = owner.GetSlideCount();
  if (owner.Append(path.c_str(), kFormatFLM, nullptr) != RCOK) return false;
  if (owner.GetSlideCount() <= before) return false;
  Slide* loaded = owner.State()->slides[owner.GetSlideCount() - 1];
  if (loaded->baseLayer) {
    Layer* base = loaded->baseLayer;
    loaded->baseLayer = nullptr;
    delete baseLayer;
    baseLayer = base;
    base->slide = this;
  }
  const uint32_t common = std::min(layers.size(), loaded->layers.size());
  for (uint32_t i = 0; i < common; ++i) layers[i]->CopyFrom(*loaded->layers[i], false);
  loaded->DetachFromFilm();
  delete loaded;
  RemoveFile(path);
  MarkChanged();
  return true;
}

}  // namespace glib
