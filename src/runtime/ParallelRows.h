// Splits row-wise work of the runtime over a few threads. Every row is computed the
// same way whichever thread runs it, so results do not depend on the thread count.
// Progress is reported on the calling thread only, between chunks.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace glib {

class ProgressBand;

// Process-wide cap on the threads one operation uses; 0 restores the default (the
// hardware's thread count, at most 8). Benchmarks set 1 to time one core.
void SetRuntimeThreads(int threads);
int RuntimeThreads();

// Threads worth starting for `work` units (roughly one unit per pixel and tap).
int WorkersFor(uint64_t work);

// A borrowed reference to a callable; it must outlive the call it is passed to.
class RowChunkFn {
 public:
  template <typename F>
  RowChunkFn(F& f)  // NOLINT: implicit on purpose
      : object_(&f), call_([](void* o, int32_t first, int32_t end, int worker) {
          (*static_cast<F*>(o))(first, end, worker);
        }) {}
  void operator()(int32_t first, int32_t end, int worker) const {
    call_(object_, first, end, worker);
  }

 private:
  void* object_;
  void (*call_)(void*, int32_t, int32_t, int);
};

// Runs body(first, end, worker) over chunks of `chunk` rows covering [0, rows) on up
// to `workers` threads (worker indices 0 .. workers - 1; worker 0 is the caller).
// Returns false when the progress band asked to stop; chunks already started finish.
// The body must not throw.
bool RunRowChunks(int32_t rows, int32_t chunk, int workers, ProgressBand* band, RowChunkFn body);

}  // namespace glib
