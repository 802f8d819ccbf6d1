// A hand-built world for the structure-analysis tests: coarse and fine cells laid out with
// their indices, land uses set directly, no growth process involved.
#pragma once

#include <memory>
#include <vector>

#include "display/null_canvas.h"
#include "support/test_simulation.h"

namespace veltmoor::testing {

struct AnalysisWorld {
  AnalysisWorld(int columns, int rows) {
    World& w = world();
    w.ColumnCount = columns;
    w.RowCount = rows;
    w.CellGrid.Resize(columns, rows);
    w.FineGrid.Resize(3 * columns, 3 * rows);
    for (TFineCell& fine : w.FineGrid.Cells()) {
      fine.Color = colours::kWhite;
    }
    w.FineImage = std::make_unique<NullCanvas>(24 * columns, 24 * rows);
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
    auto node = std::make_unique<TAgent>();
    node->Column = column;
    node->Row = row;
    node->Measure = measure;
    world().NodeList.push_back(std::move(node));
    ++world().NodeCount;
    return *world().NodeList.back();
  }

  std::vector<chart::Point> PointsOf(const char* series) {
    return sim().charts.GetSeries(series).Points();
  }

  TestSimulation t;
};

}  // namespace veltmoor::testing
