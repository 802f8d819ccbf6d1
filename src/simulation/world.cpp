#include "simulation/world.h"

#include <cmath>

#include "simulation/numbers.h"

namespace veltmoor {

int World::PixelToColumn(int x) const {
  return static_cast<int>(std::floor(static_cast<double>(x) / CellSize));
}

int World::PixelToRow(int y) const {
  return static_cast<int>(std::floor(static_cast<double>(y) / CellSize));
}

// The fine pitch is a real third of the cell size, so fine columns do not line up with
// whole pixels when CellSize is not a multiple of three.
int World::PixelToFineColumn(int x) const {
  return static_cast<int>(std::floor(x / (CellSize / 3.0)));
}

int World::PixelToFineRow(int y) const {
  return static_cast<int>(std::floor(y / (CellSize / 3.0)));
}

int World::CellCentre(int index) const {
  return CellSize / 2 + index * CellSize;
}

int World::FineOffset(int d) const {
  return RoundToInt(d * 0.33 * CellSize);
}

void World::SetFineLandUse(TCell& fine, std::int32_t landUse) {
  fine.LandUse = landUse;
  if (Frontier.Built()) {
    Frontier.Update(fine.Column, fine.Row, landUse == kLandFree);
  }
}

}  // namespace veltmoor
