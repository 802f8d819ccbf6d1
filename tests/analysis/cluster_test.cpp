#include "analysis/cluster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/segregation.h"
#include "simulation/window_outputs.h"
#include "support/test_world.h"

namespace veltmoor {
namespace {

using testing::TestWorld;

void Mark(TestWorld& w, std::initializer_list<std::pair<int, int>> cells) {
  for (const auto& [c, r] : cells) {
    w.Fine(c, r).IsDeveloped = true;
  }
}

TEST(FindClustersTest, CellsTouchingOnlyDiagonallyAreSeparateClusters) {
  TestWorld w(2, 2);
  Mark(w, {{1, 1}, {2, 2}});
  EXPECT_EQ(FindClusters(w.world()), (std::vector<std::uint32_t>{1, 1}));
  EXPECT_EQ(w.Fine(1, 1).ClusterIndex, 0);
  EXPECT_EQ(w.Fine(2, 2).ClusterIndex, 1);
  EXPECT_EQ(w.Fine(0, 0).ClusterIndex, -1);
}

TEST(FindClustersTest, ClustersAreNumberedInRowScanOrder) {
  TestWorld w(3, 3);
  // The cluster whose first cell lies in an earlier row comes first, wherever it extends.
  Mark(w, {{8, 0}, {8, 1}, {0, 1}, {0, 2}, {1, 2}});
  EXPECT_EQ(FindClusters(w.world()), (std::vector<std::uint32_t>{2, 3}));
  EXPECT_EQ(w.Fine(8, 1).ClusterIndex, 0);
  EXPECT_EQ(w.Fine(1, 2).ClusterIndex, 1);
}

TEST(FindClustersTest, ArmsJoinedBelowTheirSeedFormOneCluster) {
  TestWorld w(4, 4);
  // Two U shapes: in each the scan meets one arm first and reaches the other only through
  // the base, once turning right and up, once turning left and up.
  Mark(w, {{0, 0}, {4, 0}, {0, 1}, {4, 1}, {0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 2}});
  Mark(w, {{10, 4}, {6, 5}, {10, 5}, {6, 6}, {7, 6}, {8, 6}, {9, 6}, {10, 6}});
  EXPECT_EQ(FindClusters(w.world()), (std::vector<std::uint32_t>{9, 8}));
  for (const auto& [c, r] : {std::pair{0, 0}, {4, 0}, {2, 2}}) {
    EXPECT_EQ(w.Fine(c, r).ClusterIndex, 0);
    EXPECT_EQ(w.Fine(c, r).ClusterSize, 9);
  }
  for (const auto& [c, r] : {std::pair{10, 4}, {6, 5}, {8, 6}}) {
    EXPECT_EQ(w.Fine(c, r).ClusterIndex, 1);
    EXPECT_EQ(w.Fine(c, r).ClusterSize, 8);
  }
}

TEST(FindClustersTest, NumbersClustersInScanOrderAndClearsEarlierMarks) {
  TestWorld w(2, 2);
  Mark(w, {{1, 1}, {2, 1}, {4, 4}});
  w.Fine(0, 0).ClusterIndex = 7;  // marks of an earlier labelling
  w.Fine(0, 0).ClusterVisited = true;
  EXPECT_EQ(FindClusters(w.world()), (std::vector<std::uint32_t>{2, 1}));
  EXPECT_EQ(w.Fine(0, 0).ClusterIndex, -1);
  EXPECT_FALSE(w.Fine(0, 0).ClusterVisited);
  EXPECT_EQ(w.Fine(2, 1).ClusterIndex, 0);
  EXPECT_EQ(w.Fine(2, 1).ClusterSize, 2);
  EXPECT_EQ(w.Fine(4, 4).ClusterIndex, 1);
  EXPECT_TRUE(w.Fine(4, 4).ClusterVisited);
}

TEST(FindClustersTest, CellsLeavingAClusterKeepTheirOldSize) {
  TestWorld w(2, 2);
  Mark(w, {{0, 0}, {1, 0}, {2, 0}});
  FindClusters(w.world());
  EXPECT_EQ(w.Fine(0, 0).ClusterSize, 3);  // the seed too
  w.Fine(2, 0).IsDeveloped = false;
  FindClusters(w.world());
  EXPECT_EQ(w.Fine(0, 0).ClusterSize, 2);
  EXPECT_EQ(w.Fine(2, 0).ClusterIndex, -1);
  EXPECT_EQ(w.Fine(2, 0).ClusterSize, 3);
  EXPECT_EQ(w.Fine(5, 5).ClusterSize, 0);
}

TEST(FindClustersTest, AClusterOverTheWholeGridNeedsNoDeepRecursion) {
  TestWorld w(334, 334);  // 1002 x 1002 fine cells
  for (TFineCell& cell : w.world().FineGrid.Cells()) {
    cell.IsDeveloped = true;
  }
  LabelClusters(w.sim());
  EXPECT_EQ(w.world().ClusterSizes, (std::vector<int>{1002 * 1002}));
  EXPECT_EQ(w.Fine(1001, 1001).ClusterSize, 1002 * 1002);
  EXPECT_EQ(w.Fine(1001, 1001).ClusterIndex, 0);
  EXPECT_EQ(w.PointsOf(series_name::kClusterSizes).size(), 1u);
}

TEST(RankSizeAnalysisTest, TwelveAndThree) {
  TestWorld w(5, 5);
  w.world().TimeStep = 40;
  Mark(w, {{0, 0},
           {1, 0},
           {2, 0},
           {3, 0},
           {4, 0},
           {5, 0},
           {0, 1},
           {1, 1},
           {2, 1},
           {3, 1},
           {4, 1},
           {5, 1}});
  Mark(w, {{10, 10}, {10, 11}, {10, 12}});
  LabelClusters(w.sim());

  EXPECT_EQ(w.world().ClusterSizes, (std::vector<int>{12, 3}));
  EXPECT_EQ(w.PointsOf(series_name::kClusterSizes), (std::vector<chart::Point>{{0, 12}}));
  const auto rank = w.PointsOf(series_name::kRankSize);
  ASSERT_EQ(rank.size(), 2u);
  EXPECT_EQ(rank[0].x, 0.0);
  EXPECT_EQ(rank[0].y, static_cast<double>(static_cast<float>(std::log10(12.0))));
  EXPECT_NEAR(rank[1].x, std::log10(2.0), 1e-15);
  EXPECT_EQ(rank[1].y, static_cast<double>(static_cast<float>(std::log10(3.0))));
  EXPECT_EQ(w.sim().valueList.Value(value_key::kRankSlope), "-2");
  ASSERT_EQ(w.PointsOf(series_name::kRankSizeByStep).size(), 1u);
  EXPECT_EQ(w.PointsOf(series_name::kRankSizeByStep)[0].x, 40.0);
  EXPECT_NEAR(w.PointsOf(series_name::kRankSizeByStep)[0].y, 2.0, 1e-6);
  EXPECT_EQ(w.sim().charts.Get(chart_name::kRankSize).Title(),
            "Rank-Size (RS) : r² = 1; slope = -2");
}

TEST(RankSizeAnalysisTest, ElevenCellsGetABarTenDoNot) {
  TestWorld w(5, 5);
  for (int c = 0; c < 11; ++c) {
    w.Fine(c, 0).IsDeveloped = true;
    w.Fine(c, 2).IsDeveloped = c < 10;
  }
  LabelClusters(w.sim());
  EXPECT_EQ(w.world().ClusterSizes, (std::vector<int>{11, 10}));
  EXPECT_EQ(w.PointsOf(series_name::kClusterSizes), (std::vector<chart::Point>{{0, 11}}));
}

TEST(RankSizeAnalysisTest, ASingleCellIsOneClusterWithoutBar) {
  TestWorld w(2, 2);
  Mark(w, {{3, 3}});
  LabelClusters(w.sim());
  EXPECT_TRUE(w.PointsOf(series_name::kClusterSizes).empty());
  EXPECT_EQ(w.PointsOf(series_name::kRankSize), (std::vector<chart::Point>{{0, 0}}));
  EXPECT_EQ(w.sim().valueList.Value(value_key::kRankSlope), "0");
  EXPECT_EQ(w.sim().charts.Get(chart_name::kRankSize).Title(),
            "Rank-Size (RS) : r² = 1; slope = 0");
}

TEST(RankSizeAnalysisTest, NoDevelopedCellLeavesTheChartsEmptyButWritesDefinedValues) {
  TestWorld w(2, 2);
  LabelClusters(w.sim());
  EXPECT_TRUE(w.world().ClusterSizes.empty());
  EXPECT_TRUE(w.PointsOf(series_name::kRankSize).empty());
  EXPECT_TRUE(w.PointsOf(series_name::kRankSizeTrend).empty());
  EXPECT_EQ(w.sim().valueList.Value(value_key::kRankSlope), "0");
  EXPECT_EQ(w.sim().charts.Get(chart_name::kRankSize).Title(),
            "Rank-Size (RS) : r² = 0; slope = 0");
  ASSERT_EQ(w.PointsOf(series_name::kRankSizeByStep).size(), 1u);
  EXPECT_EQ(w.PointsOf(series_name::kRankSizeByStep)[0].y, 0.0);
  EXPECT_FALSE(std::signbit(w.PointsOf(series_name::kRankSizeByStep)[0].y));
}

TEST(RankSizeAnalysisTest, EqualSizesGiveAFlatLine) {
  TestWorld w(3, 3);
  Mark(w, {{0, 0}, {2, 0}, {4, 0}});
  LabelClusters(w.sim());
  EXPECT_EQ(w.sim().valueList.Value(value_key::kRankSlope), "0");
  EXPECT_EQ(w.sim().charts.Get(chart_name::kRankSize).Title(),
            "Rank-Size (RS) : r² = 1; slope = 0");
}

TEST(ShowClustersTest, NetworkOnlyChangesNothing) {
  TestWorld w(2, 2);
  w.world().FieldType = kFieldNetworkOnly;
  w.Develop(1, 1);
  ShowClusters(w.sim());
  EXPECT_FALSE(w.Fine(1, 1).IsDeveloped);
  EXPECT_EQ(w.Fine(1, 1).ClusterIndex, 0);
  EXPECT_EQ(w.Fine(1, 1).Color, colours::kWhite);
  EXPECT_TRUE(w.PointsOf(series_name::kRankSizeByStep).empty());
}

TEST(ShowClustersTest, PaintsDevelopedCellsBlackEvenWithoutNodes) {
  TestWorld w(2, 2);
  w.world().FieldType = kFieldCluster;
  w.Develop(1, 1);
  w.Street(1, 2);
  w.Street(5, 5);
  w.Fine(0, 0).Color = colours::kBlue;
  ShowClusters(w.sim());
  EXPECT_EQ(w.Fine(1, 1).Color, colours::kBlack);
  EXPECT_EQ(w.Fine(1, 2).Color, colours::kBlack);
  EXPECT_EQ(w.Fine(5, 5).Color, colours::kWhite);
  EXPECT_EQ(w.Fine(0, 0).Color, colours::kWhite);
  EXPECT_EQ(w.Fine(1, 2).ClusterSize, 2);
  EXPECT_EQ(w.world().ClusterSizes, (std::vector<int>{2}));
}

}  // namespace
}  // namespace veltmoor
