// When a load shows its progress panel: the first report starts the clock, the
// second estimates the whole load from the part done so far, and only a load
// expected to take 201 milliseconds or more gets the panel.
#pragma once

#include <cstdint>

namespace viewer {

constexpr uint32_t kProgressPanelThresholdMs = 201;

class LoadProgress {
 public:
  enum class State { Idle, Measuring, PanelShown, Fast };
  enum class Action { None, ShowPanel, UpdatePanel, HidePanel };

  // A load begins.
  void Begin() { state_ = State::Idle; }
  // The load ends: HidePanel when the panel is up.
  Action End();
  // A progress report of `done` out of `total` at the tick `nowMs`.
  Action Report(int64_t done, int64_t total, uint32_t nowMs);

  State Current() const { return state_; }

 private:
  State state_ = State::Idle;
  uint32_t startMs_ = 0;
};

}  // namespace viewer
