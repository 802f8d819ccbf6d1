// A simulation over a hand-built world for the drawing tests: the grids laid out the way
// setup lays them out, nodes and segments placed directly, no growth process involved.
#pragma once

#include <cmath>
#include <memory>

#include "display/canvas.h"
#include "simulation/numbers.h"
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

// Coarse cells centred at Floor(s/2) + c*s with half edge Floor(s/2); fine cells offset by
// Round(d * 0.33 * s) with half edge Floor(s/2/3); everything white.
inline void BuildGrids(World& world, int cellSize, int columns, int rows) {
  world.CellSize = cellSize;
  world.ColumnCount = columns;
  world.RowCount = rows;
  const int half = static_cast<int>(std::floor(cellSize / 2.0));
  const int fineHalf = static_cast<int>(std::floor(cellSize / 2.0 / 3.0));
  world.CellGrid.Resize(columns, rows);
  world.FineGrid.Resize(3 * columns, 3 * rows);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      TCell cell(half + c * cellSize, half + r * cellSize, half, 0);
      cell.Column = c;
      cell.Row = r;
      cell.Color = colours::kWhite;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          TCell fine(cell.X + RoundToInt(dx * 0.33 * cellSize),
                     cell.Y + RoundToInt(dy * 0.33 * cellSize), fineHalf, 0);
          fine.Column = 3 * c + 1 + dx;
          fine.Row = 3 * r + 1 + dy;
          fine.Color = colours::kWhite;
          world.FineGrid(fine.Column, fine.Row) = fine;
        }
      }
      world.CellGrid(c, r) = cell;
    }
  }
}

inline TAgent& AddNode(World& world, int column, int row) {
  TCell& cell = world.CellGrid(column, row);
  cell.State = kStateNode;
  cell.NodeIndex = static_cast<int>(world.NodeList.size());
  auto node = std::make_unique<TAgent>();
  node->X = cell.X;
  node->Y = cell.Y;
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
