#include "simulation/setup.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "simulation/colour_scale.h"
#include "simulation/node_creation.h"
#include "simulation/numbers.h"
#include "simulation/resulting_force.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

namespace {

void CreateCellGrid(World& world) {
  world.CellGrid.Resize(world.ColumnCount, world.RowCount);
}

void ResetCells(World& world, const MapLayers& map) {
  for (TCell& cell : world.CellGrid.Cells()) {
    cell.Color = colours::kWhite;
    cell.Potential = 0.0f;
    cell.DevelopedCount = 0;
    cell.StreetCount = 0;
    cell.State = kStateFree;
    cell.LandUse = kLandFree;
    map.Draw(world, cell);
  }
}

// The nine fine cells of coarse cell (c, r), white, in the coarse cell's potential.
void CreateFineCellsOf(World& world, const MapLayers& map, int c, int r) {
  const TCell& coarse = world.CellGrid(c, r);
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      TFineCell& fine = world.FineGrid(3 * c + dx + 1, 3 * r + dy + 1);
      fine.Color = colours::kWhite;
      fine.Potential = coarse.Potential;
      fine.IsDeveloped = false;
      map.Draw(world, fine);
    }
  }
}

void CreateFineGrid(World& world, const MapLayers& map) {
  world.FineGrid.Resize(3 * world.ColumnCount, 3 * world.RowCount);
  for (int r = 0; r < world.RowCount; ++r) {
    for (int c = 0; c < world.ColumnCount; ++c) {
      CreateFineCellsOf(world, map, c, r);
    }
  }
}

void ResetCounters(World& world) {
  world.NodeCount = 0;
  world.TimeStep = 0;
  world.AnalysisCountdown = 0;
  world.EdgeCount = 0;
}

// Rows of the value list that a new world leaves without a value.
constexpr ValueKey kFractalValueKeys[] = {
    value_key::kGridDimension, value_key::kGridSlope,     value_key::kRadialDimension,
    value_key::kRadialSlope,   value_key::kNodeDimension, value_key::kNodeSlope,
    value_key::kEdgeDimension, value_key::kEdgeSlope,     value_key::kSegregation};

// Charts whose zoom a cleared world resets, and the series it empties.
constexpr chart::ChartName kChartsToUnzoom[] = {
    chart_name::kRadialFractal,    chart_name::kClusterSizes,  chart_name::kRankSize,
    chart_name::kDevelopedDensity, chart_name::kStreetDensity, chart_name::kPotentialConnectivity,
    chart_name::kPotentialDensity, chart_name::kEdgesPerNode,  chart_name::kGridFractal,
    chart_name::kSegregation,      chart_name::kFreeNeighbours};
constexpr chart::SeriesName kSeriesToClear[] = {series_name::kEdgeFractal,
                                                series_name::kNodeFractal,
                                                series_name::kDevelopedFractal,
                                                series_name::kClusterSizes,
                                                series_name::kRankSize,
                                                series_name::kRankSizeTrend,
                                                series_name::kDevelopedDensity,
                                                series_name::kBuildDensity,
                                                series_name::kStreetDensity,
                                                series_name::kPotentialConnectivity,
                                                series_name::kPotentialDensity,
                                                series_name::kEdgesPerNode,
                                                series_name::kGridFractal,
                                                series_name::kGridFractalTrend,
                                                series_name::kGridFractalCorrelation,
                                                series_name::kSegregationByStep,
                                                series_name::kRankSizeByStep,
                                                series_name::kFreeNeighbours,
                                                series_name::kEmptyShare,
                                                series_name::kStreetShare,
                                                series_name::kBuildShare,
                                                series_name::kFreeShare,
                                                series_name::kDevelopedShare,
                                                series_name::kBuildFreeRatio};

constexpr std::uint64_t kLayerCount = 3;
constexpr std::uint64_t kBytesPerPixel = 4;
// A cell, its nine fine cells and its scratch potential.
constexpr std::uint64_t kBytesPerCell = sizeof(TCell) + 9 * sizeof(TFineCell) + sizeof(float);

std::uint64_t LayerBytes(std::int64_t width, std::int64_t height) {
  return kLayerCount * kBytesPerPixel *
         static_cast<std::uint64_t>(std::max<std::int64_t>(width, 0)) *
         static_cast<std::uint64_t>(std::max<std::int64_t>(height, 0));
}

std::uint64_t CellCount(std::int64_t width, std::int64_t height, std::int64_t cell_size) {
  if (cell_size <= 0 || width <= 0 || height <= 0) {
    return 0;
  }
  return static_cast<std::uint64_t>(width / cell_size) *
         static_cast<std::uint64_t>(height / cell_size);
}

std::string InGiB(std::uint64_t bytes) {
  return FormatNumber(RoundTo2(static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0)));
}

}  // namespace

std::uint64_t WorldBytes(std::int64_t width, std::int64_t height, std::int64_t cell_size) {
  return LayerBytes(width, height) + CellCount(width, height, cell_size) * kBytesPerCell;
}

std::uint64_t MemoryBudget() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page_size = ::sysconf(_SC_PAGESIZE);
  std::uint64_t budget = pages > 0 && page_size > 0 ? static_cast<std::uint64_t>(pages) *
                                                          static_cast<std::uint64_t>(page_size)
                                                    : UINT64_MAX;
  for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
      budget = std::min<std::uint64_t>(budget, limit.rlim_cur);
    }
  }
  return budget;
}

void CheckWorldFits(std::int64_t width, std::int64_t height, std::int64_t cell_size,
                    std::uint64_t budget) {
  const std::uint64_t need = WorldBytes(width, height, cell_size);
  if (need <= budget) {
    return;
  }
  const std::uint64_t layers = LayerBytes(width, height);
  const std::uint64_t fitting = layers < budget ? (budget - layers) / kBytesPerCell : 0;
  throw WorldSizeError(
      "A world of " + std::to_string(width) + " x " + std::to_string(height) +
      " pixels with cells of " + std::to_string(cell_size) + " pixels (SE_cellScale) has " +
      std::to_string(CellCount(width, height, cell_size)) + " cells and needs " +
      std::to_string(need) + " bytes (" + InGiB(need) + " GiB), more than the " +
      std::to_string(budget) + " bytes (" + InGiB(budget) + " GiB) of memory there are; at most " +
      std::to_string(fitting) +
      " cells fit in this drawing area: choose a larger SE_cellScale or a smaller area.");
}

void CheckWorldFits(const Simulation& sim) {
  CheckWorldFits(sim.map.PanelWidth, sim.map.PanelHeight, sim.settings.Int(setting::kCellScale),
                 MemoryBudget());
}

void PlantCentreNode(Simulation& sim) {
  World& world = sim.world;
  if (world.ColumnCount > 0 && world.RowCount > 0) {
    CreateNode(sim.Growth(), world.CellGrid(RoundToInt(world.ColumnCount / 2.0),
                                            RoundToInt(world.RowCount / 2.0)));
  }
}

void BeginWorld(Simulation& sim) {
  World& world = sim.world;
  sim.map.CreateLayerImages(sim.canvases);
  world.Created = true;
  ResetCounters(world);

  world.CellSize = static_cast<std::int32_t>(sim.settings.Int(setting::kCellScale));
  world.ColumnCount = static_cast<std::int32_t>(
      std::floor(static_cast<double>(sim.map.MapImage->Width()) / world.CellSize));
  world.RowCount = static_cast<std::int32_t>(
      std::floor(static_cast<double>(sim.map.MapImage->Height()) / world.CellSize));

  world.NodeList.clear();
  world.CandidateList.clear();
  sim.map.NodeLabelList.clear();
  world.HwmCandidateList.clear();
  world.ClusterCandidateList.clear();
}

void EndWorld(Simulation& sim) {
  World& world = sim.world;
  sim.labels.Set(label::kNodeCount, "0");
  sim.labels.Set(label::kEdgeCount, "0");
  sim.labels.Set(label::kMeanLength, "ML");

  DrawGradientBar(sim);
  AdjustColourScale(sim);
  sim.charts.GetSeries(series_name::kEdgesPerNode).Clear();
  world.PotentialGrid.Resize(world.ColumnCount, world.RowCount);

  for (const ValueKey key : kFractalValueKeys) {
    sim.valueList.SetValue(key, "-");
  }
  ShowProportions(sim);
  ResetResultingForceCurve(sim);

  sim.labels.Set(label::kMoreThanOneNeighbour, "___");
  sim.labels.Set(label::kMoreThanTwoNeighbours, "___");
  sim.labels.Set(label::kMoreThanThreeNeighbours, "___");
}

void NewSetup(Simulation& sim) {
  CheckWorldFits(sim);
  World& world = sim.world;
  sim.random.ReseedFromClock();
  BeginWorld(sim);

  CreateCellGrid(world);
  ResetCells(world, sim.map);
  CreateFineGrid(world, sim.map);
  // Every cell is free and far from any node: nothing to find yet, and nothing to distrust.
  world.Frontier.Reset();
  world.Sites.Reset();
  world.Sites.Candidates.Resize(world.ColumnCount, world.RowCount);
  world.Sites.Trusted = true;

  if (sim.settings.Checked(setting::kCenterNode)) {
    PlantCentreNode(sim);
  }
  EndWorld(sim);
}

void ClearWorld(Simulation& sim) {
  World& world = sim.world;
  world.Created = false;
  world.CellGrid.Clear();
  world.EdgeMatrix.clear();
  world.PathMatrix.Clear();
  // The table forgets the distances with the paths; its headers and measures stay shown.
  sim.StringGrid1.ClearHopCells();
  world.FineGrid.Clear();
  world.NodeList.clear();
  world.NodeList.shrink_to_fit();
  world.CandidateList.clear();
  // The pictures, labels and drag cells go with the world they show; nothing may keep
  // pointing into the grids that are gone.
  sim.map.Clear();
  world.PotentialGrid.Clear();
  world.HwmCandidateList.clear();
  world.ClusterCandidateList.clear();
  world.Frontier.Reset();
  world.Sites.Reset();
  world.ClusterSizes.clear();
  world.NodeNeighbourhoods.clear();

  for (const chart::ChartName name : kChartsToUnzoom) {
    sim.charts.Get(name).UndoZoom();
  }
  for (const chart::SeriesName name : kSeriesToClear) {
    sim.charts.GetSeries(name).Clear();
  }
}

void B_setupClick(Simulation& sim) {
  CheckWorldFits(sim);
  ClearWorld(sim);
  NewSetup(sim);
}

}  // namespace veltmoor
