#include "analysis/cluster.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "analysis/analysis_values.h"
#include "analysis/segregation.h"
#include "simulation/window_outputs.h"
#include "views/layers.h"

namespace veltmoor {

namespace {

// The four edge neighbours in the program's order: below, above, right, left.
constexpr std::pair<int, int> kNeighbourOffsets[] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}};

// Clusters up to this size are too small for a bar of their own.
constexpr std::uint32_t kLargestWithoutBar = 10;

// The labels go into the fine cells' own ClusterIndex, which needs no memory beyond the grid
// in a town of millions of fine cells.
struct CellLabels {
  Grid2D<TFineCell>& cells;
  bool Unclaimed(int column, int row) const {
    return cells(column, row).ClusterIndex == kNoCluster;
  }
  void Claim(int column, int row, std::int32_t k) {
    TFineCell& cell = cells(column, row);
    cell.ClusterIndex = k;
    cell.ClusterVisited = true;
  }
};

// A developed fine cell not yet in a cluster.
bool Claimable(const World& world, const CellLabels& labels, int column, int row) {
  if (!world.InFineGrid(column, row)) {
    return false;
  }
  return world.FineGrid(column, row).IsDeveloped && labels.Unclaimed(column, row);
}

// Grows cluster k from its seed. One cluster may cover the whole fine grid, so the cells
// still to expand wait on an explicit stack instead of the call stack.
void FillCluster(const World& world, CellLabels& labels, std::uint32_t& size, int seedColumn,
                 int seedRow, std::int32_t k, std::vector<std::pair<int, int>>& pending) {
  pending.assign(1, {seedColumn, seedRow});
  while (!pending.empty()) {
    const auto [column, row] = pending.back();
    pending.pop_back();
    for (const auto& [dc, dr] : kNeighbourOffsets) {
      const int c = column + dc;
      const int r = row + dr;
      if (Claimable(world, labels, c, r)) {
        labels.Claim(c, r, k);
        ++size;
        pending.emplace_back(c, r);
      }
    }
  }
}

// Numbers the clusters in `labels`, which start all unclaimed; returns their sizes.
std::vector<std::uint32_t> NumberClusters(const World& world, CellLabels& labels) {
  std::vector<std::uint32_t> sizes;
  std::vector<std::pair<int, int>> pending;
  const int columns = 3 * world.ColumnCount;
  const int rows = 3 * world.RowCount;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      if (!Claimable(world, labels, c, r)) {
        continue;
      }
      const auto k = static_cast<std::int32_t>(sizes.size());
      sizes.push_back(1);
      labels.Claim(c, r, k);
      FillCluster(world, labels, sizes.back(), c, r, k, pending);
    }
  }
  return sizes;
}

// Slope of the least-squares line through log size against log rank: the trend runs from
// rank 1 (x = 0) to rank n (x = log10 n).
float RankSizeSlope(const chart::Series& trend, std::size_t n) {
  if (n <= 1 || trend.Count() < 2) {
    return 0.0f;
  }
  const long double rise = static_cast<long double>(trend.YValue(1)) - trend.YValue(0);
  return static_cast<float>(rise / std::log10(static_cast<long double>(n)));
}

}  // namespace

void ClearClusterMarks(World& world) {
  for (TFineCell& cell : world.FineGrid.Cells()) {
    cell.ClusterVisited = false;
  }
}

std::vector<std::uint32_t> FindClusters(World& world) {
  for (TFineCell& cell : world.FineGrid.Cells()) {
    cell.ClusterVisited = false;
    cell.ClusterIndex = kNoCluster;
  }
  CellLabels labels{world.FineGrid};
  std::vector<std::uint32_t> sizes = NumberClusters(world, labels);
  for (TFineCell& cell : world.FineGrid.Cells()) {
    if (cell.ClusterIndex != kNoCluster) {
      cell.ClusterSize =
          static_cast<std::int32_t>(sizes[static_cast<std::size_t>(cell.ClusterIndex)]);
    }
  }
  return sizes;
}

RankSizePoints ComputeRankSize(const std::vector<std::uint32_t>& ClusterSizes) {
  RankSizePoints points;
  const std::size_t n = ClusterSizes.size();
  for (std::size_t a = n; a-- > 0;) {
    const std::uint32_t size = ClusterSizes[a];
    if (size > kLargestWithoutBar) {
      points.bars.push_back({static_cast<double>(points.bars.size()), static_cast<double>(size)});
    }
    const auto logRank = static_cast<double>(std::log10(static_cast<long double>(n - a)));
    const auto logSize = static_cast<float>(std::log10(static_cast<long double>(size)));
    points.rank.push_back({logRank, static_cast<double>(logSize)});
  }
  return points;
}

void LabelClusters(Simulation& sim) {
  std::vector<std::uint32_t> sizes = FindClusters(sim.world);
  std::sort(sizes.begin(), sizes.end());
  sim.world.ClusterSizes.assign(sizes.rbegin(), sizes.rend());
  RankSizeAnalysis(sim, sizes);
}

void RankSizeAnalysis(Simulation& sim, const std::vector<std::uint32_t>& ClusterSizes) {
  sim.charts.Get(chart_name::kClusterSizes).UndoZoom();
  sim.charts.Get(chart_name::kRankSize).UndoZoom();
  for (const chart::SeriesName name :
       {series_name::kClusterSizes, series_name::kRankSize, series_name::kRankSizeTrend}) {
    sim.charts.GetSeries(name).Clear();
  }
  const RankSizePoints points = ComputeRankSize(ClusterSizes);
  ShowPoints(sim.charts.GetSeries(series_name::kClusterSizes), points.bars);
  ShowPoints(sim.charts.GetSeries(series_name::kRankSize), points.rank);

  const float rSquared =
      SquaredCorrelation(sim.charts.GetSeries(series_name::kRankSizeCorrelation));
  chart::Series& trend = sim.charts.GetSeries(series_name::kRankSizeTrend);
  trend.Recompute();
  const float slope = RankSizeSlope(trend, ClusterSizes.size());

  // 0 - slope rather than -slope: no cluster or one cluster must chart as 0, not -0.
  sim.charts.GetSeries(series_name::kRankSizeByStep)
      .Add(static_cast<double>(sim.world.TimeStep), 0.0 - static_cast<double>(slope));
  ShowMeasure(sim.valueList, value_key::kRankSlope, slope);
  sim.charts.Get(chart_name::kRankSize)
      .SetTitle("Rank-Size (RS) : r² = " + ShownValue(rSquared) + "; slope = " + ShownValue(slope));
}

void ShowClusters(Simulation& sim) {
  if (sim.world.FieldType == kFieldNetworkOnly) {
    return;
  }
  ClassifyDevelopedCells(sim.world);
  LabelClusters(sim);
  ShowDevelopedMask(sim);
}

}  // namespace veltmoor
