#include "batch/world_load.h"

#include <utility>
#include <vector>

namespace veltmoor {

std::unique_ptr<BatchSimulation> LoadBatchWorld(const std::string& path, WorldOptions& options) {
  WorldDocument document = ReadWorldFile(path);
  std::vector<std::string> sets = document.SettingTexts();
  sets.insert(sets.end(), options.sets.begin(), options.sets.end());
  options.sets = std::move(sets);
  options.width = document.width;
  options.height = document.height;
  // The saved generator continues unless another seed asks for a fresh stream.
  const bool reseed = options.seed && options.seed != document.seed;
  if (!options.seed) {
    options.seed = document.seed;
  }
  auto batch = std::make_unique<BatchSimulation>(options);
  batch->georeference = document.georeference;
  // The grids move into the world rather than being copied: a large world is held once.
  RestoreWorld(std::move(document), *batch->sim);
  if (reseed) {
    batch->random.SetFixedSeed(*options.seed);
  }
  return batch;
}

}  // namespace veltmoor
