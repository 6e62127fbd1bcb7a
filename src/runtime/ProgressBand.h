// Progress of one long per-picture operation, reported in bands of rows so that
// small pictures cause no callback traffic and large ones a bounded number of steps.
#pragma once

#include <cstdint>

#include "formats/ClbData.h"

namespace glib {

class ProgressBand {
 public:
  // Sends the begin step at once when the picture is large enough to report and a
  // callback is given. The record's step count is the picture height.
  ProgressBand(ProgressCallback callback, uintptr_t context, int32_t width, int32_t height,
               const char* text);
  ProgressBand(const ProgressBand&) = delete;
  ProgressBand& operator=(const ProgressBand&) = delete;

  // Rows per band for a w x h picture; 0 for a small picture (no reports).
  static int32_t BandHeight(int64_t width, int64_t height);

  bool Reports() const { return bandHeight_ > 0; }

  // `rows` rows are finished (a running count); sends step r + 1 for every band
  // boundary r passed since the last call. False once the callback asked to stop.
  bool RowsDone(int32_t rows);

  bool Stopped() const { return stopped_; }

 private:
  ProgressCallback callback_;
  int32_t bandHeight_ = 0;
  int32_t nextBoundary_ = 0;
  bool stopped_ = false;
  ClbData data_;
};

}  // namespace glib
