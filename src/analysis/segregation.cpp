#include "analysis/segregation.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "analysis/analysis_values.h"
#include "analysis/cluster.h"
#include "growth/potential_field.h"
#include "simulation/numbers.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

namespace {

// Sums and quotients run in extended precision like every intermediate result.
using Real = long double;

constexpr const char* kUndefined = "-";

bool ClassifyFineCell(const World& world, TFineCell& fine, int column, int row) {
  switch (fine.LandUse) {
    case kLandDeveloped:
      fine.IsDeveloped = true;
      break;
    case kLandStreet:
      fine.IsDeveloped = HasDevelopedNeighbour(world, column, row);
      break;
    case kLandFree:
      fine.IsDeveloped = false;
      break;
    default:
      return false;  // an unknown use keeps its mark and is left out of the totals
  }
  return true;
}

}  // namespace

std::optional<SegregationResult> ComputeSegregation(const World& world,
                                                    const TDreierArray& counts) {
  if (world.FineCellTotals[0] == 0 || world.FineCellTotals[1] == 0) {
    return std::nullopt;
  }
  const Real t[2] = {static_cast<Real>(world.FineCellTotals[0]),
                     static_cast<Real>(world.FineCellTotals[1])};
  const Real area = Real{9} * world.RowCount * world.ColumnCount;
  SegregationResult result;
  for (int b = 0; b < counts.Size1(); ++b) {
    for (int a = 0; a < counts.Size2(); ++a) {
      const Real c[2] = {static_cast<Real>(counts(b, a, 0)), static_cast<Real>(counts(b, a, 1))};
      result.Diss += std::fabs(c[0] / t[0] * 100 - c[1] / t[1] * 100);
      for (int i = 0; i < 2; ++i) {
        result.Seg[i] += std::fabs(c[i] / t[i] * 100 - c[1 - i] / (area - t[i]) * 100);
      }
    }
  }
  result.Diss *= Real{0.5};
  for (Real& seg : result.Seg) {
    seg = seg * Real{0.5} / 100;
  }
  return result;
}

namespace {

void WriteSegregation(Simulation& sim, const SegregationResult& result) {
  TextGrid& grid = sim.DissimiGrid;
  grid.SetCell(1, 1, "0");
  grid.SetCell(2, 1, ShownValue(result.Diss));
  grid.SetCell(2, 2, "0");
  grid.SetCell(1, 3, ShownValue(result.Seg[0]));
  grid.SetCell(2, 3, ShownValue(result.Seg[1]));
  ShowMeasure(sim.valueList, value_key::kSegregation, result.Seg[1]);
  sim.charts.GetSeries(series_name::kSegregationByStep)
      .Add(static_cast<double>(sim.world.TimeStep), static_cast<double>(result.Seg[1]));
}

// With all land in one category the shares divide by zero: there is no index to show or to
// chart, and a dash says so where the value would stand.
void WriteUndefinedSegregation(Simulation& sim) {
  for (const auto& [column, row] : {std::pair{1, 1}, {2, 1}, {2, 2}, {1, 3}, {2, 3}}) {
    sim.DissimiGrid.SetCell(column, row, kUndefined);
  }
  sim.valueList.SetValue(value_key::kSegregation, kUndefined);
}

}  // namespace

void ClassifyDevelopedCells(World& world) {
  for (TCell& cell : world.CellGrid.Cells()) {
    cell.IsDevelopedCount = 0;
  }
  world.FineCellTotals = {0, 0};
  for (int r = 0; r < 3 * world.RowCount; ++r) {
    for (int c = 0; c < 3 * world.ColumnCount; ++c) {
      TFineCell& fine = world.FineGrid(c, r);
      if (ClassifyFineCell(world, fine, c, r)) {
        ++world.FineCellTotals[fine.IsDeveloped ? 1 : 0];
      }
      if (fine.IsDeveloped) {
        ++world.CellGrid(c / 3, r / 3).IsDevelopedCount;
      }
    }
  }
}

std::vector<int> TileBounds(int lineCount, int n) {
  if (n < 1) {
    return {};
  }
  std::vector<int> bounds(static_cast<std::size_t>(n) + 1);
  const Real width = static_cast<Real>(lineCount - 1) / n;
  for (int k = 0; k <= n; ++k) {
    // Rounded in extended precision: a bound such as 18.5 must meet the tie rule exactly.
    bounds[static_cast<std::size_t>(k)] = RoundToInt(width * k);
    if (k < n) {
      --bounds[static_cast<std::size_t>(k)];
    }
  }
  return bounds;
}

DevelopedCellSums::DevelopedCellSums(const World& world)
    : sums_(3 * world.ColumnCount + 1, 3 * world.RowCount + 1) {
  for (int r = 0; r < Rows(); ++r) {
    std::uint32_t rowSoFar = 0;
    for (int c = 0; c < Columns(); ++c) {
      rowSoFar += world.FineGrid(c, r).IsDeveloped ? 1 : 0;
      sums_(c + 1, r + 1) = sums_(c + 1, r) + rowSoFar;
    }
  }
}

std::uint32_t DevelopedCellSums::Developed(int firstColumn, int lastColumn, int firstRow,
                                           int lastRow) const {
  // Unsigned arithmetic wraps, so the difference is exact even where a partial sum is not.
  return sums_(lastColumn + 1, lastRow + 1) - sums_(firstColumn, lastRow + 1) -
         sums_(lastColumn + 1, firstRow) + sums_(firstColumn, firstRow);
}

void CountTiles(const DevelopedCellSums& sums, TDreierArray& counts, int n) {
  n = std::max(n, 0);
  counts.Resize(n, n, 2);
  // Without fine cells the bounds would reach outside the grid; every tile stays empty.
  if (n == 0 || sums.Columns() == 0 || sums.Rows() == 0) {
    return;
  }
  const std::vector<int> colBound = TileBounds(sums.Columns(), n);
  const std::vector<int> rowBound = TileBounds(sums.Rows(), n);
  for (int a = 0; a < n; ++a) {
    const int height = rowBound[a + 1] - rowBound[a];
    for (int b = 0; b < n; ++b) {
      const auto cells = static_cast<std::uint32_t>((colBound[b + 1] - colBound[b]) * height);
      const std::uint32_t developed =
          sums.Developed(colBound[b] + 1, colBound[b + 1], rowBound[a] + 1, rowBound[a + 1]);
      counts(b, a, 0) = cells - developed;
      counts(b, a, 1) = developed;
    }
  }
}

void CountTiles(const World& world, TDreierArray& counts, int n) {
  n = std::max(n, 0);
  counts.Resize(n, n, 2);
  const int columns = world.FineGrid.Columns();
  const int rows = world.FineGrid.Rows();
  if (n == 0 || columns == 0 || rows == 0) {
    return;
  }
  // The tiles cover the grid without gaps, so each line belongs to exactly one of them.
  auto tileOfLine = [n](int lineCount) {
    const std::vector<int> bounds = TileBounds(lineCount, n);
    std::vector<int> tile(static_cast<std::size_t>(lineCount));
    for (int t = 0; t < n; ++t) {
      for (int line = bounds[t] + 1; line <= bounds[t + 1]; ++line) {
        tile[static_cast<std::size_t>(line)] = t;
      }
    }
    return tile;
  };
  const std::vector<int> tileOfColumn = tileOfLine(columns);
  const std::vector<int> tileOfRow = tileOfLine(rows);
  for (int r = 0; r < rows; ++r) {
    const int a = tileOfRow[static_cast<std::size_t>(r)];
    for (int c = 0; c < columns; ++c) {
      ++counts(tileOfColumn[static_cast<std::size_t>(c)], a,
               world.FineGrid(c, r).IsDeveloped ? 1 : 0);
    }
  }
}

namespace {

void IndexFromEightTiles(Simulation& sim, const TDreierArray& counts, int n) {
  if (n == kSegregationTiles) {
    SegregationIndex(sim, counts);
  }
}

}  // namespace

void PartitionClassifiedGrid(Simulation& sim, const DevelopedCellSums& sums, TDreierArray& counts,
                             int n) {
  CountTiles(sums, counts, n);
  IndexFromEightTiles(sim, counts, n);
}

void PartitionFineGrid(Simulation& sim, TDreierArray& counts, int n) {
  ClassifyDevelopedCells(sim.world);
  // One tiling needs no table of sums the size of the fine grid.
  CountTiles(sim.world, counts, n);
  IndexFromEightTiles(sim, counts, n);
}

void SegregationIndex(Simulation& sim, const TDreierArray& counts) {
  ClearClusterMarks(sim.world);
  if (const std::optional<SegregationResult> result = ComputeSegregation(sim.world, counts)) {
    WriteSegregation(sim, *result);
  } else {
    WriteUndefinedSegregation(sim);
  }
}

void PeriodicSegregation(Simulation& sim) {
  TDreierArray counts;
  PartitionFineGrid(sim, counts, kSegregationTiles);
}

}  // namespace veltmoor
