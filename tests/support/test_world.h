// A hand-built world for tests: the grids laid out the way setup lays them out, nodes and
// segments placed directly, land uses set directly, no growth process involved.
#pragma once

#include <memory>
#include <vector>

#include "display/null_canvas.h"
#include "simulation/simulation.h"
#include "support/test_simulation.h"

namespace veltmoor::testing {

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

// A node on the cell, marked as the cell's node.
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

// A segment recorded at both ends, without a street on the map.
inline void Link(World& world, int a, int b) {
  world.Node(static_cast<std::size_t>(a)).Links.push_back({b, 1});
  world.Node(static_cast<std::size_t>(b)).Links.push_back({a, 1});
  ++world.EdgeCount;
}

// A simulation over a hand-built world of columns x rows cells of 24 pixels, for tests that
// work on land uses and nodes rather than on pictures.
struct TestWorld {
  TestWorld(int columns, int rows) {
    BuildGrids(world(), 24, columns, rows);
    t.sim.map.FineImage = std::make_unique<NullCanvas>(24 * columns, 24 * rows);
  }

  World& world() { return t.sim.world; }
  Simulation& sim() { return t.sim; }
  TFineCell& Fine(int c, int r) { return world().FineGrid(c, r); }
  TCell& Coarse(int c, int r) { return world().CellGrid(c, r); }

  void Develop(int c, int r) {
    Fine(c, r).LandUse = kLandDeveloped;
    ++Coarse(c / 3, r / 3).DevelopedCount;
  }
  void Street(int c, int r) {
    Fine(c, r).LandUse = kLandStreet;
    ++Coarse(c / 3, r / 3).StreetCount;
  }
  void DevelopBlock(int c0, int r0, int columns, int rows) {
    for (int r = r0; r < r0 + rows; ++r) {
      for (int c = c0; c < c0 + columns; ++c) {
        Develop(c, r);
      }
    }
  }

  TAgent& AddNode(int column, int row, float measure = 0.0f) {
    TAgent& node = testing::AddNode(world(), column, row);
    node.Measure = measure;
    return node;
  }

  std::vector<chart::Point> PointsOf(chart::SeriesName series) {
    return sim().charts.GetSeries(series).Points();
  }

  TestSimulation t;
};

}  // namespace veltmoor::testing
