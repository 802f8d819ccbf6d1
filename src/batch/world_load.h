// Saved worlds as veltmoor-batch continues them.
#pragma once

#include <memory>
#include <string>

#include "batch/batch_options.h"
#include "batch/batch_simulation.h"

namespace veltmoor {

// The world saved in `path`, ready to run on: the file's settings with options.sets on
// top, its seed unless options.seed gives one, its drawing area and random generator.
// Fills options.seed, width and height with what the world uses. Throws WorldFileError
// for a file that is not a sound world and UsageError for a bad --set.
std::unique_ptr<BatchSimulation> LoadBatchWorld(const std::string& path, WorldOptions& options);

}  // namespace veltmoor
