#include "growth/building_rules.h"

#include <array>
#include <cstddef>
#include <string>

#include "simulation/numbers.h"
#include "simulation/random_source.h"
#include "simulation/settings.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

namespace {

// Clusters of four fine cells or fewer are too small to hold both built and open land, so
// neither rule touches them.
constexpr int kLargestUntouchedCluster = 4;

bool InLargeCluster(const TFineCell& cell) {
  return cell.ClusterSize > kLargestUntouchedCluster;
}

bool IsBuildAt(const World& world, int column, int row) {
  return world.InFineGrid(column, row) && world.FineGrid(column, row).SubState == kSubBuild;
}

void SetSubState(const World& world, GrowthSink& sink, TFineCell& cell, SubStateCode subState,
                 Colour colour) {
  cell.SubState = subState;
  cell.Color = colour;
  sink.CellChanged(world, cell);
}

// The four thresholds gen A..D, read once per sweep.
struct BuildingRule {
  int A = 0;
  int B = 0;
  int C = 0;
  int D = 0;
};

BuildingRule ReadRule(const SettingsSource& settings) {
  return {static_cast<int>(settings.Int(setting::kGenA)),
          static_cast<int>(settings.Int(setting::kGenB)),
          static_cast<int>(settings.Int(setting::kGenC)),
          static_cast<int>(settings.Int(setting::kGenD))};
}

// Applies the rule to one cell with n build neighbours.
void ApplyRuleToCell(const World& world, GrowthSink& sink, TFineCell& cell,
                     const BuildingRule& rule, int n) {
  if (cell.SubState == kSubBuild) {
    if (n >= rule.A || n <= rule.B) {
      SetSubState(world, sink, cell, kSubOpen, colours::kLime);
    }
  } else if (cell.SubState == kSubOpen) {
    if (rule.C <= n && n <= rule.D) {
      SetSubState(world, sink, cell, kSubBuild, colours::kBlue);
    }
  }
}

// What one sweep over the fine grid found.
struct SubStateCounts {
  long long empty = 0;
  long long street = 0;
  long long build = 0;
  long long open = 0;
  long long developed = 0;
  // Build cells by their number of build neighbours among the four.
  std::array<long long, 5> byBuildNeighbours{};
};

SubStateCounts CountSubStates(const World& world) {
  SubStateCounts counts;
  const Grid2D<TFineCell>& fine = world.FineGrid;
  for (int r = 0; r < fine.Rows(); ++r) {
    for (int c = 0; c < fine.Columns(); ++c) {
      const TFineCell& cell = fine(c, r);
      switch (cell.SubState) {
        case kSubNone:
          ++counts.empty;
          break;
        case kSubStreet:
          ++counts.street;
          break;
        case kSubBuild:
          ++counts.build;
          ++counts.byBuildNeighbours[static_cast<std::size_t>(BuildCount4(world, c, r))];
          break;
        case kSubOpen:
          ++counts.open;
          break;
        default:
          break;
      }
      if (cell.LandUse == kLandDeveloped) {
        ++counts.developed;
      }
    }
  }
  return counts;
}

void AddLinePoints(const World& world, GrowthSink& sink, const SubStateCounts& counts,
                   double total) {
  // An empty grid has no shares; a point of 0/0 would poison the chart's scaling.
  if (total <= 0) {
    return;
  }
  const double x = world.TimeStep;
  const auto add = [&](chart::SeriesName series, double y) { sink.AddPoint(series, x, y); };
  add(series_name::kEmptyShare, static_cast<double>(counts.empty) / total);
  add(series_name::kStreetShare, static_cast<double>(counts.street) / total);
  add(series_name::kDevelopedShare, static_cast<double>(counts.developed) / total);
  add(series_name::kBuildShare, static_cast<double>(counts.build) / total);
  add(series_name::kFreeShare, static_cast<double>(counts.open) / total);
  // Open cells outside developed land cannot arise from the rules, but a hand-edited world
  // could hold some; the ratio then stays at 1 rather than running off to infinity.
  const bool hasRatio = counts.open > 0 && counts.developed > 0;
  add(series_name::kBuildFreeRatio,
      hasRatio ? 1.0 - static_cast<double>(counts.open) / static_cast<double>(counts.developed)
               : 1.0);
}

void AddNeighbourHistogram(GrowthSink& sink, const SubStateCounts& counts) {
  for (std::size_t k = 0; k < counts.byBuildNeighbours.size(); ++k) {
    sink.AddPoint(series_name::kFreeNeighbours, static_cast<double>(k),
                  static_cast<double>(counts.byBuildNeighbours[k]));
  }
}

// Share of build cells in percent; with no build cell there is no share to speak of.
std::string PercentOfBuild(long long part, long long build) {
  if (build == 0) {
    return FormatInt(0);
  }
  return FormatInt(RoundToInt(100.0 * static_cast<double>(part) / static_cast<double>(build)));
}

void WriteNeighbourLabels(GrowthSink& sink, const SubStateCounts& counts) {
  const auto& h = counts.byBuildNeighbours;
  sink.Label(label::kMoreThanOneNeighbour, PercentOfBuild(h[2] + h[3] + h[4], counts.build));
  sink.Label(label::kMoreThanTwoNeighbours, PercentOfBuild(h[3] + h[4], counts.build));
  sink.Label(label::kMoreThanThreeNeighbours, PercentOfBuild(h[4], counts.build));
}

}  // namespace

int BuildCount8(const World& world, int column, int row) {
  int count = 0;
  for (int r = row - 1; r <= row + 1; ++r) {
    for (int c = column - 1; c <= column + 1; ++c) {
      if (IsBuildAt(world, c, r)) {
        ++count;
      }
    }
  }
  if (IsBuildAt(world, column, row)) {
    --count;
  }
  return count;
}

int BuildCount4(const World& world, int column, int row) {
  return static_cast<int>(IsBuildAt(world, column, row + 1)) +
         static_cast<int>(IsBuildAt(world, column, row - 1)) +
         static_cast<int>(IsBuildAt(world, column + 1, row)) +
         static_cast<int>(IsBuildAt(world, column - 1, row));
}

void ApplyBuildingRules(const GrowthContext& growth) {
  World& world = growth.world;
  const BuildingRule rule = ReadRule(growth.settings);
  Grid2D<TFineCell>& fine = world.FineGrid;
  // In place: a cell sees the sub-types its predecessors in this sweep have just taken.
  GrowthSink& sink = growth.sink;
  auto apply = [&world, &sink, &fine, &rule](int c, int r) {
    TFineCell& cell = fine(c, r);
    if (cell.LandUse == kLandDeveloped && InLargeCluster(cell)) {
      ApplyRuleToCell(world, sink, cell, rule, BuildCount8(world, c, r));
    }
  };
  if (!world.RescanGrids) {
    // The rules change no land use, so the developed cells, in scan order, are all it visits.
    const int columns = fine.Columns();
    world.KeptFrontier().Developed().ForEachSet([&apply, columns](std::size_t index) {
      apply(static_cast<int>(index % static_cast<std::size_t>(columns)),
            static_cast<int>(index / static_cast<std::size_t>(columns)));
    });
    return;
  }
  for (int r = 0; r < fine.Rows(); ++r) {
    for (int c = 0; c < fine.Columns(); ++c) {
      apply(c, r);
    }
  }
}

void RandomBuildings(const GrowthContext& growth) {
  World& world = growth.world;
  Grid2D<TFineCell>& fine = world.FineGrid;
  for (int r = 0; r < fine.Rows(); ++r) {
    for (int c = 0; c < fine.Columns(); ++c) {
      TFineCell& cell = fine(c, r);
      if (!InLargeCluster(cell)) {
        continue;
      }
      if (cell.LandUse != kLandDeveloped) {
        // Free land and street have the same code as land use and as sub-type.
        cell.SubState = static_cast<SubStateCode>(CodeNumber(cell.LandUse));
      } else if (growth.random.Random() > 0.5) {
        cell.SubState = kSubOpen;
        cell.Color = colours::kLime;
      } else {
        cell.SubState = kSubBuild;
        cell.Color = colours::kBlue;
      }
      growth.sink.CellChanged(world, cell);
    }
  }
}

void BuildingStatistics(const World& world, GrowthSink& sink) {
  sink.ClearSeries(series_name::kFreeNeighbours);
  const SubStateCounts counts = CountSubStates(world);
  // Counted from the grid itself, which holds 9 * ColumnCount * RowCount fine cells while
  // the world exists and none once it has been cleared.
  const double total = static_cast<double>(world.FineGrid.Cells().size());
  AddLinePoints(world, sink, counts, total);
  AddNeighbourHistogram(sink, counts);
  WriteNeighbourLabels(sink, counts);
}

}  // namespace veltmoor
