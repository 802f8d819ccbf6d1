#include "bench_world.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <stdexcept>

#include "analysis/periodic_analyses.h"
#include "display/null_canvas.h"
#include "growth/run_control.h"
#include "render/headless_app.h"
#include "render/qt_canvas.h"
#include "simulation/setup.h"
#include "views/map_sink.h"

namespace veltmoor::bench {

namespace {

std::unique_ptr<CanvasFactory> MakeCanvasFactory(CanvasKind kind) {
  if (kind == CanvasKind::Qt) {
    return std::make_unique<QtCanvasFactory>();
  }
  return std::make_unique<NullCanvasFactory>();
}

}  // namespace

std::unique_ptr<QGuiApplication> StartOffscreenGui(char* program_name) {
  return StartHeadlessApplication(program_name);
}

int RunBenchmarks(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

const char* CanvasName(CanvasKind kind) {
  return kind == CanvasKind::Qt ? "qt" : "null";
}

SettingName FieldTypeButton(const std::string& field_type) {
  static const std::map<std::string, SettingName> buttons = {{"network", setting::kNetworkOnly},
                                                             {"boom", setting::kBoom},
                                                             {"interlink", setting::kInterlink},
                                                             {"cluster", setting::kCluster}};
  const auto found = buttons.find(field_type);
  if (found == buttons.end()) {
    throw std::invalid_argument("unknown field type " + field_type);
  }
  return found->second;
}

BenchSimulation::BenchSimulation(WorldSize size, CanvasKind canvas, std::uint64_t seed)
    : random(seed), canvases(MakeCanvasFactory(canvas)), sim(settings, random, *canvases) {
  settings.Set(setting::kCellScale, std::to_string(size.cell_size));
  sim.map.PanelWidth = size.width;
  sim.map.PanelHeight = size.height;
  InstallPeriodicAnalyses(sim);
  InstallMapSink(sim);
}

void BenchSimulation::Start(const std::string& field_type) {
  settings.SetChecked(FieldTypeButton(field_type), true);
  NewSetup(sim);
  StartRun(sim);
}

long long BenchSimulation::Run(long long steps) {
  long long step = 0;
  for (; step < steps && sim.TimerEnabled; ++step) {
    SimulationStep(sim);
  }
  return step;
}

}  // namespace veltmoor::bench
