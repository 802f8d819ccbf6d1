// The simulation every veltmoor-batch command builds from its command line.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "batch/batch_options.h"
#include "display/canvas.h"
#include "geo/world_file.h"
#include "simulation/random_source.h"
#include "simulation/settings.h"
#include "simulation/simulation.h"

namespace veltmoor {

// A simulation with its services, built from a command's world options: the seed, the
// --set overrides, the drawing area, and Qt canvases only when a picture is wanted.
struct BatchSimulation {
  explicit BatchSimulation(const WorldOptions& options);

  MapSettings settings;
  RandomSource random;
  std::unique_ptr<CanvasFactory> canvases;
  std::unique_ptr<Simulation> sim;
  // Where the world lies, for worlds read from a georeferenced file or imported.
  std::optional<Georeference> georeference;
};

// Whether map.png of a drawing area this large is the bounded picture, drawn from the grids
// rather than the layers: a world that gets it needs no layer images at all.
bool DrawsBoundedPicture(bool full_picture, int width, int height);

// The bytes the simulation's next new world takes before it grows, as the check before every
// world counts them.
std::uint64_t WorldBytesOf(const BatchSimulation& batch);

}  // namespace veltmoor
