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

void World::SetFineLandUse(TFineCell& fine, LandUseCode landUse) {
  fine.LandUse = landUse;
  if (Frontier.Built()) {
    Frontier.Update(ColumnOf(fine), RowOf(fine), landUse);
  }
}

FineFrontier& World::KeptFrontier() {
  if (!Frontier.Built() || Frontier.Free().Columns() != FineGrid.Columns() ||
      Frontier.Free().Rows() != FineGrid.Rows()) {
    Frontier.Build(FineGrid);
  }
  return Frontier;
}

bool World::FrontierMatchesGrid() const {
  if (!Frontier.Built()) {
    return true;
  }
  FineFrontier rescan;
  rescan.Build(FineGrid);
  return Frontier.SameCells(rescan);
}

int World::FineCentre(int fineIndex) const {
  const int coarse = fineIndex / 3;
  return CellCentre(coarse) + FineOffset(fineIndex - 3 * coarse - 1);
}

void World::DrawCell(Canvas& canvas, const TCell& cell) const {
  DrawCellSquare(canvas, cell.Color, CentreX(cell), CentreY(cell), CellSize / 2);
}

void World::DrawCell(Canvas& canvas, const TFineCell& fine) const {
  const int size = static_cast<int>(std::floor(CellSize / 2.0 / 3.0));
  DrawCellSquare(canvas, fine.Color, CentreX(fine), CentreY(fine), size);
}

}  // namespace veltmoor
