#include "analysis/fractal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "analysis/ConnTable.h"
#include "analysis/analysis_values.h"
#include "analysis/dijkstra.h"
#include "analysis/segregation.h"
#include "analysis/structure_analysis.h"
#include "simulation/node_creation.h"
#include "simulation/numbers.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

namespace {

// Logarithms and quotients run in extended precision like every intermediate result.
using Real = long double;

constexpr const char* kUndefined = "-";
constexpr float kNoCentralNodeYet = 1000000000.0f;

std::string Shown(std::optional<float> value) {
  return value ? ShownValue(static_cast<double>(*value)) : std::string(kUndefined);
}

// The value as ShownValue takes it: through double, the way Shown rounds it.
std::optional<long double> Widened(std::optional<float> value) {
  if (!value) {
    return std::nullopt;
  }
  return static_cast<double>(*value);
}

// r² of a fitted series; a single point has no line through it to correlate with.
std::optional<float> FittedSquaredCorrelation(const chart::Series& data, chart::Series& corr) {
  corr.Recompute();
  if (data.Count() < 2) {
    return std::nullopt;
  }
  return SquaredCorrelation(corr);
}

// Points of a log-log family and the mean of log(quantity) / log(scale) over them. A zero
// quantity has no logarithm, so it adds no point; a scale of 1 or less (a radius of a pixel
// or less) gives no meaningful ratio (log 1 = 0 would divide by zero), so its point stays
// out of the mean.
struct LogLogFamily {
  std::vector<chart::Point> points;
  float ratioSum = 0.0f;
  int ratioTerms = 0;

  void Add(Real scale, Real quantity) {
    if (scale <= 0 || quantity <= 0) {
      return;
    }
    const Real logScale = std::log10(scale);
    const Real logQuantity = std::log10(quantity);
    points.push_back({static_cast<double>(logScale), static_cast<double>(logQuantity)});
    if (logScale > 0) {
      ratioSum = static_cast<float>(ratioSum + logQuantity / logScale);
      ++ratioTerms;
    }
  }

  std::optional<float> MeanRatio() const {
    if (ratioTerms == 0) {
      return std::nullopt;
    }
    return static_cast<float>(static_cast<Real>(ratioSum) / ratioTerms);
  }

  LogLogPoints Result() const { return {points, MeanRatio()}; }
};

// ---- grid analysis ----

struct GridLevel {
  int n = 0;
  std::uint32_t occupied = 0;
};

std::uint32_t OccupiedTiles(const TDreierArray& counts) {
  std::uint32_t occupied = 0;
  for (int b = 0; b < counts.Size1(); ++b) {
    for (int a = 0; a < counts.Size2(); ++a) {
      occupied += counts(b, a, 1) != 0 ? 1 : 0;
    }
  }
  return occupied;
}

// The side in coarse cells of an n x n tile.
int TileSide(const World& world, int n) {
  return std::min(RoundToInt(static_cast<double>(world.RowCount) / n),
                  RoundToInt(static_cast<double>(world.ColumnCount) / n));
}

// The last n analysed: the first whose tile side falls below a sixth of a cell.
int FinestTiling(const World& world) {
  // With cells of three pixels or fewer the sixth of a cell rounds to nothing, every side
  // would pass and the tiling would never end: a tile stays at least one cell wide.
  const int minSide = std::max(1, RoundToInt(world.CellSize / 6.0));
  int n = 2;
  while (TileSide(world, n) >= minSide) {
    ++n;
  }
  return n;
}

// The occupied tiles of every tiling, and the 8 x 8 counts when the tilings reach 8.
struct TileCounts {
  std::vector<GridLevel> levels;
  std::optional<TDreierArray> segregationTiles;
};

TileCounts CountOccupiedTiles(const World& world) {
  const int finest = FinestTiling(world);
  // The land stands still while the levels are counted: one table of sums serves every
  // tiling.
  const DevelopedCellSums sums(world);
  // Sized for the finest tiling first, the array keeps its storage through all the others
  // instead of growing anew at every level.
  TDreierArray counts;
  counts.Resize(finest, finest, 2);
  TileCounts result;
  for (int n = 2; n <= finest; ++n) {
    CountTiles(sums, counts, n);
    if (n == kSegregationTiles) {
      result.segregationTiles = counts;
    }
    result.levels.push_back({n, OccupiedTiles(counts)});
  }
  return result;
}

// Rise over run of a trend line; none when the line has no extent to measure it over.
std::optional<float> TrendSlope(const chart::Series& trend) {
  if (trend.Count() < 2 || trend.XValue(1) == trend.XValue(0)) {
    return std::nullopt;
  }
  const Real rise = static_cast<Real>(trend.YValue(1)) - trend.YValue(0);
  return static_cast<float>(rise / (static_cast<Real>(trend.XValue(1)) - trend.XValue(0)));
}

// ---- radial analysis ----

struct RadialCounts {
  Real radius = 0;
  int segments = 0;   // segments whose midpoint lies within the radius of the central node
  float length = 0;   // their total length
  int developed = 0;  // developed fine cells within the radius of the centre cell
};

// The edges in the order the radial count scans the matrix: by NodeB, then by NodeA.
std::vector<TEdge> EdgesInScanOrder(const World& world) {
  std::vector<TEdge> edges;
  edges.reserve(world.EdgeMatrix.size());
  for (const auto& entry : world.EdgeMatrix) {
    edges.push_back(entry.second);
  }
  std::sort(edges.begin(), edges.end(), [](const TEdge& a, const TEdge& b) {
    return std::pair(a.NodeB, a.NodeA) < std::pair(b.NodeB, b.NodeA);
  });
  return edges;
}

// Distances of the developed fine cells from the centre, ascending, so that each radius
// counts them by a search instead of a scan of the whole fine grid.
std::vector<int> DevelopedDistances(const World& world, const TFineCell& centre) {
  const int x = world.CentreX(centre);
  const int y = world.CentreY(centre);
  std::vector<int> distances;
  for (int r = 0; r < 3 * world.RowCount; ++r) {
    for (int c = 0; c < 3 * world.ColumnCount; ++c) {
      const TFineCell& fine = world.FineGrid(c, r);
      if (fine.IsDeveloped) {
        distances.push_back(PixelDistance(world.FineCentre(c), world.FineCentre(r), x, y));
      }
    }
  }
  std::sort(distances.begin(), distances.end());
  return distances;
}

// Whole-pixel distances compare with a radius through their float values, as the lengths
// and radii are held.
bool WithinRadius(int distance, Real radius) {
  return static_cast<float>(distance) <= radius;
}

std::vector<RadialCounts> CountWithinRadii(const World& world, const TAgent* centralNode,
                                           const TFineCell& centre, int radii) {
  struct MeasuredEdge {
    int distance;
    float length;
  };
  std::vector<MeasuredEdge> edges;
  if (centralNode != nullptr) {
    for (const TEdge& e : EdgesInScanOrder(world)) {
      edges.push_back({PixelDistance(centralNode->X, centralNode->Y, e.MidX, e.MidY), e.Length});
    }
  }
  const std::vector<int> developed = DevelopedDistances(world, centre);

  std::vector<RadialCounts> counts;
  for (int k = 1; k <= radii; ++k) {
    RadialCounts c;
    c.radius = static_cast<float>(k * (static_cast<Real>(world.CellSize) / 3));
    for (const MeasuredEdge& e : edges) {
      if (WithinRadius(e.distance, c.radius)) {
        ++c.segments;
        c.length += e.length;
      }
    }
    const auto beyond = std::partition_point(developed.begin(), developed.end(),
                                             [&](int d) { return WithinRadius(d, c.radius); });
    c.developed = static_cast<int>(beyond - developed.begin());
    counts.push_back(c);
  }
  return counts;
}

FineCellPosition MapCentre(const World& world) {
  return {RoundToInt(3.0 * world.ColumnCount / 2), RoundToInt(3.0 * world.RowCount / 2)};
}

FineCellPosition RadialCentre(const Simulation& sim) {
  if (sim.settings.Checked(setting::kCenterGravity)) {
    // Without developed land there is no centre of gravity; the map's middle stands in.
    if (const std::optional<FineCellPosition> gravity = CentreOfGravity(sim.world)) {
      return *gravity;
    }
  }
  return MapCentre(sim.world);
}

// Fine-cell widths from the centre to the nearest border; none for a centre off the grid.
int RadiusCount(const World& world, FineCellPosition centre) {
  if (!world.InFineGrid(centre.Column, centre.Row)) {
    return 0;
  }
  return std::min({centre.Column, centre.Row, 3 * world.ColumnCount - centre.Column,
                   3 * world.RowCount - centre.Row});
}

struct RadialFamily {
  chart::SeriesName data;
  chart::SeriesName trend;
  chart::SeriesName correlation;
  ValueKey dimensionKey;
  ValueKey slopeKey;
};

constexpr RadialFamily kDevelopedFamily{series_name::kDevelopedFractal,
                                        series_name::kDevelopedFractalTrend,
                                        series_name::kDevelopedFractalCorrelation,
                                        value_key::kRadialDimension, value_key::kRadialSlope};
constexpr RadialFamily kSegmentFamily{series_name::kNodeFractal, series_name::kNodeFractalTrend,
                                      series_name::kNodeFractalCorrelation,
                                      value_key::kNodeDimension, value_key::kNodeSlope};
constexpr RadialFamily kLengthFamily{series_name::kEdgeFractal, series_name::kEdgeFractalTrend,
                                     series_name::kEdgeFractalCorrelation,
                                     value_key::kEdgeDimension, value_key::kEdgeSlope};

// Charts one family and writes its two value rows; returns its r².
std::optional<float> ShowRadialFamily(Simulation& sim, const RadialFamily& family,
                                      const LogLogPoints& values, int radii) {
  chart::Series& data = sim.charts.GetSeries(family.data);
  chart::Series& trend = sim.charts.GetSeries(family.trend);
  ShowPoints(data, values.points);
  trend.Recompute();
  const std::optional<float> r2 =
      FittedSquaredCorrelation(data, sim.charts.GetSeries(family.correlation));
  // The rise is taken over the log distance from the first radius to the last, log10 K;
  // two points need two radii, so K > 1 there.
  std::optional<float> slope;
  if (data.Count() >= 2 && trend.Count() >= 2) {
    const Real rise = static_cast<Real>(trend.YValue(1)) - trend.YValue(0);
    slope = static_cast<float>(rise / std::log10(static_cast<Real>(radii)));
  }
  ShowMeasure(sim.valueList, family.dimensionKey, Widened(values.meanRatio));
  ShowMeasure(sim.valueList, family.slopeKey, Widened(slope));
  return r2;
}

}  // namespace

GridFractal ComputeGridFractal(const World& world) {
  TileCounts tiles = CountOccupiedTiles(world);
  LogLogFamily family;
  for (const GridLevel& level : tiles.levels) {
    family.Add(level.n, level.occupied);
  }
  // The origin stands for the whole map as one occupied tile; it joins the fit but not the
  // mean, and only when there is developed land for it to stand for.
  if (!family.points.empty()) {
    family.points.insert(family.points.begin(), chart::Point{0.0, 0.0});
  }
  return {family.Result(), std::move(tiles.segregationTiles)};
}

void GridAnalysis(Simulation& sim) {
  chart::Chart& chart = sim.charts.Get(chart_name::kGridFractal);
  chart.UndoZoom();
  ClassifyDevelopedCells(sim.world);
  const GridFractal grid = ComputeGridFractal(sim.world);
  if (grid.segregationTiles) {
    SegregationIndex(sim, *grid.segregationTiles);
  }
  ShowPoints(sim.charts.GetSeries(series_name::kGridFractal), grid.family.points);

  chart::Series& trend = sim.charts.GetSeries(series_name::kGridFractalTrend);
  trend.Recompute();
  const std::optional<float> r2 =
      FittedSquaredCorrelation(sim.charts.GetSeries(series_name::kGridFractal),
                               sim.charts.GetSeries(series_name::kGridFractalCorrelation));
  ShowMeasure(sim.valueList, value_key::kGridDimension, Widened(grid.family.meanRatio));
  ShowMeasure(sim.valueList, value_key::kGridSlope, Widened(TrendSlope(trend)));
  chart.SetTitle("Fractal Grid Analysis, r²_grid = " + Shown(r2));
}

void BuildEdgeMatrix(World& world) {
  world.EdgeMatrix.clear();
  const auto nodeCount = static_cast<std::int32_t>(world.NodeList.size());
  for (std::int32_t i = 0; i < nodeCount; ++i) {
    const TAgent& a = world.Node(static_cast<std::size_t>(i));
    for (const LinkEntry& link : a.Links) {
      const std::int32_t j = link.OtherNode;
      if (j < 0 || j >= nodeCount || world.EdgeMatrix.contains({j, i})) {
        continue;
      }
      const TAgent& b = world.Node(static_cast<std::size_t>(j));
      TEdge edge;
      edge.NodeA = i;
      edge.NodeB = j;
      edge.MidX = a.X + RoundToInt((b.X - a.X) / 2.0);
      edge.MidY = a.Y + RoundToInt((b.Y - a.Y) / 2.0);
      edge.Length = static_cast<float>(PixelDistance(a.X, a.Y, b.X, b.Y));
      world.EdgeMatrix[{i, j}] = edge;
    }
  }
}

int FindCentralNode(const Simulation& sim) {
  const int rows =
      std::min(static_cast<int>(sim.world.NodeList.size()), sim.StringGrid1.NodeRows());
  float best = kNoCentralNodeYet;
  int central = 0;
  for (int i = 0; i < rows; ++i) {
    const std::string text = sim.StringGrid1.MLText(i);
    if (text.empty()) {
      continue;
    }
    float ml = 0.0f;
    try {
      ml = static_cast<float>(ParseDecimal(text));
    } catch (const ConversionError&) {
      continue;
    }
    if (ml < best) {
      best = ml;
      central = i;
    }
  }
  return central;
}

std::optional<FineCellPosition> CentreOfGravity(const World& world) {
  long long columns = 0;
  long long rows = 0;
  long long cells = 0;
  for (int r = 0; r < 3 * world.RowCount; ++r) {
    for (int c = 0; c < 3 * world.ColumnCount; ++c) {
      if (world.FineGrid(c, r).LandUse == kLandDeveloped) {
        columns += c;
        rows += r;
        ++cells;
      }
    }
  }
  if (cells == 0) {
    return std::nullopt;
  }
  return FineCellPosition{RoundToInt(static_cast<Real>(columns) / cells),
                          RoundToInt(static_cast<Real>(rows) / cells)};
}

RadialFractal ComputeRadialFractal(const World& world, FineCellPosition centre,
                                   std::optional<std::size_t> centralNode) {
  RadialFractal result;
  result.radii = RadiusCount(world, centre);
  if (result.radii <= 0) {
    return result;
  }
  const TAgent* node = centralNode ? &world.Node(*centralNode) : nullptr;
  LogLogFamily developed;
  LogLogFamily segments;
  LogLogFamily lengths;
  const TFineCell& z = world.FineGrid(centre.Column, centre.Row);
  for (const RadialCounts& c : CountWithinRadii(world, node, z, result.radii)) {
    developed.Add(c.radius, c.developed);
    segments.Add(c.radius, c.segments);
    lengths.Add(c.radius, c.length);
  }
  result.developed = developed.Result();
  result.segments = segments.Result();
  result.lengths = lengths.Result();
  return result;
}

void RadialAnalysis(Simulation& sim) {
  World& world = sim.world;
  ClassifyDevelopedCells(world);
  BuildEdgeMatrix(world);

  // The segments are measured from the node with the shortest mean path; without nodes
  // there are no segments to measure.
  std::optional<std::size_t> centralNode;
  if (!world.NodeList.empty()) {
    centralNode = static_cast<std::size_t>(FindCentralNode(sim));
  }
  const RadialFractal radial = ComputeRadialFractal(world, RadialCentre(sim), centralNode);

  const std::optional<float> r2Dev =
      ShowRadialFamily(sim, kDevelopedFamily, radial.developed, radial.radii);
  const std::optional<float> r2Node =
      ShowRadialFamily(sim, kSegmentFamily, radial.segments, radial.radii);
  const std::optional<float> r2Edge =
      ShowRadialFamily(sim, kLengthFamily, radial.lengths, radial.radii);
  sim.charts.Get(chart_name::kRadialFractal)
      .SetTitle("Fractal Radial Analysis, r²_dev = " + Shown(r2Dev) +
                ", r²_node = " + Shown(r2Node) + ", r²_edge = " + Shown(r2Edge));
}

void Button4Click(Simulation& sim, unsigned path_threads) {
  ComputeAllPaths(sim, path_threads);
  FillConnectivityTable(sim);
  ShowDegreeHistogram(sim);
  if (sim.world.FieldType > kFieldNetworkOnly) {
    StructureAnalysis(sim);
  }
  RadialAnalysis(sim);
  GridAnalysis(sim);
}

}  // namespace veltmoor
