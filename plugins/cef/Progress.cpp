#include "cef/Progress.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace cef {
namespace {

std::atomic<int> threadLimit{0};

// Pieces are handed out in order by an atomic counter.
struct Queue {
  int32_t count;
  int32_t chunk;
  ChunkBody body;
  void* context;
  std::atomic<int32_t> next{0};
  std::atomic<int32_t> done{0};
  std::atomic<bool> stop{false};

  bool RunOne(int worker) {
    if (stop.load(std::memory_order_relaxed)) return false;
    int32_t first = next.fetch_add(chunk, std::memory_order_relaxed);
    if (first >= count) return false;
    int32_t end = first + std::min(chunk, count - first);
    body(context, first, end, worker);
    done.fetch_add(end - first, std::memory_order_relaxed);
    return true;
  }
};

void Work(Queue* queue, int worker) {
  while (queue->RunOne(worker)) {
  }
}

}  // namespace

Progress::Progress(ProgressCallback callback, ClbData* record)
    : callback_(record ? callback : nullptr), record_(record) {
  if (!callback_) return;
  record_->stepCount = kSteps;
  record_->step = ClbData::kBegin;
  callback_(record_);  // the answer to the begin step is not a request to stop
}

Progress::~Progress() {
  if (!callback_) return;
  record_->step = ClbData::kEnd;
  callback_(record_);
}

bool Progress::Reached(double done) {
  if (stopped_) return false;
  if (!callback_) return true;
  int32_t step = std::clamp(int32_t(done * kSteps), 1, kSteps);
  if (step <= step_) return true;
  step_ = step;
  record_->step = step;
  stopped_ = !callback_(record_);
  return !stopped_;
}

void SetThreadLimit(int threads) { threadLimit.store(std::max(threads, 0)); }

int ThreadLimit() {
  int limit = threadLimit.load();
  if (limit > 0) return limit;
  return int(std::max(std::thread::hardware_concurrency(), 1u));
}

int ThreadsFor(uint64_t work) {
  // Below a few million operations a thread costs more than it saves.
  constexpr uint64_t kWorkPerThread = 4u << 20;
  uint64_t wanted = std::max<uint64_t>(1, work / kWorkPerThread);
  return int(std::min<uint64_t>(wanted, uint64_t(ThreadLimit())));
}

bool RunChunks(int32_t count, int32_t chunk, int threads, const Phase* phase, ChunkBody body,
               void* context) {
  if (phase && phase->progress.Stopped()) return false;
  if (count <= 0) return true;
  Queue queue{count, std::max(chunk, 1), body, context};
  threads = std::clamp(threads, 1, (count + queue.chunk - 1) / queue.chunk);
  std::vector<std::thread> helpers;
  for (int i = 1; i < threads; ++i) {
    try {
      helpers.emplace_back(Work, &queue, i);
    } catch (const std::system_error&) {
      break;  // fewer threads, same result
    }
  }
  while (queue.RunOne(0)) {
    if (!phase) continue;
    double share = double(queue.done.load(std::memory_order_relaxed)) / count;
    if (!phase->progress.Reached(phase->from + (phase->to - phase->from) * share)) {
      queue.stop.store(true);
    }
  }
  for (std::thread& helper : helpers) helper.join();
  return !phase || phase->progress.Reached(phase->to);
}

}  // namespace cef
