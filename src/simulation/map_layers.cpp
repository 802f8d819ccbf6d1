#include "simulation/map_layers.h"

#include "simulation/world.h"

namespace veltmoor {

void MapLayers::Draw(const World& world, const TCell& cell) const {
  if (MapImage) {
    world.DrawCell(*MapImage, cell);
  }
}

void MapLayers::Draw(const World& world, const TFineCell& fine) const {
  if (FineImage) {
    world.DrawCell(*FineImage, fine);
  }
}

void MapLayers::Clear() {
  NodeLabelList.clear();
  MapImage.reset();
  AgentImage.reset();
  FineImage.reset();
  DragStartCell = nullptr;
  DragEndCell = nullptr;
}

}  // namespace veltmoor
