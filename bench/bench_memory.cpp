// Memory of a large world: builds a boom world of WIDTH x HEIGHT pixels at cell size CELL,
// runs STEPS time steps on the null canvas (what veltmoor-batch run --no-picture does, without
// writing world.json) and prints the peak resident set per fine cell, next to the bytes the
// grids themselves take. One world per process, so the peak is this world's alone.
//   usage: bench_memory [WIDTH HEIGHT CELL STEPS]   (default 1000 1000 1 2)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_world.h"
#include "simulation/setup.h"

namespace {

double PeakResidentBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) * 1024.0;  // Linux reports KiB
}

// Processor time of this process so far: on a busy machine the wall clock says little.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int Argument(int argc, char** argv, int index, int fallback) {
  return argc > index ? std::atoi(argv[index]) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace veltmoor;
  const bench::WorldSize size{Argument(argc, argv, 1, 1000), Argument(argc, argv, 2, 1000),
                              Argument(argc, argv, 3, 1)};
  const int steps = Argument(argc, argv, 4, 2);
  const double before = PeakResidentBytes();

  bench::BenchSimulation world(size, bench::CanvasKind::Null);
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = CpuSeconds();
  world.Start("boom");
  const double afterSetup = PeakResidentBytes();
  const auto setupDone = std::chrono::steady_clock::now();
  const double cpuSetup = CpuSeconds();
  const long long ran = world.Run(steps);
  const auto end = std::chrono::steady_clock::now();
  const double cpuEnd = CpuSeconds();
  const double peak = PeakResidentBytes();

  const double fine = world.FineCellCount();
  const World& w = world.sim.world;
  const double grids = static_cast<double>(w.CellGrid.Cells().size() * sizeof(TCell) +
                                           w.FineGrid.Cells().size() * sizeof(TFineCell) +
                                           w.PotentialGrid.Cells().size() * sizeof(float));
  const double layers = 3.0 * 4.0 * size.width * size.height;
  std::printf("world %d x %d px, cell size %d: %.0f fine cells, %lld boom steps\n", size.width,
              size.height, size.cell_size, fine, ran);
  std::printf("  grids (cells, fine cells, scratch potential): %.2f B per fine cell\n",
              grids / fine);
  std::printf("  peak RSS %.0f MB: %.2f B per fine cell (%.2f B above the process start)\n",
              peak / 1e6, peak / fine, (peak - before) / fine);
  std::printf("  peak RSS after setup %.0f MB: %.2f B per fine cell\n", afterSetup / 1e6,
              afterSetup / fine);
  std::printf(
      "  map layers with pictures (3 x 4 B per pixel, not allocated here): %.2f B per "
      "fine cell\n",
      layers / fine);
  std::printf(
      "  setup %.1f s (%.1f s processor), %.2f s per step (%.2f s processor); "
      "WorldBytes estimate %.0f MB\n",
      std::chrono::duration<double>(setupDone - start).count(), cpuSetup - cpuStart,
      ran > 0 ? std::chrono::duration<double>(end - setupDone).count() / ran : 0.0,
      ran > 0 ? (cpuEnd - cpuSetup) / ran : 0.0,
      static_cast<double>(WorldBytes(size.width, size.height, size.cell_size)) / 1e6);
  return 0;
}
