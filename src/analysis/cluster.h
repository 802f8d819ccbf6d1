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

// Numbers the clusters of the current IsDeveloped marks in the order their first cell comes
// up in a scan of rows (outer) and columns (inner): every member gets the cluster's
// ClusterIndex and ClusterSize and is marked ClusterVisited; every other cell gets
// ClusterIndex -1, loses the mark and keeps its old ClusterSize, which the building rules
// read. Returns the sizes indexed by ClusterIndex.
// Cost: O(fine cells) time; no memory beyond the pending cells of one cluster.
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
