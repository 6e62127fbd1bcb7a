#include "runtime/ProgressBand.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "runtime/ParallelRows.h"

using namespace glib;

namespace {

struct Recorder {
  std::vector<int32_t> steps;
  int32_t stopAt = 0;  // answer false at this step
  const char* text = nullptr;
  int32_t stepCount = 0;
};

bool ORBISK_CDECL Record(ClbData* data) {
  auto* r = reinterpret_cast<Recorder*>(data->context);
  r->steps.push_back(data->step);
  r->text = data->text;
  r->stepCount = data->stepCount;
  return data->step != r->stopAt;
}

}  // namespace

TEST(ProgressBand, BandHeightGrowsWithTheSquareRootOfTheArea) {
  EXPECT_EQ(ProgressBand::BandHeight(299, 300), 0);      // below 90000 pixels
  EXPECT_EQ(ProgressBand::BandHeight(300, 400), 0);      // fewer than two bands
  EXPECT_EQ(ProgressBand::BandHeight(1000, 1000), 125);  // n = 8
  EXPECT_EQ(ProgressBand::BandHeight(6000, 4000), 90);   // n = 44
  EXPECT_EQ(ProgressBand::BandHeight(0, 1000000), 0);
  EXPECT_EQ(ProgressBand::BandHeight(1000000, 0), 0);
}

TEST(ProgressBand, ReportsBeginThenEveryBandBoundaryPlusOne) {
  Recorder r;
  ProgressBand band(Record, reinterpret_cast<uintptr_t>(&r), 1000, 1000, "turn");
  EXPECT_EQ(r.steps, std::vector<int32_t>{ClbData::kBegin});
  EXPECT_STREQ(r.text, "turn");
  EXPECT_EQ(r.stepCount, 1000);
  EXPECT_TRUE(band.RowsDone(124));
  EXPECT_TRUE(band.RowsDone(300));  // passes 125 and 250 at once
  EXPECT_TRUE(band.RowsDone(1000));
  EXPECT_EQ(r.steps, (std::vector<int32_t>{-1, 126, 251, 376, 501, 626, 751, 876, 1001}));
}

TEST(ProgressBand, SmallPicturesAndMissingCallbacksReportNothing) {
  Recorder r;
  ProgressBand small(Record, reinterpret_cast<uintptr_t>(&r), 299, 300, "x");
  EXPECT_FALSE(small.Reports());
  EXPECT_TRUE(small.RowsDone(300));
  EXPECT_TRUE(r.steps.empty());
  ProgressBand silent(nullptr, 0, 1000, 1000, "x");
  EXPECT_TRUE(silent.RowsDone(1000));
}

TEST(ProgressBand, FalseAnswerStopsForGood) {
  Recorder r;
  r.stopAt = 251;
  ProgressBand band(Record, reinterpret_cast<uintptr_t>(&r), 1000, 1000, "x");
  EXPECT_TRUE(band.RowsDone(200));
  EXPECT_FALSE(band.RowsDone(600));
  EXPECT_TRUE(band.Stopped());
  EXPECT_FALSE(band.RowsDone(1000));
  EXPECT_EQ(r.steps, (std::vector<int32_t>{-1, 126, 251}));
}

TEST(ParallelRows, EveryRowRunsOnceWhateverTheThreadsAndChunks) {
  for (int workers : {1, 2, 3, 8}) {
    for (int32_t chunk : {1, 7, 64, 1000}) {
      std::vector<std::atomic<int>> seen(997);
      auto body = [&](int32_t first, int32_t end, int worker) {
        EXPECT_LT(worker, workers);
        for (int32_t y = first; y < end; ++y) seen[size_t(y)]++;
      };
      EXPECT_TRUE(RunRowChunks(997, chunk, workers, nullptr, body));
      for (auto& count : seen) ASSERT_EQ(count.load(), 1) << workers << " " << chunk;
    }
  }
}

TEST(ParallelRows, StopRequestEndsTheRun) {
  for (int workers : {1, 2}) {
    Recorder r;
    r.stopAt = 126;
    ProgressBand band(Record, reinterpret_cast<uintptr_t>(&r), 1000, 1000, "x");
    std::atomic<int32_t> rows{0};
    auto body = [&](int32_t first, int32_t end, int) { rows += end - first; };
    EXPECT_FALSE(RunRowChunks(1000, 10, workers, &band, body));
    // A helper thread may finish everything before the caller reports; alone, the
    // caller stops at the band.
    if (workers == 1) {
      EXPECT_EQ(rows.load(), 130);
    }
  }
}

TEST(ParallelRows, ThreadCapIsProcessWide) {
  SetRuntimeThreads(1);
  EXPECT_EQ(RuntimeThreads(), 1);
  EXPECT_EQ(WorkersFor(uint64_t(1) << 40), 1);
  SetRuntimeThreads(0);
  EXPECT_GE(RuntimeThreads(), 1);
  EXPECT_EQ(WorkersFor(100), 1);  // tiny jobs stay on the caller's thread
}
