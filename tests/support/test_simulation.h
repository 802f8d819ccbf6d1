// A simulation with fixed seed and settings held in memory, for tests of the core.
#pragma once

#include <memory>

#include "analysis/periodic_analyses.h"
#include "display/null_canvas.h"
#include "simulation/random_source.h"
#include "simulation/settings.h"
#include "simulation/simulation.h"
#include "views/map_sink.h"

namespace veltmoor::testing {

struct TestSimulation {
  explicit TestSimulation(int width = 611, int height = 689,
                          std::unique_ptr<CanvasFactory> factory = nullptr)
      : random(42),
        canvases(factory ? std::move(factory) : std::make_unique<NullCanvasFactory>()),
        sim(settings, random, *canvases) {
    sim.map.PanelWidth = width;
    sim.map.PanelHeight = height;
    InstallPeriodicAnalyses(sim);
    InstallMapSink(sim);
  }
  // The simulation drawing on the canvases `factory` makes.
  explicit TestSimulation(std::unique_ptr<CanvasFactory> factory)
      : TestSimulation(611, 689, std::move(factory)) {}

  World& world() { return sim.world; }

  MapSettings settings;
  RandomSource random;
  std::unique_ptr<CanvasFactory> canvases;
  Simulation sim;
};

}  // namespace veltmoor::testing
