#include "analysis/segregation.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "growth/run_control.h"
#include "simulation/setup.h"
#include "simulation/window_outputs.h"
#include "support/test_world.h"

namespace veltmoor {
namespace {

using testing::TestWorld;

std::vector<int> BlockWidths(const std::vector<int>& bounds) {
  std::vector<int> widths;
  for (std::size_t k = 0; k + 1 < bounds.size(); ++k) {
    widths.push_back(bounds[k + 1] - bounds[k]);
  }
  return widths;
}

TEST(TileBoundsTest, SeventyFiveColumnsInEightBlocksRoundHalvesToEven) {
  // 18.5 rounds to 18 and 55.5 to 56.
  EXPECT_EQ(BlockWidths(TileBounds(75, 8)), (std::vector<int>{9, 9, 10, 9, 9, 10, 9, 10}));
}

TEST(TileBoundsTest, BlocksCoverEveryLineOnceInOrder) {
  for (int lines = 1; lines <= 90; ++lines) {
    for (int n = 1; n <= 12; ++n) {
      const std::vector<int> bounds = TileBounds(lines, n);
      ASSERT_EQ(bounds.size(), static_cast<std::size_t>(n) + 1);
      EXPECT_EQ(bounds.front(), -1) << lines << " lines, n = " << n;
      EXPECT_EQ(bounds.back(), lines - 1) << lines << " lines, n = " << n;
      for (int width : BlockWidths(bounds)) {
        EXPECT_GE(width, 0) << lines << " lines, n = " << n;
      }
    }
  }
}

TEST(ClassifyDevelopedCellsTest, StreetCountsOnlyWithDevelopedLandAlongAnEdge) {
  TestWorld w(3, 3);
  w.Develop(4, 4);
  w.Street(4, 5);                   // below the developed cell
  w.Street(3, 4);                   // left of it
  w.Street(5, 5);                   // diagonal only
  w.Street(0, 0);                   // nowhere near
  w.Fine(7, 7).IsDeveloped = true;  // a stale mark on free land goes

  ClassifyDevelopedCells(w.world());
  ClassifyDevelopedCells(w.world());  // counts start from zero each time

  EXPECT_TRUE(w.Fine(4, 4).IsDeveloped);
  EXPECT_TRUE(w.Fine(4, 5).IsDeveloped);
  EXPECT_TRUE(w.Fine(3, 4).IsDeveloped);
  EXPECT_FALSE(w.Fine(5, 5).IsDeveloped);
  EXPECT_FALSE(w.Fine(0, 0).IsDeveloped);
  EXPECT_FALSE(w.Fine(7, 7).IsDeveloped);
  EXPECT_EQ(w.world().FineCellTotals[1], 3u);
  EXPECT_EQ(w.world().FineCellTotals[0], 78u);
  EXPECT_EQ(w.Coarse(1, 1).IsDevelopedCount, 3);
  EXPECT_EQ(w.Coarse(0, 0).IsDevelopedCount, 0);
}

TEST(PartitionFineGridTest, TilesCountEveryFineCellOfTheirBlock) {
  TestWorld w(25, 3);            // 75 x 9 fine cells
  w.DevelopBlock(18, 0, 10, 1);  // the whole first row of the third column block
  TDreierArray counts;
  PartitionFineGrid(w.sim(), counts, 8);

  const std::vector<int> widths = BlockWidths(TileBounds(75, 8));
  const std::vector<int> heights = BlockWidths(TileBounds(9, 8));
  std::uint32_t total = 0;
  for (int b = 0; b < 8; ++b) {
    for (int a = 0; a < 8; ++a) {
      EXPECT_EQ(counts(b, a, 0) + counts(b, a, 1),
                static_cast<std::uint32_t>(widths[b] * heights[a]));
      total += counts(b, a, 0) + counts(b, a, 1);
    }
  }
  EXPECT_EQ(total, 675u);
  EXPECT_EQ(counts(2, 0, 1), 10u);
  EXPECT_EQ(counts(1, 0, 1) + counts(3, 0, 1), 0u);
}

// Free, street and developed land at random, and now and then a cell of a use the
// classification leaves alone, with a stale mark of either kind.
void ScatterLand(TestWorld& w, unsigned seed) {
  std::mt19937 random(seed);
  for (TFineCell& fine : w.world().FineGrid.Cells()) {
    const unsigned draw = random() % 20;
    fine.LandUse = draw < 8    ? kLandFree
                   : draw < 12 ? kLandStreet
                   : draw < 19 ? kLandDeveloped
                               : static_cast<LandUseCode>(7);
    fine.IsDeveloped = random() % 2 == 0;
  }
}

// The tile counts by visiting every fine cell of every tile.
TDreierArray CountTilesDirectly(const World& world, int n) {
  TDreierArray counts;
  counts.Resize(n, n, 2);
  const std::vector<int> colBound = TileBounds(world.FineGrid.Columns(), n);
  const std::vector<int> rowBound = TileBounds(world.FineGrid.Rows(), n);
  for (int a = 0; a < n; ++a) {
    for (int b = 0; b < n; ++b) {
      for (int r = rowBound[a] + 1; r <= rowBound[a + 1]; ++r) {
        for (int c = colBound[b] + 1; c <= colBound[b + 1]; ++c) {
          ++counts(b, a, world.FineGrid(c, r).IsDeveloped ? 1 : 0);
        }
      }
    }
  }
  return counts;
}

TEST(CountTilesTest, SummedAndStreamedCountsEqualADirectCountOfAnIrregularPattern) {
  // Odd numbers of fine lines, one of them narrower than most tilings, so that many blocks
  // are empty.
  for (const auto& [columns, rows] : {std::pair{7, 5}, {1, 11}, {13, 3}, {9, 9}}) {
    TestWorld w(columns, rows);
    ScatterLand(w, static_cast<unsigned>(columns * 100 + rows));
    ClassifyDevelopedCells(w.world());
    const DevelopedCellSums sums(w.world());
    ASSERT_EQ(sums.Columns(), 3 * columns);
    ASSERT_EQ(sums.Rows(), 3 * rows);
    for (int n = 1; n <= 45; ++n) {
      TDreierArray summed;
      CountTiles(sums, summed, n);
      TDreierArray streamed;
      CountTiles(w.world(), streamed, n);
      const TDreierArray expected = CountTilesDirectly(w.world(), n);
      for (const TDreierArray* counts : {&summed, &streamed}) {
        ASSERT_EQ(counts->Size1(), n);
        ASSERT_EQ(counts->Size2(), n);
        for (int b = 0; b < n; ++b) {
          for (int a = 0; a < n; ++a) {
            for (int k = 0; k < 2; ++k) {
              ASSERT_EQ((*counts)(b, a, k), expected(b, a, k))
                  << 3 * columns << " x " << 3 * rows << ", n = " << n << ", tile (" << b << ", "
                  << a << "), k = " << k << (counts == &summed ? ", summed" : ", streamed");
            }
          }
        }
      }
    }
  }
}

TEST(PartitionFineGridTest, ClassifiesBeforeCountingAndOnlyEightTilesGiveAnIndex) {
  TestWorld classified(7, 5);
  ScatterLand(classified, 3);
  ClassifyDevelopedCells(classified.world());
  for (int n : {5, 7, 8, 9}) {
    TestWorld w(7, 5);
    ScatterLand(w, 3);  // the same land, with its stale marks
    TDreierArray counts;
    PartitionFineGrid(w.sim(), counts, n);
    const TDreierArray expected = CountTilesDirectly(classified.world(), n);
    for (int b = 0; b < n; ++b) {
      for (int a = 0; a < n; ++a) {
        EXPECT_EQ(counts(b, a, 1), expected(b, a, 1)) << "n = " << n;
      }
    }
    EXPECT_EQ(w.PointsOf(series_name::kSegregationByStep).size(), n == 8 ? 1u : 0u) << "n = " << n;
  }
}

TEST(SegregationIndexTest, DevelopmentFillingOneTileAloneIsFullySegregated) {
  TestWorld w(8, 8);  // 24 fine lines: the first tile is coarse cell (0, 0)
  w.DevelopBlock(0, 0, 3, 3);
  w.world().TimeStep = 30;
  PeriodicSegregation(w.sim());

  EXPECT_EQ(w.sim().DissimiGrid.Cell(2, 1), "100");
  EXPECT_EQ(w.sim().DissimiGrid.Cell(2, 3), "1");
  EXPECT_EQ(w.sim().DissimiGrid.Cell(1, 3), "1");
  EXPECT_EQ(w.sim().DissimiGrid.Cell(1, 1), "0");
  EXPECT_EQ(w.sim().DissimiGrid.Cell(2, 2), "0");
  EXPECT_EQ(w.sim().valueList.Value(value_key::kSegregation), "1");
  ASSERT_EQ(w.PointsOf(series_name::kSegregationByStep).size(), 1u);
  EXPECT_EQ(w.PointsOf(series_name::kSegregationByStep)[0].x, 30.0);
  EXPECT_NEAR(w.PointsOf(series_name::kSegregationByStep)[0].y, 1.0, 1e-12);
}

TEST(SegregationIndexTest, EqualSharesInEveryTileGiveZero) {
  TestWorld w(8, 8);
  w.world().FineCellTotals = {512, 64};
  TDreierArray counts;
  counts.Resize(8, 8, 2);
  for (int b = 0; b < 8; ++b) {
    for (int a = 0; a < 8; ++a) {
      counts(b, a, 0) = 8;
      counts(b, a, 1) = 1;
    }
  }
  SegregationIndex(w.sim(), counts);
  EXPECT_EQ(w.sim().DissimiGrid.Cell(2, 1), "0");
  EXPECT_EQ(w.sim().DissimiGrid.Cell(2, 3), "0");
  EXPECT_EQ(w.sim().valueList.Value(value_key::kSegregation), "0");
  ASSERT_EQ(w.PointsOf(series_name::kSegregationByStep).size(), 1u);
  EXPECT_NEAR(w.PointsOf(series_name::kSegregationByStep)[0].y, 0.0, 1e-12);
}

TEST(SegregationIndexTest, PartlySegregatedDevelopment) {
  TestWorld w(8, 8);
  w.DevelopBlock(0, 0, 3, 3);    // all 9 cells of the first tile
  w.DevelopBlock(20, 20, 4, 1);  // 4 of the 16 cells of the last tile
  PeriodicSegregation(w.sim());
  // Diss = 50 (9/13 + |12/563 - 4/13| + 551/563) = 50 * 1102/563.
  EXPECT_EQ(w.sim().DissimiGrid.Cell(2, 1), "97,87");
  EXPECT_EQ(w.sim().valueList.Value(value_key::kSegregation), "0,98");
  ASSERT_EQ(w.PointsOf(series_name::kSegregationByStep).size(), 1u);
  EXPECT_NEAR(w.PointsOf(series_name::kSegregationByStep)[0].y, 1102.0 / 1126.0, 1e-12);
}

TEST(ComputeSegregationTest, ReturnsTheIndicesAndWritesNoOutput) {
  TestWorld w(8, 8);
  w.DevelopBlock(0, 0, 3, 3);
  w.DevelopBlock(20, 20, 4, 1);
  ClassifyDevelopedCells(w.world());
  TDreierArray counts;
  counts.Resize(8, 8, 2);
  CountTiles(DevelopedCellSums(w.world()), counts, 8);
  const World& world = w.world();
  const std::uint64_t valueChanges = w.sim().valueList.ChangeCount();
  const std::uint64_t gridChanges = w.sim().DissimiGrid.ChangeCount();

  const std::optional<SegregationResult> result = ComputeSegregation(world, counts);
  ASSERT_TRUE(result.has_value());
  EXPECT_NEAR(static_cast<double>(result->Diss), 50.0 * 1102.0 / 563.0, 1e-9);
  EXPECT_NEAR(static_cast<double>(result->Seg[1]), 1102.0 / 1126.0, 1e-12);
  EXPECT_TRUE(w.PointsOf(series_name::kSegregationByStep).empty());
  EXPECT_EQ(w.sim().valueList.ChangeCount(), valueChanges);
  EXPECT_EQ(w.sim().DissimiGrid.ChangeCount(), gridChanges);

  w.world().FineCellTotals[1] = 0;
  EXPECT_FALSE(ComputeSegregation(world, counts).has_value());
}

TEST(SegregationIndexTest, AnEmptyCategoryLeavesTheIndexUndefined) {
  for (bool allDeveloped : {false, true}) {
    TestWorld w(8, 8);
    if (allDeveloped) {
      w.DevelopBlock(0, 0, 24, 24);
    }
    w.Fine(5, 5).ClusterVisited = true;
    PeriodicSegregation(w.sim());

    EXPECT_EQ(w.sim().valueList.Value(value_key::kSegregation), "-");
    for (const auto& [c, r] : {std::pair{1, 1}, {2, 1}, {2, 2}, {1, 3}, {2, 3}}) {
      EXPECT_EQ(w.sim().DissimiGrid.Cell(c, r), "-");
    }
    EXPECT_TRUE(w.PointsOf(series_name::kSegregationByStep).empty());
    EXPECT_FALSE(w.Fine(5, 5).ClusterVisited);
  }
}

TEST(SegregationIndexTest, AWorldWithoutCellsRecordsNothing) {
  TestWorld w(0, 0);
  TDreierArray counts;
  PartitionFineGrid(w.sim(), counts, 8);
  EXPECT_EQ(counts.Size1(), 8);
  EXPECT_EQ(w.sim().valueList.Value(value_key::kSegregation), "-");
  EXPECT_TRUE(w.PointsOf(series_name::kSegregationByStep).empty());
}

TEST(PeriodicSegregationTest, TheTimeStepAddsOnePointEveryTenthStep) {
  testing::TestSimulation t;
  NewSetup(t.sim);
  StartRun(t.sim);  // "cluster" is the default field type
  for (int step = 0; step < 21; ++step) {
    SimulationStep(t.sim);
  }
  const auto& points = t.sim.charts.GetSeries(series_name::kSegregationByStep).Points();
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[0].x, 0.0);
  EXPECT_EQ(points[1].x, 10.0);
  EXPECT_EQ(points[2].x, 20.0);
  EXPECT_NE(t.sim.valueList.Value(value_key::kSegregation), "-");
  EXPECT_EQ(t.sim.charts.GetSeries(series_name::kRankSizeByStep).Count(), 3u);
}

}  // namespace
}  // namespace veltmoor
