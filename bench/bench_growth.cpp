// Time steps per second of each field type on the default world, with the canvas that draws
// nothing and with the Qt canvas, and the cost of boom's steps against the number of fine
// cells on two large worlds.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench_world.h"

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
  return veltmoor::bench::RunBenchmarks(argc, argv);
}
