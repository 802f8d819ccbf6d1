// Clusters of developed land: 4-connected groups of fine cells marked IsDeveloped, their
// sizes, and the rank-size rule fitted to them.
#pragma once

#include <cstdint>
#include <vector>

#include "chart/chart.h"
#include "simulation/grid.h"
#include "simulation/simulation.h"
#include "simulation/world.h"

namespace veltmoor {

// Clears ClusterVisited of every fine cell.
void ClearClusterMarks(World& world);

inline constexpr std::int32_t kNoCluster = -1;

// The clusters of the current IsDeveloped marks, numbered in the order their first cell
// comes up in a scan of rows (outer) and columns (inner): each fine cell's cluster
// (kNoCluster outside any) and the sizes indexed by cluster. Reads the world only.
// Cost: O(fine cells) time and memory.
struct ClusterMap {
  Grid2D<std::int32_t> index;
  std::vector<std::uint32_t> sizes;
};
ClusterMap ComputeClusters(const World& world);

// Writes the clusters into the fine cells: every member gets the cluster's ClusterIndex and
// ClusterSize and is marked ClusterVisited; every other cell gets ClusterIndex -1, loses the
// mark and keeps its old ClusterSize.
void MarkClusters(World& world, const ClusterMap& clusters);

// What ComputeClusters and MarkClusters leave, without the grid of their own; returns the
// sizes indexed by ClusterIndex.
std::vector<std::uint32_t> FindClusters(World& world);

// FindClusters, the sizes kept largest first in world.ClusterSizes, then the rank-size
// analysis of them. Requires ClassifyDevelopedCells on the current world.
// Cost: O(cells) time and memory (9 fine cells a cell), plus sorting the K sizes.
void LabelClusters(Simulation& sim);

// The clusters largest first: a bar for each above 10 cells, numbered from 0, and log size
// against log rank for all. `ClusterSizes` is sorted ascending.
struct RankSizePoints {
  std::vector<chart::Point> bars;
  std::vector<chart::Point> rank;
};
RankSizePoints ComputeRankSize(const std::vector<std::uint32_t>& ClusterSizes);

// Bars of the clusters above 10 cells, the log rank / log size points with their trend and
// correlation, the slope under "slope_rank", -slope in ser_RS and the Chart_rank title.
// `ClusterSizes` is sorted ascending.
void RankSizeAnalysis(Simulation& sim, const std::vector<std::uint32_t>& ClusterSizes);

// "show cluster": the cluster analysis, then the developed cells shown black on white.
// Does nothing in "network only".
void ShowClusters(Simulation& sim);

}  // namespace veltmoor
