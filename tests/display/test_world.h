// A simulation over a hand-built world for the drawing tests: the grids laid out the way
// setup lays them out, nodes and segments placed directly, no growth process involved.
#pragma once

#include <memory>

#include "display/canvas.h"
#include "simulation/random_source.h"
#include "simulation/settings.h"
#include "simulation/simulation.h"

namespace veltmoor::testing {

template <typename Factory>
struct TestSimulation {
  MapSettings settings;
  RandomSource random{1};
  Factory factory;
  Simulation sim{settings, random, factory};
};

// Grids of `columns` x `rows` cells of `cellSize` pixels, everything white.
inline void BuildGrids(World& world, int cellSize, int columns, int rows) {
  world.CellSize = cellSize;
  world.ColumnCount = columns;
  world.RowCount = rows;
  world.CellGrid.Resize(columns, rows);
  world.FineGrid.Resize(3 * columns, 3 * rows);
  for (TCell& cell : world.CellGrid.Cells()) {
    cell.Color = colours::kWhite;
  }
  for (TFineCell& fine : world.FineGrid.Cells()) {
    fine.Color = colours::kWhite;
  }
}

inline TAgent& AddNode(World& world, int column, int row) {
  TCell& cell = world.CellGrid(column, row);
  cell.State = kStateNode;
  cell.NodeIndex = static_cast<int>(world.NodeList.size());
  auto node = std::make_unique<TAgent>();
  node->X = world.CentreX(cell);
  node->Y = world.CentreY(cell);
  node->Column = column;
  node->Row = row;
  world.NodeList.push_back(std::move(node));
  ++world.NodeCount;
  return *world.NodeList.back();
}

inline void Link(World& world, int a, int b) {
  world.Node(a).Links.push_back({b, 1});
  world.Node(b).Links.push_back({a, 1});
  ++world.EdgeCount;
}

}  // namespace veltmoor::testing
