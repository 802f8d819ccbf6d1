// Time steps per second of each field type on the default world, with the canvas that draws
// nothing and with the Qt canvas, the cost of boom's steps against the number of fine cells
// on two large worlds, and one boom step with its candidates found by rescanning the grids
// against the same step with them kept up to date; and the cost of a uniform draw.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>

#include "bench_world.h"
#include "simulation/candidate_bookkeeping.h"
#include "simulation/random_source.h"

namespace veltmoor::bench {

namespace {

constexpr long long kDefaultSteps = 500;
constexpr long long kLargeSteps = 200;

// The two large worlds, cell size 6: 300 x 166 cells and a quarter of that.
constexpr WorldSize kLargeWorld{1800, 1000, 6};
constexpr WorldSize kQuarterWorld{900, 500, 6};

// Every iteration grows the same world from the same seed; only the steps are timed.
void StepRun(benchmark::State& state, const std::string& field_type, CanvasKind canvas,
             WorldSize size, long long steps) {
  long long stepsRun = 0;
  int fineCells = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto bench = std::make_unique<BenchSimulation>(size, canvas);
    bench->Start(field_type);
    fineCells = bench->FineCellCount();
    state.ResumeTiming();
    stepsRun += bench->Run(steps);
    state.PauseTiming();
    bench.reset();
    state.ResumeTiming();
  }
  using benchmark::Counter;
  state.counters["steps_per_s"] = Counter(static_cast<double>(stepsRun), Counter::kIsRate);
  state.counters["steps"] = Counter(static_cast<double>(stepsRun), Counter::kAvgIterations);
  state.counters["fine_cells"] = fineCells;
  // Seconds per step and fine cell: flat across world sizes means linear scaling.
  state.counters["s_per_step_cell"] =
      Counter(static_cast<double>(stepsRun) * fineCells, Counter::kIsRate | Counter::kInvert);
}

// A boom town grown with kept candidates for `warmUp` steps, then `timed` steps timed with
// the candidates kept or rescanned; both follow the same seeded run, step for step.
struct StepCase {
  WorldSize size;
  long long warmUp;
  long long timed;
};

void BoomStep(benchmark::State& state, StepCase c, bool rescan) {
  long long stepsRun = 0;
  double fineCells = 0;
  double frontierCells = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto bench = std::make_unique<BenchSimulation>(c.size, CanvasKind::Null);
    bench->Start("boom");
    bench->Run(c.warmUp);
    bench->sim.world.RescanGrids = rescan;
    fineCells = bench->FineCellCount();
    state.ResumeTiming();
    stepsRun += bench->Run(c.timed);
    state.PauseTiming();
    // The free fine cells beside used land, where the frontier walk spends its time.
    FineFrontier frontier;
    frontier.Build(bench->sim.world.FineGrid);
    std::size_t count = 0;
    frontier.Frontier().ForEachSet([&count](std::size_t) { ++count; });
    frontierCells = static_cast<double>(count);
    bench.reset();
    state.ResumeTiming();
  }
  using benchmark::Counter;
  state.counters["steps"] = Counter(static_cast<double>(stepsRun), Counter::kAvgIterations);
  state.counters["fine_cells"] = fineCells;
  state.counters["frontier"] = frontierCells;
  state.counters["s_per_step"] =
      Counter(static_cast<double>(stepsRun), Counter::kIsRate | Counter::kInvert);
  state.counters["s_per_step_cell"] =
      Counter(static_cast<double>(stepsRun) * fineCells, Counter::kIsRate | Counter::kInvert);
  state.counters["s_per_step_frontier"] =
      Counter(static_cast<double>(stepsRun) * frontierCells, Counter::kIsRate | Counter::kInvert);
}

void RegisterBoomSteps() {
  // 112 050, 448 200, 998 001 and 9 000 000 fine cells. At cell size 1 no developed land
  // reaches the development threshold, so the run ends with its cluster rounds: steps 1 and
  // 2, which score every free fine cell, are the ones timed there.
  const StepCase cases[] = {{{900, 500, 6}, 40, 20},
                            {{1800, 1000, 6}, 40, 10},
                            {{1000, 1000, 3}, 30, 5},
                            {{1000, 1000, 1}, 1, 2}};
  for (const StepCase& c : cases) {
    for (bool rescan : {true, false}) {
      const std::string name = "BoomStep/" + std::to_string(c.size.width) + "x" +
                               std::to_string(c.size.height) + "/cell" +
                               std::to_string(c.size.cell_size) + (rescan ? "/rescan" : "/kept");
      benchmark::RegisterBenchmark(name.c_str(), BoomStep, c, rescan)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime()
          ->Iterations(1);
    }
  }
}

// The uniform numbers the cluster rounds draw, two per free fine cell and round: the
// standard engine against the program's own, one at a time and through a cursor.
constexpr std::int64_t kDraws = 10'000'000;

void DrawsStandard(benchmark::State& state) {
  std::mt19937_64 engine(5);
  for (auto _ : state) {
    double sum = 0.0;
    for (std::int64_t i = 0; i < kDraws; ++i) {
      sum += static_cast<double>(engine() >> 11) * 0x1.0p-53;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDraws);
}

void DrawsOwn(benchmark::State& state) {
  RandomSource random(5);
  for (auto _ : state) {
    double sum = 0.0;
    for (std::int64_t i = 0; i < kDraws; ++i) {
      sum += random.Random();
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDraws);
}

void DrawsCursor(benchmark::State& state) {
  RandomSource random(5);
  for (auto _ : state) {
    RandomSource::Cursor draws(random);
    double sum = 0.0;
    for (std::int64_t i = 0; i < kDraws; ++i) {
      sum += draws.Random();
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDraws);
}

void RegisterDraws() {
  benchmark::RegisterBenchmark("Draws/std_mt19937_64", DrawsStandard)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Draws/RandomSource", DrawsOwn)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Draws/RandomSource_Cursor", DrawsCursor)
      ->Unit(benchmark::kMillisecond);
}

void RegisterDefaultWorld() {
  for (const char* field_type : {"network", "boom", "interlink", "cluster"}) {
    for (CanvasKind canvas : {CanvasKind::Null, CanvasKind::Qt}) {
      const std::string name =
          std::string("Growth/default/") + field_type + "/" + CanvasName(canvas);
      benchmark::RegisterBenchmark(name.c_str(), StepRun, field_type, canvas, WorldSize{},
                                   kDefaultSteps)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime()
          ->MinTime(2.0);
    }
  }
}

void RegisterLargeWorlds() {
  for (WorldSize size : {kQuarterWorld, kLargeWorld}) {
    const std::string name =
        "Growth/large/boom/null/" + std::to_string(size.width) + "x" + std::to_string(size.height);
    benchmark::RegisterBenchmark(name.c_str(), StepRun, "boom", CanvasKind::Null, size, kLargeSteps)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1);
  }
}

}  // namespace

}  // namespace veltmoor::bench

int main(int argc, char** argv) {
  const auto gui = veltmoor::bench::StartOffscreenGui(argv[0]);
  veltmoor::bench::RegisterDefaultWorld();
  veltmoor::bench::RegisterLargeWorlds();
  veltmoor::bench::RegisterBoomSteps();
  veltmoor::bench::RegisterDraws();
  return veltmoor::bench::RunBenchmarks(argc, argv);
}
