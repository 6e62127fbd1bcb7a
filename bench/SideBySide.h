// Timing two sides of a comparison in one run: rounds alternate which side goes
// first, so both meet the same machine, and the best time of each side counts.
// Prints the `bench <name> ratio=... target=...` line of `make bench`.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

namespace bench {

inline double Seconds(const std::function<void()>& run) {
  auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// True when ours / anchor stays within the target.
inline bool Compare(const char* name, const std::function<void()>& ours,
                    const std::function<void()>& anchor, double target, int rounds = 7) {
  double best[2] = {1e9, 1e9};
  ours();  // warm the caches and the modules
  anchor();
  for (int round = 0; round < rounds; ++round) {
    if (round % 2) {
      best[1] = std::min(best[1], Seconds(anchor));
      best[0] = std::min(best[0], Seconds(ours));
    } else {
      best[0] = std::min(best[0], Seconds(ours));
      best[1] = std::min(best[1], Seconds(anchor));
    }
  }
  double ratio = best[0] / best[1];
  std::printf("bench %s ratio=%.3f target=%.2f\n", name, ratio, target);
  std::fprintf(stderr, "  %s: ours %.1f ms, anchor %.1f ms\n", name, best[0] * 1e3, best[1] * 1e3);
  return ratio <= target;
}

// The same line against an anchor timed elsewhere (another process, say): the best
// of `rounds` runs of ours over the anchor's seconds.
inline bool CompareToTime(const char* name, const std::function<void()>& ours, double anchorSeconds,
                          double target, int rounds = 3) {
  double best = 1e9;
  for (int round = 0; round < rounds; ++round) best = std::min(best, Seconds(ours));
  double ratio = best / anchorSeconds;
  std::printf("bench %s ratio=%.3f target=%.2f\n", name, ratio, target);
  std::fprintf(stderr, "  %s: ours %.1f ms, anchor %.1f ms\n", name, best * 1e3,
               anchorSeconds * 1e3);
  return ratio <= target;
}

}  // namespace bench
