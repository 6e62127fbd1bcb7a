// The record handed to progress and notification callbacks. Shared with plug-ins
// and the imaging runtime, so its layout is fixed.
#pragma once

#include <cstdint>

#include "platform/Abi.h"

struct ClbData {
  // Special steps; ordinary steps run from 1 to stepCount.
  static constexpr int32_t kBegin = -1;
  static constexpr int32_t kEnd = -2;
  static constexpr int32_t kWaitBegin = -3;  // a load, thumbnail, information or save call starts
  static constexpr int32_t kWaitEnd = -4;
  static constexpr int32_t kEvent = -5;  // eventKind and object say what happened

  int32_t stepCount = 0;
  int32_t step = 0;
  uint64_t object = 0;  // the Film, Slide or Layer an event concerns
  int32_t eventKind = 0;
  const char* text = nullptr;  // the running operation's progress text
  uintptr_t context = 0;       // the callback owner's word
};

// Returns false to ask the running operation to stop (it then ends with USRA).
using ProgressCallback = bool(ORBISK_CDECL*)(ClbData* data);

ORBISK_LAYOUT_OFFSET(ClbData, step, 4);
ORBISK_LAYOUT_OFFSET(ClbData, object, 8);
ORBISK_LAYOUT_OFFSET(ClbData, eventKind, 16);
ORBISK_LAYOUT_OFFSET(ClbData, text, 20);
ORBISK_LAYOUT_OFFSET(ClbData, context, 24);
ORBISK_LAYOUT_SIZE(ClbData, 32);

namespace glib {

// Kinds of the events the document reports through its callback.
enum FilmEventKind : int32_t {
  kEventCompositeRebuild = 1,  // pixels, width, height: the answer says who prepares the rows
  kEventUnavailable = 2,       // parameter: what is unavailable (below)
  kEventSlideChanged = 3,
  kEventLayerDestroyed = 4,
  kEventSlideDestroyed = 5,
  kEventFilmDestroyed = 6,
  kEventBaseLayerFill = 7,  // pixels, width, height, colour: the answer says who fills them
};

// What an unavailable-feature event (kEventUnavailable) is about.
enum UnavailableFeature : int32_t {
  kUnavailableEffects = 1,  // the colour-effect module cannot be loaded
  // No loaded plug-in reads the format a load was redirected to; `text` holds the
  // format's code. The answer true asks to look for plug-ins again and retry.
  kUnavailablePlugin = 2,
};

// The record of an event: the callback receives it as its ClbData and reads
// the parameters of events 1, 2 and 7 after a downcast (AsFilmEvent).
struct FilmEvent : ClbData {
  uint8_t* pixels = nullptr;  // events 1 and 7: 32-bit rows, top row first
  int32_t width = 0;
  int32_t height = 0;
  uint32_t colour = 0;    // event 7: the slide background as 0xAARRGGBB
  int32_t parameter = 0;  // event 2
};

inline const FilmEvent* AsFilmEvent(const ClbData* data) {
  return data && data->step == ClbData::kEvent ? static_cast<const FilmEvent*>(data) : nullptr;
}

}  // namespace glib
