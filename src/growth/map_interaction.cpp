#include "growth/map_interaction.h"

#include <algorithm>
#include <functional>

#include "growth/street_growth.h"
#include "simulation/node_creation.h"

namespace veltmoor {

namespace {

// The mouse works only on a built world with at least one cell; before the first setup or
// after the world was freed there is nothing to edit (and no cell size to divide by).
bool HasGrid(const World& world) {
  return world.Exists() && world.ColumnCount > 0 && world.RowCount > 0 &&
         world.CellGrid.Columns() == world.ColumnCount && world.CellGrid.Rows() == world.RowCount;
}

// The coarse cell under a panel pixel, or null in the margin and off the panel.
TCell* CellAt(World& world, int x, int y) {
  if (!HasGrid(world)) {
    return nullptr;
  }
  const int column = world.PixelToColumn(x);
  const int row = world.PixelToRow(y);
  return world.InGrid(column, row) ? &world.CellGrid(column, row) : nullptr;
}

// A press recorded in a world that has since been rebuilt must not be followed.
bool BelongsToGrid(const World& world, const TCell* cell) {
  const auto& cells = world.CellGrid.Cells();
  if (cell == nullptr || cells.empty()) {
    return false;
  }
  return !std::less<const TCell*>()(cell, cells.data()) &&
         std::less<const TCell*>()(cell, cells.data() + cells.size());
}

void PlantOrLayStreet(Simulation& sim, TCell& cell) {
  MapLayers& map = sim.map;
  map.DragEndCell = &cell;
  if (map.DragStartCell == &cell) {
    CreateNode(sim.Growth(), cell);
  } else if (BelongsToGrid(sim.world, map.DragStartCell)) {
    BuildStraightStreet(sim.Growth(), *map.DragStartCell, cell);
    sim.sink->StreetsChanged(sim.world);
  }
}

// The fine cell under (x, y). The real-valued fine pitch can put a pixel on the very edge
// of a coarse cell into the neighbour's fine column, so the result is kept in `cell`.
TFineCell& FineCellAt(World& world, const TCell& cell, int x, int y) {
  const int left = 3 * world.ColumnOf(cell);
  const int top = 3 * world.RowOf(cell);
  const int column = std::clamp(world.PixelToFineColumn(x), left, left + 2);
  const int row = std::clamp(world.PixelToFineRow(y), top, top + 2);
  return world.FineGrid(column, row);
}

// Developing by hand counts every click, whatever the fine cell held before.
void DevelopByHand(Simulation& sim, TCell& cell, int x, int y) {
  World& world = sim.world;
  TFineCell& fine = FineCellAt(world, cell, x, y);
  world.SetFineLandUse(fine, kLandDeveloped);
  fine.Color = colours::kBlue;
  sim.sink->CellChanged(world, fine);
  ++cell.DevelopedCount;
  cell.LandUse = kLandDeveloped;
}

}  // namespace

void Panel_PaintMouseDown(Simulation& sim, MouseButton /*button*/, int x, int y) {
  sim.map.DragStartCell = CellAt(sim.world, x, y);
}

void Panel_PaintMouseUp(Simulation& sim, MouseButton button, int x, int y) {
  TCell* cell = CellAt(sim.world, x, y);
  if (cell == nullptr) {
    return;
  }
  switch (button) {
    case MouseButton::Left:
      PlantOrLayStreet(sim, *cell);
      break;
    case MouseButton::Right:
      DevelopByHand(sim, *cell, x, y);
      break;
    case MouseButton::Other:
      break;
  }
}

}  // namespace veltmoor
