// Worlds for the benchmarks: a simulation with a fixed seed, settings held in memory and the
// canvas of choice, and the field types by the names veltmoor-batch knows them.
#pragma once

#include <QGuiApplication>
#include <cstdint>
#include <memory>
#include <string>

#include "display/canvas.h"
#include "simulation/random_source.h"
#include "simulation/settings.h"
#include "simulation/simulation.h"

namespace veltmoor::bench {

constexpr std::uint64_t kSeed = 20240601;

enum class CanvasKind { Null, Qt };

const char* CanvasName(CanvasKind kind);

// The radio button behind "network", "boom", "interlink" or "cluster".
SettingName FieldTypeButton(const std::string& field_type);

struct WorldSize {
  int width = 611;
  int height = 689;
  int cell_size = 24;
};

class BenchSimulation {
 public:
  BenchSimulation(WorldSize size, CanvasKind canvas, std::uint64_t seed = kSeed);

  // Ticks the field type's radio button, builds the world and switches the timer on.
  void Start(const std::string& field_type);
  // Runs up to `steps` time steps, fewer when the run stops itself; returns how many ran.
  long long Run(long long steps);

  int FineCellCount() const { return 9 * sim.world.ColumnCount * sim.world.RowCount; }

  MapSettings settings;
  RandomSource random;
  std::unique_ptr<CanvasFactory> canvases;
  Simulation sim;
};

// The application object the Qt canvas needs for its fonts, on the offscreen platform unless
// QT_QPA_PLATFORM names another; Qt's start-up chatter is kept out of the benchmark output.
std::unique_ptr<QGuiApplication> StartOffscreenGui(char* program_name);

// Google Benchmark's main with the benchmarks registered so far.
int RunBenchmarks(int argc, char** argv);

}  // namespace veltmoor::bench
