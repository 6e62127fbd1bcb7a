#include "runtime/ProgressBand.h"

#include <cmath>

namespace glib {

int32_t ProgressBand::BandHeight(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return 0;
  int64_t pixels = width * height;
  if (pixels < 90000) return 0;
  int64_t bands = int64_t(0.009 * std::sqrt(double(pixels - 90000)));
  if (bands < 2) return 0;
  int64_t rows = pixels / bands / width;
  return rows > INT32_MAX ? INT32_MAX : int32_t(rows);
}

ProgressBand::ProgressBand(ProgressCallback callback, uintptr_t context, int32_t width,
                           int32_t height, const char* text)
    : callback_(callback) {
  if (!callback_) return;
  bandHeight_ = BandHeight(width, height);
  if (bandHeight_ == 0) return;
  nextBoundary_ = bandHeight_;
  data_.stepCount = height;
  data_.step = ClbData::kBegin;
  data_.text = text;
  data_.context = context;
  // The answer to the begin step is not a request to stop: only ordinary steps are.
  callback_(&data_);
}

bool ProgressBand::RowsDone(int32_t rows) {
  if (stopped_) return false;
  while (bandHeight_ > 0 && rows >= nextBoundary_) {
    data_.step = nextBoundary_ + 1;
    if (!callback_(&data_)) {
      stopped_ = true;
      return false;
    }
    if (nextBoundary_ > INT32_MAX - bandHeight_) {
      bandHeight_ = 0;  // the last boundary a 32-bit row count can reach
      break;
    }
    nextBoundary_ += bandHeight_;
  }
  return true;
}

}  // namespace glib
