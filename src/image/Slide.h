// glib::Slide: one page or animation frame, an ordered stack of layers (bottom
// first) with an optional base layer beneath them and a composite layer that caches
// the flattened picture.
#pragma once

#include <cstdint>
#include <string>

#include "formats/ClbData.h"
#include "formats/GenArray.h"
#include "formats/GenBytes.h"
#include "formats/GenString.h"
#include "formats/Retcode.h"
#include "image/FilmTypes.h"
#include "image/Layer.h"
#include "runtime/ScaleTypes.h"

namespace glib {

struct _FLM;

class Slide {
 public:
  // Copies the Film's progress callback and context (none without a Film); the slide
  // is attached later (AttachTo).
  Slide(uint32_t background, _FLM* film);
  // Event 5; deletes composite, base layer, swap file and layers, in that order.
  virtual ~Slide();
  Slide(const Slide&) = delete;
  Slide& operator=(const Slide&) = delete;

  virtual void SetMetadata(const void* bytes, uint32_t count);                       // 1
  virtual const uint8_t* GetMetadata(uint32_t* count);                               // 2
  virtual void SetLayerMetadata(uint32_t layer, const void* bytes, uint32_t count);  // 3
  virtual const uint8_t* GetLayerMetadata(uint32_t layer, uint32_t* count);          // 4

  // Removes the slide from any Film, then appends it to this one: background (unless
  // given explicitly), canvas size and progress callback come from the Film.
  void AttachTo(_FLM* film);
  // Takes the slide out of its Film's list without deleting it.
  _FLM* DetachFromFilm();

  // Canvas size when there is a canvas, else the extent of the shown layers.
  void GetSize(int32_t& width, int32_t& height);
  int32_t Width();
  int32_t Height();
  bool HasCanvas() const { return !canvas.IsZero(); }

  uint32_t GetLayerCount();
  bool IsEmpty();
  bool AddLayer(Layer* layer);
  bool RemoveLayers(uint32_t first, int32_t count);
  Layer* GetLayer(uint32_t index);
  Layer* GetBaseLayer();
  // Replaces the base layer (the old one is deleted); null removes it.
  void SetBaseLayer(Layer* layer);
  Layer* GetComposite() { return composite; }

  void SetBackground(uint32_t colour);
  uint32_t GetBackground() const { return background; }
  void SetResolution(float x, float y);
  void GetResolution(float& x, float& y) const;
  void SetDelay(uint32_t milliseconds) { delay = milliseconds; }
  uint32_t GetDelay() const { return delay; }
  void SetProgress(ProgressCallback callback, uintptr_t context);

  // Sets `changed` and sends event 3.
  void MarkChanged();

  // A copy with every layer duplicated and the slide's attributes; null when memory
  // is short. The copy is not attached.
  Slide* Clone(_FLM* film);
  // Progress, texts, background and its flag, delay, resolutions, canvas, metadata
  // and a copy of the base layer.
  bool CopyAttributesFrom(const Slide& other);

  // Brings a swapped-out slide's content back from its film-format file. True when
  // the slide is in memory afterwards with its content (or was already).
  bool SwapIn();
  bool IsSwappedOut() const { return !swapFile.empty(); }

  // ---- operations ----
  ERetcode Stretch(int32_t newWidth, int32_t newHeight, EScaleType type, bool keepProportions,
                   ClbData* record, uint32_t scaleFlags);
  bool Mirror(bool vertical, bool horizontal);
  ERetcode Rotate(double degrees, bool interpolate, ClbData* record);
  bool SetCanvas(int32_t width, int32_t height, bool noBaseLayer, bool refill);
  bool ApplyResolution(uint32_t scaleFlags);
  // Per-slide step of ScaleToNewFilm; the copy is attached to `target`.
  Slide* ScaledCopy(_FLM* target, int32_t newWidth, int32_t newHeight, EScaleType type,
                    uint32_t scaleFlags, const Rect* source);
  // Per-slide step of ExtractSlides and the clipboard: the layers of the range cut to
  // the rectangle (slide coordinates; empty = whole layers). Not attached.
  Slide* CutCopy(_FLM* target, uint32_t firstLayer, int32_t layerCount, const Rect& rect);

  gen::array_ptr<Layer> layers;  // bottom first
  Layer* composite;
  Layer* baseLayer = nullptr;
  Rect canvas;
  gen::string name;
  gen::string text2;
  gen::byte_array metadata;
  _FLM* film = nullptr;  // not owned
  ProgressCallback progress = nullptr;
  uintptr_t progressContext = 0;
  float resolutionX = 96.0f;
  float resolutionY = 96.0f;
  float targetResolutionX = -1.0f;
  float targetResolutionY = -1.0f;
  uint32_t background;
  uint8_t backgroundSet = 0;
  uint32_t delay = 10;
  uint8_t changed = 0;
  std::string swapFile;
};

}  // namespace glib
