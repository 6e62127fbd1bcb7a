#include "runtime/ParallelRows.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

#include "runtime/ProgressBand.h"

namespace glib {
namespace {

std::atomic<int> threadCap{0};

int DefaultThreads() {
  unsigned hardware = std::thread::hardware_concurrency();
  return int(std::clamp(hardware, 1u, 8u));
}

// Shared state of one run; chunks are handed out in order by an atomic counter.
struct ChunkQueue {
  int32_t rows;
  int32_t chunk;
  std::atomic<int32_t> next{0};
  std::atomic<int32_t> done{0};
  std::atomic<bool> stop{false};

  bool Take(int32_t& first, int32_t& end) {
    if (stop.load(std::memory_order_relaxed)) return false;
    first = next.fetch_add(chunk, std::memory_order_relaxed);
    if (first >= rows) return false;
    end = first + std::min(chunk, rows - first);
    return true;
  }
};

void WorkerLoop(ChunkQueue& queue, const RowChunkFn& body, int worker) {
  int32_t first, end;
  while (queue.Take(first, end)) {
    body(first, end, worker);
    queue.done.fetch_add(end - first, std::memory_order_release);
  }
}

}  // namespace

void SetRuntimeThreads(int threads) { threadCap.store(std::max(threads, 0)); }

int RuntimeThreads() {
  int cap = threadCap.load();
  return cap > 0 ? cap : DefaultThreads();
}

int WorkersFor(uint64_t work) {
  // Below a few million operations a thread costs more than it saves.
  constexpr uint64_t kWorkPerThread = 4u << 20;
  uint64_t wanted = std::max<uint64_t>(1, work / kWorkPerThread);
  return int(std::min<uint64_t>(wanted, uint64_t(RuntimeThreads())));
}

bool RunRowChunks(int32_t rows, int32_t chunk, int workers, ProgressBand* band, RowChunkFn body) {
  if (rows <= 0) return true;
  ChunkQueue queue{rows, std::max(chunk, 1)};
  workers = std::clamp(workers, 1, int((rows + queue.chunk - 1) / queue.chunk));
  std::vector<std::thread> helpers;
  for (int worker = 1; worker < workers; ++worker) {
    try {
      helpers.emplace_back(WorkerLoop, std::ref(queue), std::cref(body), worker);
    } catch (const std::system_error&) {
      break;  // fewer threads, same result
    }
  }
  bool reporting = band && band->Reports();
  int32_t first, end;
  while (queue.Take(first, end)) {
    body(first, end, 0);
    queue.done.fetch_add(end - first, std::memory_order_release);
    if (reporting && !band->RowsDone(queue.done.load(std::memory_order_acquire))) {
      queue.stop.store(true);
    }
  }
  for (std::thread& helper : helpers) helper.join();
  if (reporting && !queue.stop.load()) band->RowsDone(rows);
  return !(band && band->Stopped());
}

}  // namespace glib
