#include "analysis/structure_analysis.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "analysis/cluster.h"
#include "simulation/window_outputs.h"
#include "support/test_world.h"

namespace veltmoor {
namespace {

using chart::Point;
using testing::TestWorld;

TEST(NodeNeighbourhoodsTest, ACornerNodeSumsOnlyTheCellsOnTheGrid) {
  TestWorld w(4, 4);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      w.Coarse(c, r).DevelopedCount = 1;
      w.Coarse(c, r).StreetCount = 2;
      w.Coarse(c, r).IsDevelopedCount = 3;
      w.Coarse(c, r).Potential = 0.5f;
    }
  }
  w.AddNode(0, 0);
  w.AddNode(1, 1);
  const std::vector<NodeNeighbourhood> records = NodeNeighbourhoods(w.world());
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].DevelopedSum, 4);
  EXPECT_EQ(records[0].StreetSum, 8);
  EXPECT_EQ(records[0].IsDevelopedSum, 12);
  EXPECT_EQ(records[0].DevelopedStreetSum, 12);
  EXPECT_EQ(records[0].PotentialSum, 2.0f);
  EXPECT_EQ(records[1].DevelopedStreetSum, 27);
}

TEST(StructureAnalysisTest, DensityAndConnectivityPointsPerNode) {
  TestWorld w(4, 4);
  w.DevelopBlock(0, 0, 3, 3);  // coarse cell (0, 0) fully developed
  w.Coarse(0, 0).Potential = 0.9f;
  w.AddNode(0, 0, 0.25f);  // corner: still divided by 81 and 9
  w.AddNode(3, 3, 0.75f);  // nothing developed around it
  StructureAnalysis(w.sim());

  const auto potDense = w.PointsOf(series_name::kPotentialDensity);
  ASSERT_EQ(potDense.size(), 1u);
  EXPECT_DOUBLE_EQ(potDense[0].x, 9.0 / 81.0);
  EXPECT_DOUBLE_EQ(potDense[0].y, static_cast<double>(0.9f) / 9.0);
  const auto connPot = w.PointsOf(series_name::kPotentialConnectivity);
  ASSERT_EQ(connPot.size(), 2u);
  EXPECT_EQ(connPot[0].x, 0.25);
  EXPECT_EQ(connPot[1], (Point{0.75, 0.0}));
  EXPECT_EQ(w.world().NodeNeighbourhoods.size(), 2u);
  EXPECT_EQ(w.world().NodeNeighbourhoods[0].IsDevelopedSum, 9);
  // One density point: r is undefined and the title reads it as 1, as the rank-size fit
  // does; two connectivity points of opposite trend: r = -1.
  EXPECT_EQ(w.sim().charts.Get(chart_name::kPotentialDensity).Title(),
            "Potential / Density : r² = 1");
  EXPECT_EQ(w.sim().charts.Get(chart_name::kPotentialConnectivity).Title(),
            "Potential / Connectivity : r² = 1");
}

TEST(StructureAnalysisTest, ConnectivityTitleShowsTheSquaredCorrelation) {
  TestWorld w(5, 1);
  const float potential[] = {0.2f, 0.8f, 0.8f, 0.2f};
  for (int c = 0; c < 4; ++c) {
    w.Coarse(c, 0).Potential = potential[c];
  }
  w.AddNode(0, 0, 0.1f);
  w.AddNode(4, 0, 0.9f);
  w.AddNode(2, 0, 0.5f);
  StructureAnalysis(w.sim());
  // Potential sums 1.0, 0.2, 1.8 against measures 0.1, 0.9, 0.5: r = -0.5.
  EXPECT_EQ(w.sim().charts.Get(chart_name::kPotentialConnectivity).Title(),
            "Potential / Connectivity : r² = 0,25");
}

TEST(StructureAnalysisTest, ProfilesRunFromTheDensestNeighbourhood) {
  TestWorld w(9, 3);
  w.Coarse(0, 1).DevelopedCount = 2;  // node 0: 2 developed, 0 street
  w.Coarse(4, 1).StreetCount = 5;     // node 1: 0 developed, 5 street
  w.Coarse(8, 1).DevelopedCount = 1;  // node 2: 1 developed, 1 street
  w.Coarse(8, 1).StreetCount = 1;
  w.Coarse(4, 1).IsDevelopedCount = 4;
  w.Coarse(0, 1).IsDevelopedCount = 7;
  w.AddNode(0, 1);
  w.AddNode(4, 1);
  w.AddNode(8, 1);
  DensityProfiles(w.sim(), NodeNeighbourhoods(w.world()));

  EXPECT_EQ(w.PointsOf(series_name::kBuildDensity),
            (std::vector<Point>{{0, 0.0}, {1, 2.0 / 81}, {2, 1.0 / 81}}));
  EXPECT_EQ(w.PointsOf(series_name::kStreetDensity),
            (std::vector<Point>{{0, 5.0 / 81}, {1, 0.0}, {2, 1.0 / 81}}));
  EXPECT_EQ(w.PointsOf(series_name::kDevelopedDensity),
            (std::vector<Point>{{0, 7.0 / 81}, {1, 4.0 / 81}, {2, 0.0}}));
}

TEST(StructureAnalysisTest, NoNodeLeavesTheNodeSeriesEmptyAndTitlesDefined) {
  TestWorld w(3, 3);
  w.DevelopBlock(0, 0, 2, 2);
  StructureAnalysis(w.sim());
  for (const chart::SeriesName series :
       {series_name::kPotentialDensity, series_name::kPotentialConnectivity,
        series_name::kBuildDensity, series_name::kStreetDensity, series_name::kDevelopedDensity}) {
    EXPECT_TRUE(w.PointsOf(series).empty()) << series.View();
  }
  EXPECT_EQ(w.sim().charts.Get(chart_name::kPotentialDensity).Title(),
            "Potential / Density : r² = 0");
  EXPECT_EQ(w.sim().charts.Get(chart_name::kPotentialConnectivity).Title(),
            "Potential / Connectivity : r² = 0");
  // The cluster part still ran on the freshly classified cells.
  EXPECT_EQ(w.world().ClusterSizes, (std::vector<int>{4}));
}

TEST(StructureAnalysisTest, ARepeatedAnalysisReplacesEverySeriesButRs) {
  TestWorld w(5, 5);
  w.DevelopBlock(0, 0, 11, 1);  // one cluster large enough for a bar
  w.AddNode(1, 1);
  StructureAnalysis(w.sim());
  StructureAnalysis(w.sim());
  EXPECT_EQ(w.PointsOf(series_name::kPotentialDensity).size(), 1u);
  EXPECT_EQ(w.PointsOf(series_name::kPotentialConnectivity).size(), 1u);
  EXPECT_EQ(w.PointsOf(series_name::kDevelopedDensity).size(), 1u);
  EXPECT_EQ(w.PointsOf(series_name::kClusterSizes).size(), 1u);
  EXPECT_EQ(w.PointsOf(series_name::kRankSize).size(), 1u);
  EXPECT_EQ(w.PointsOf(series_name::kRankSizeByStep).size(), 2u);
}

// The computations return what the analysis then shows, and read the world alone.
TEST(StructureKernelTest, PointsAreWhatTheAnalysisShows) {
  TestWorld w(6, 6);
  w.DevelopBlock(0, 0, 4, 3);
  w.DevelopBlock(9, 9, 2, 2);
  w.DevelopBlock(14, 2, 4, 4);
  w.Coarse(1, 1).Potential = 0.4f;
  w.AddNode(1, 1, 0.5f);
  w.AddNode(4, 4, 0.25f);
  w.AddNode(5, 0, 1.0f);
  StructureAnalysis(w.sim());
  const std::uint64_t values = w.sim().valueList.ChangeCount();

  const std::vector<NodeNeighbourhood>& records = w.world().NodeNeighbourhoods;
  const PotentialPoints potential = ComputePotentialPoints(w.world(), records);
  EXPECT_EQ(potential.density, w.PointsOf(series_name::kPotentialDensity));
  EXPECT_EQ(potential.connectivity, w.PointsOf(series_name::kPotentialConnectivity));
  const DensityProfile profile = ComputeDensityProfile(records);
  EXPECT_EQ(profile.build, w.PointsOf(series_name::kBuildDensity));
  EXPECT_EQ(profile.street, w.PointsOf(series_name::kStreetDensity));
  EXPECT_EQ(profile.developed, w.PointsOf(series_name::kDevelopedDensity));

  const std::vector<std::uint32_t> ascending(w.world().ClusterSizes.rbegin(),
                                             w.world().ClusterSizes.rend());
  ASSERT_EQ(ascending, (std::vector<std::uint32_t>{4, 12, 16}));
  const RankSizePoints rankSize = ComputeRankSize(ascending);
  EXPECT_EQ(rankSize.bars, (std::vector<Point>{{0, 16}, {1, 12}}));  // 4 cells get no bar
  EXPECT_EQ(rankSize.rank, w.PointsOf(series_name::kRankSize));
  EXPECT_EQ(rankSize.bars, w.PointsOf(series_name::kClusterSizes));
  EXPECT_EQ(w.sim().valueList.ChangeCount(), values);
}

}  // namespace
}  // namespace veltmoor
