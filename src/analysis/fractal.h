// Fractal dimensions of the grown town: box counting of developed land over ever finer
// tilings of the fine grid, and radial counts of developed land and of street segments
// around the town's centre, each fitted on log-log axes.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "chart/chart.h"
#include "simulation/grid.h"

#include "simulation/simulation.h"
#include "simulation/world.h"

namespace veltmoor {

struct FineCellPosition {
  int Column = 0;
  int Row = 0;
  bool operator==(const FineCellPosition&) const = default;
};

// A log-log family: its points (log scale, log quantity) and the mean of log quantity / log
// scale over the points whose scale is above 1; none without such a point.
struct LogLogPoints {
  std::vector<chart::Point> points;
  std::optional<float> meanRatio;
};

// Box counting of the developed land of the last classification: the occupied tiles of the
// n x n tilings on log-log axes, the whole map as one tile (the origin) first when there is
// developed land, and the 8 x 8 tile counts the index of segregation is taken from when the
// tilings reach 8. Reads the world only.
struct GridFractal {
  LogLogPoints family;
  std::optional<TDreierArray> segregationTiles;
};
GridFractal ComputeGridFractal(const World& world);

// Counts the tiles holding developed land for n x n tilings, n = 2, 3, ... until a tile is
// narrower than a sixth of a cell (at least one cell), into ser_DGrid, "D_grid",
// "slope_grid" and the chart title. The 8 x 8 tiling also updates the index of segregation.
// Without developed land there is nothing to fit: the series stays empty and the values
// read "-".
// Cost: O(cells + F³) time, F ≈ 6 × ColumnCount the finest tiling; O(cells + F²) memory.
void GridAnalysis(Simulation& sim);

// One TEdge per linked pair of nodes, keyed by the lower index first, with the segment's
// midpoint and length; a second segment between the same two nodes adds nothing.
void BuildEdgeMatrix(World& world);

// The node with the smallest mean path length, read back from the ML column of the
// connectivity table as last filled; the lower index wins ties. Rows without a value (a
// table not filled for these nodes) take no part; 0 when no row qualifies.
int FindCentralNode(const Simulation& sim);

// Mean column and row of the developed land (LandUse 2), rounded; none without such land.
std::optional<FineCellPosition> CentreOfGravity(const World& world);

// The radial counts around `centre` for radii of 1, 2, ... fine-cell widths up to the
// nearest border: developed fine cells of the last classification, and the segments of the
// edge matrix (as BuildEdgeMatrix left it) around the node `centralNode`, counted and
// measured; no segments without a central node. Reads the world only.
struct RadialFractal {
  int radii = 0;
  LogLogPoints developed;
  LogLogPoints segments;
  LogLogPoints lengths;
};
RadialFractal ComputeRadialFractal(const World& world, FineCellPosition centre,
                                   std::optional<std::size_t> centralNode);

// Developed fine cells around the centre (the middle of the map, or the centre of gravity
// when "center gravity" is ticked) and street segments around the central node, counted
// for radii of 1, 2, ... fine-cell widths up to the nearest border, into the Chart_fractal
// series, its title and six value rows. A family without points shows "-" for all its
// values, and one with a single point "-" for its slope and r².
void RadialAnalysis(Simulation& sim);

// "fractal A.": all paths, the connectivity table and the degree histogram, the structure
// analysis while a development field type is active, then the radial and grid analyses.
void Button4Click(Simulation& sim, unsigned path_threads = 0);

}  // namespace veltmoor
