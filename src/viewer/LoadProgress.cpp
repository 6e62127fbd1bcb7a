#include "viewer/LoadProgress.h"

namespace viewer {

LoadProgress::Action LoadProgress::End() {
  bool shown = state_ == State::PanelShown;
  state_ = State::Idle;
  return shown ? Action::HidePanel : Action::None;
}

LoadProgress::Action LoadProgress::Report(int64_t done, int64_t total, uint32_t nowMs) {
  switch (state_) {
    case State::Idle:
      startMs_ = nowMs;
      state_ = State::Measuring;
      return Action::None;
    case State::Measuring: {
      // Tick counts wrap; the difference of two unsigned ticks does not care.
      double elapsed = double(uint32_t(nowMs - startMs_));
      double estimate = double(total + 1) / double(done + 1 > 0 ? done + 1 : 1) * elapsed;
      if (estimate < kProgressPanelThresholdMs) {
        state_ = State::Fast;
        return Action::None;
      }
      state_ = State::PanelShown;
      return Action::ShowPanel;
    }
    case State::PanelShown:
      return Action::UpdatePanel;
    case State::Fast:
      return Action::None;
  }
  return Action::None;
}

}  // namespace viewer
