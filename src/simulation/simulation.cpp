#include "simulation/simulation.h"

#include "simulation/window_outputs.h"

namespace veltmoor {

Simulation::Simulation(const SettingsSource& settings_source, RandomSource& random_source,
                       CanvasFactory& canvas_factory)
    : settings(settings_source), random(random_source), canvases(canvas_factory) {
  CreateSimulationOutputs(labels, valueList, charts);
  ImageGradient = canvases.Create(35, 161);
}

GrowthContext Simulation::Growth() {
  return GrowthContext{world, settings, random, *sink, forceTerms, &rows, TimerEnabled};
}

}  // namespace veltmoor
