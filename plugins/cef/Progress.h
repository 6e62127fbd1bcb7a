// Progress of one effect, and its rows spread over a few threads.
//
// Steps go through the caller's callback and record: the begin step, ordinary steps
// 1..kSteps as the work advances, the end step. Only the calling thread calls back.
// An answer of false to an ordinary step asks the effect to stop: it then leaves the
// picture as it was and ends with USRA. Without a callback or a record an effect runs
// quietly.
#pragma once

#include <cstdint>
#include <type_traits>

#include "formats/ClbData.h"

namespace cef {

class Progress {
 public:
  static constexpr int32_t kSteps = 100;

  Progress(ProgressCallback callback, ClbData* record);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // The share `done` (0..1) of the whole effect is finished; false once a stop was
  // asked for.
  bool Reached(double done);
  bool Stopped() const { return stopped_; }

 private:
  ProgressCallback callback_;
  ClbData* record_;
  int32_t step_ = 0;
  bool stopped_ = false;
};

// The part of an effect's progress that one pass covers.
struct Phase {
  Progress& progress;
  double from;
  double to;
};

// Process-wide cap on the threads of one effect; 0 (the default) means the
// hardware's thread count. Benchmarks set 1.
void SetThreadLimit(int threads);
int ThreadLimit();
// Threads worth starting for about `work` simple operations.
int ThreadsFor(uint64_t work);

// Runs body(first, end, worker) over [0, count) in pieces of `chunk`, on up to
// `threads` threads (worker 0 .. threads - 1, each with its own buffers; 0 is the
// caller), and reports the phase's progress between the calling thread's pieces.
// Returns false when a stop was asked for; pieces not started by then are skipped.
// Every piece is computed the same way whichever thread runs it. The body must not
// throw. Without a phase nothing is reported and the run cannot be stopped (the
// last pass of an effect, which writes the picture).
using ChunkBody = void (*)(void* context, int32_t first, int32_t end, int worker);
bool RunChunks(int32_t count, int32_t chunk, int threads, const Phase* phase, ChunkBody body,
               void* context);

template <typename F>
bool ForChunks(int32_t count, int32_t chunk, int threads, const Phase& phase, F&& body) {
  return RunChunks(
      count, chunk, threads, &phase,
      [](void* context, int32_t first, int32_t end, int worker) {
        (*static_cast<std::remove_reference_t<F>*>(context))(first, end, worker);
      },
      &body);
}

template <typename F>
void ForAllChunks(int32_t count, int32_t chunk, int threads, F&& body) {
  RunChunks(
      count, chunk, threads, nullptr,
      [](void* context, int32_t first, int32_t end, int worker) {
        (*static_cast<std::remove_reference_t<F>*>(context))(first, end, worker);
      },
      &body);
}

}  // namespace cef
