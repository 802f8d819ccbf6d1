#include "growth/building_rules.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "display/recording_canvas.h"
#include "simulation/window_outputs.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

using chart::Point;

// A hand-made world of `columns` x `rows` coarse cells whose fine cells are all empty; the
// fine layer records what it is asked to draw.
class BuildingRulesTest : public ::testing::Test {
 protected:
  void MakeWorld(int columns, int rows) {
    World& world = t.world();
    world.CellSize = 24;  // fine cells of 8 x 8 pixels
    world.ColumnCount = columns;
    world.RowCount = rows;
    world.FineGrid.Resize(3 * columns, 3 * rows);
    for (int r = 0; r < 3 * rows; ++r) {
      for (int c = 0; c < 3 * columns; ++c) {
        Fine(c, r).Color = colours::kWhite;
      }
    }
    auto canvas = std::make_unique<RecordingCanvas>(24 * columns, 24 * rows);
    layer = canvas.get();
    t.sim.map.FineImage = std::move(canvas);
  }

  TFineCell& Fine(int c, int r) { return t.world().FineGrid(c, r); }

  // A developed fine cell of the given sub-type; cluster size 9 lets the rules touch it.
  TFineCell& Develop(int c, int r, SubStateCode subState, int clusterSize = 9) {
    TFineCell& cell = Fine(c, r);
    cell.LandUse = kLandDeveloped;
    cell.SubState = subState;
    cell.ClusterSize = clusterSize;
    return cell;
  }

  TFineCell& Street(int c, int r, SubStateCode subState = kSubStreet) {
    TFineCell& cell = Fine(c, r);
    cell.LandUse = kLandStreet;
    cell.SubState = subState;
    return cell;
  }

  void SetRule(const std::string& digits) {
    const SettingName gens[] = {setting::kGenA, setting::kGenB, setting::kGenC, setting::kGenD};
    for (std::size_t i = 0; i < 4; ++i) {
      t.settings.Set(gens[i], digits.substr(i, 1));
    }
  }

  std::vector<Point> PointsOf(chart::SeriesName series) {
    return t.sim.charts.GetSeries(series).Points();
  }

  testing::TestSimulation t;
  RecordingCanvas* layer = nullptr;
};

TEST_F(BuildingRulesTest, BuildCountsSkipTheCentreAndPositionsOffTheGrid) {
  MakeWorld(1, 1);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      Develop(c, r, kSubBuild);
    }
  }
  EXPECT_EQ(BuildCount8(t.world(), 1, 1), 8);
  EXPECT_EQ(BuildCount4(t.world(), 1, 1), 4);
  EXPECT_EQ(BuildCount8(t.world(), 0, 0), 3);
  EXPECT_EQ(BuildCount4(t.world(), 0, 0), 2);
  Fine(1, 0).SubState = kSubOpen;  // a free cell is no build neighbour
  Fine(2, 2).SubState = kSubStreet;
  EXPECT_EQ(BuildCount8(t.world(), 1, 1), 6);
  EXPECT_EQ(BuildCount4(t.world(), 1, 1), 3);
  Fine(1, 1).SubState = kSubOpen;  // the centre's own sub-type does not change its count
  EXPECT_EQ(BuildCount8(t.world(), 1, 1), 6);
}

TEST_F(BuildingRulesTest, CornerBuildCellWithDefaultRuleTurnsFreeOnlyWithoutBuildNeighbours) {
  const std::pair<int, int> neighbours[] = {{1, 0}, {0, 1}, {1, 1}};
  for (int buildNeighbours = 0; buildNeighbours <= 3; ++buildNeighbours) {
    MakeWorld(1, 1);
    const TFineCell& corner = Develop(0, 0, kSubBuild);
    // Below the cluster limit, so they count for the corner but are not ruled themselves.
    for (int i = 0; i < buildNeighbours; ++i) {
      Develop(neighbours[i].first, neighbours[i].second, kSubBuild, 4);
    }
    ApplyBuildingRules(t.sim.Growth());
    if (buildNeighbours == 0) {
      EXPECT_EQ(corner.SubState, kSubOpen);
      EXPECT_EQ(corner.Color, colours::kLime);
      ASSERT_EQ(layer->Calls().size(), 1u);
      EXPECT_EQ(layer->Calls()[0].brush, colours::kLime);
    } else {
      EXPECT_EQ(corner.SubState, kSubBuild) << buildNeighbours;
      EXPECT_TRUE(layer->Calls().empty());
    }
  }
}

TEST_F(BuildingRulesTest, GenBAtLeastGenAFreesEveryVisitedBuildCell) {
  MakeWorld(2, 2);
  SetRule("3313");
  for (int r = 0; r < 6; ++r) {
    for (int c = 0; c < 6; ++c) {
      Develop(c, r, kSubBuild);
    }
  }
  Develop(5, 5, kSubBuild, 4);  // cluster of four: left alone
  ApplyBuildingRules(t.sim.Growth());
  for (int r = 0; r < 6; ++r) {
    for (int c = 0; c < 6; ++c) {
      const bool visited = !(c == 5 && r == 5);
      EXPECT_EQ(Fine(c, r).SubState, visited ? kSubOpen : kSubBuild) << c << "," << r;
    }
  }
  EXPECT_EQ(layer->Calls().size(), 35u);
}

TEST_F(BuildingRulesTest, GenCAboveGenDNeverBuilds) {
  const auto freeCellsBuilt = [this](const std::string& rule) {
    MakeWorld(2, 2);
    SetRule(rule);
    for (int r = 0; r < 6; ++r) {
      for (int c = 0; c < 6; ++c) {
        // Every third cell a build cell outside the rules' reach, the rest free.
        const bool anchor = (c + 2 * r) % 3 == 0;
        Develop(c, r, anchor ? kSubBuild : kSubOpen, anchor ? 0 : 9);
      }
    }
    ApplyBuildingRules(t.sim.Growth());
    return layer->Calls().size();
  };
  EXPECT_EQ(freeCellsBuilt("8032"), 0u);
  EXPECT_GT(freeCellsBuilt("8023"), 0u);  // the same world does build under C <= D
}

TEST_F(BuildingRulesTest, FreeCellSeesNeighboursBuiltEarlierInTheSameSweep) {
  MakeWorld(1, 1);
  SetRule("8011");
  Develop(0, 0, kSubBuild, 0);
  TFineCell& first = Develop(1, 0, kSubOpen);
  TFineCell& second = Develop(2, 0, kSubOpen);  // no build neighbour before the sweep
  ApplyBuildingRules(t.sim.Growth());
  EXPECT_EQ(first.SubState, kSubBuild);
  EXPECT_EQ(first.Color, colours::kBlue);
  EXPECT_EQ(second.SubState, kSubBuild);
}

TEST_F(BuildingRulesTest, RandomBuildingsSkipsSmallClustersAndResetsUndevelopedCells) {
  MakeWorld(1, 1);
  TFineCell& small = Develop(0, 0, kSubBuild, 4);
  TFineCell& street = Street(1, 0, kSubOpen);  // left over from before the street was traced
  street.Color = colours::kYellow;
  street.ClusterSize = 5;
  std::vector<TFineCell*> developed;
  for (int c = 0; c < 3; ++c) {
    for (int r = 1; r < 3; ++r) {
      developed.push_back(&Develop(c, r, kSubNone, 5));
    }
  }
  RandomBuildings(t.sim.Growth());

  EXPECT_EQ(small.SubState, kSubBuild);
  EXPECT_EQ(street.SubState, kSubStreet);
  EXPECT_EQ(street.Color, colours::kYellow);
  // Same seed, same draws in scan order: rows 1 and 2, columns 0..2.
  RandomSource expected(42);
  for (int r = 1; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const bool open = expected.Random() > 0.5;
      EXPECT_EQ(Fine(c, r).SubState, open ? kSubOpen : kSubBuild) << c << "," << r;
      EXPECT_EQ(Fine(c, r).Color, open ? colours::kLime : colours::kBlue);
    }
  }
  EXPECT_EQ(layer->Calls().size(), 7u);  // the street and the six developed cells
}

TEST_F(BuildingRulesTest, StatisticsOfASmallWorld) {
  MakeWorld(1, 1);
  t.world().TimeStep = 20;
  for (int c = 0; c < 3; ++c) {
    Develop(c, 0, kSubBuild);
  }
  Develop(0, 2, kSubOpen);
  Street(1, 2);
  Street(2, 2);
  BuildingStatistics(t.sim.world, *t.sim.sink);
  BuildingStatistics(t.sim.world, *t.sim.sink);  // the histogram holds only the latest count

  const auto at = [](double y) { return std::vector<Point>{{20, y}, {20, y}}; };
  EXPECT_EQ(PointsOf(series_name::kEmptyShare), at(3.0 / 9));
  EXPECT_EQ(PointsOf(series_name::kStreetShare), at(2.0 / 9));
  EXPECT_EQ(PointsOf(series_name::kDevelopedShare), at(4.0 / 9));
  EXPECT_EQ(PointsOf(series_name::kBuildShare), at(3.0 / 9));
  EXPECT_EQ(PointsOf(series_name::kFreeShare), at(1.0 / 9));
  EXPECT_EQ(PointsOf(series_name::kBuildFreeRatio), at(0.75));
  const std::vector<Point> histogram = {{0, 0}, {1, 2}, {2, 1}, {3, 0}, {4, 0}};
  EXPECT_EQ(PointsOf(series_name::kFreeNeighbours), histogram);
  EXPECT_EQ(t.sim.labels.Get(label::kMoreThanOneNeighbour), "33");
  EXPECT_EQ(t.sim.labels.Get(label::kMoreThanTwoNeighbours), "0");
  EXPECT_EQ(t.sim.labels.Get(label::kMoreThanThreeNeighbours), "0");
}

TEST_F(BuildingRulesTest, PercentagesRoundHalvesToEven) {
  MakeWorld(2, 2);
  // A row of three and five lone build cells: one of eight has two build neighbours.
  const std::pair<int, int> cells[] = {{0, 0}, {1, 0}, {2, 0}, {4, 0},
                                       {0, 2}, {2, 2}, {4, 2}, {0, 4}};
  for (const auto& [c, r] : cells) {
    Develop(c, r, kSubBuild);
  }
  BuildingStatistics(t.sim.world, *t.sim.sink);
  EXPECT_EQ(t.sim.labels.Get(label::kMoreThanOneNeighbour), "12");  // 12.5
}

TEST_F(BuildingRulesTest, DegenerateWorldsNeverDivideByZero) {
  MakeWorld(1, 1);  // no build, free or developed cell
  BuildingStatistics(t.sim.world, *t.sim.sink);
  for (const LabelName name : {label::kMoreThanOneNeighbour, label::kMoreThanTwoNeighbours,
                               label::kMoreThanThreeNeighbours}) {
    EXPECT_EQ(t.sim.labels.Get(name), "0") << name.View();
  }
  EXPECT_EQ(PointsOf(series_name::kBuildFreeRatio), (std::vector<Point>{{0, 1}}));
  EXPECT_EQ(PointsOf(series_name::kEmptyShare), (std::vector<Point>{{0, 1}}));

  MakeWorld(0, 0);  // no fine cell: no share to record
  BuildingStatistics(t.sim.world, *t.sim.sink);
  for (const chart::SeriesName series :
       {series_name::kEmptyShare, series_name::kStreetShare, series_name::kDevelopedShare,
        series_name::kBuildShare, series_name::kFreeShare, series_name::kBuildFreeRatio}) {
    EXPECT_EQ(PointsOf(series).size(), 1u) << series.View();
  }
  EXPECT_EQ(PointsOf(series_name::kFreeNeighbours).size(), 5u);
  EXPECT_EQ(t.sim.labels.Get(label::kMoreThanOneNeighbour), "0");
}

}  // namespace
}  // namespace veltmoor
