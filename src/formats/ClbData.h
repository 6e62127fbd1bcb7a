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
