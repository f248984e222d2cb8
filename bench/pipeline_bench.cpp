// The loading pipeline alone, without JSON: reads the file, runs the
// pipeline on it and prints the seconds it took (best of N runs).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/memory.h"
#include "base/stream.h"
#include "views/pipeline.h"

int main(int argc, char** argv) {
  tarvo::ReserveHugePageHeap();  // as the program does
  if (argc < 2) {
    std::fprintf(stderr, "usage: pipeline_bench FILE [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 1;
  double best = 1e9;
  std::size_t lines = 0;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    tarvo::TMailViews views;
    tarvo::LoadMailFile(argv[1], views);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    best = std::min(best, s);
    lines = views.Memo3.Count();
  }
  std::printf("%.3f %zu\n", best, lines);
  return 0;
}
