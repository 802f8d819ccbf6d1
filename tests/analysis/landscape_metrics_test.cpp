#include "analysis/landscape_metrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/town_measures.h"

namespace veltmoor {
namespace {

constexpr double kTight = 1e-9;

// Rows of '#' (developed) and '.' (free).
LandscapeMask Map(const std::vector<std::string>& rows) {
  LandscapeMask mask;
  mask.rows = static_cast<int>(rows.size());
  mask.columns = static_cast<int>(rows.front().size());
  for (const std::string& row : rows) {
    for (const char c : row) {
      mask.developed.push_back(c == '#' ? 1 : 0);
    }
  }
  return mask;
}

LandscapeMetrics Measure(const LandscapeMask& mask, int rule = 8, bool boundary = false,
                         std::optional<double> cell = 10.0) {
  LandscapeRules rules;
  rules.patch_rule = rule;
  rules.boundary_edge = boundary;
  return ComputeLandscapeMetrics(mask, cell, rules);
}

// x ln x summed over the shares of one CONTAG row.
double Terms(std::initializer_list<double> shares) {
  double sum = 0.0;
  for (const double s : shares) {
    sum += s * std::log(s);
  }
  return sum;
}

// 4 x 4 cells of 10 m (0,16 ha) with a 2 x 2 block in the middle: 8 sides of edge, 4 like
// pairs; 8 + 8 + 8 + 24 double-counted adjacencies (dev-dev, dev-free, free-dev, free-free).
TEST(LandscapeMetricsTest, SinglePatchInTheMiddle) {
  const LandscapeMetrics m = Measure(Map({"....", ".##.", ".##.", "...."}));
  EXPECT_EQ(m.NP, 1u);
  EXPECT_NEAR(*m.PLAND, 25.0, kTight);
  EXPECT_NEAR(*m.PD, 625.0, kTight);  // 1 patch in 0,16 ha, per 100 ha
  EXPECT_NEAR(*m.LPI, 25.0, kTight);
  EXPECT_NEAR(*m.ED, 500.0, kTight);  // 80 m / 0,16 ha
  EXPECT_NEAR(*m.AREA_MN, 0.04, kTight);
  EXPECT_NEAR(*m.AREA_AM, 0.04, kTight);
  EXPECT_NEAR(*m.FRAC_MN, 1.0, kTight);  // 2 ln(80 / 4) / ln 400
  EXPECT_NEAR(*m.FRAC_AM, 1.0, kTight);
  EXPECT_FALSE(m.PAFRAC);  // fewer than 10 patches
  EXPECT_NEAR(*m.AI, 100.0, kTight);
  EXPECT_NEAR(*m.COHESION, (1.0 - 8.0 / (8.0 * 2.0)) / (1.0 - 1.0 / 4.0) * 100.0, kTight);
  EXPECT_FALSE(m.ENN_MN);  // no second patch
  const double sum = Terms({0.25 * 0.5, 0.25 * 0.5}) + Terms({0.75 * 0.25, 0.75 * 0.75});
  EXPECT_NEAR(*m.CONTAG, (1.0 + sum / (2.0 * std::log(2.0))) * 100.0, kTight);
}

TEST(LandscapeMetricsTest, TwoDiagonalCellsAreOnePatchUnderRule8AndTwoUnderRule4) {
  const LandscapeMask mask = Map({"....", ".#..", "..#.", "...."});
  const LandscapeMetrics eight = Measure(mask, 8);
  EXPECT_EQ(eight.NP, 1u);
  EXPECT_NEAR(*eight.LPI, 12.5, kTight);
  EXPECT_NEAR(*eight.AREA_MN, 0.02, kTight);
  EXPECT_NEAR(*eight.FRAC_MN, 2.0 * std::log(20.0) / std::log(200.0), kTight);  // 80 m, 200 m²
  EXPECT_NEAR(*eight.COHESION, (1.0 - 8.0 / (8.0 * std::sqrt(2.0))) / 0.75 * 100.0, kTight);
  EXPECT_FALSE(eight.ENN_MN);

  const LandscapeMetrics four = Measure(mask, 4);
  EXPECT_EQ(four.NP, 2u);
  EXPECT_NEAR(*four.PD, 1250.0, kTight);
  EXPECT_NEAR(*four.LPI, 6.25, kTight);
  EXPECT_NEAR(*four.AREA_MN, 0.01, kTight);
  EXPECT_NEAR(*four.AREA_AM, 0.01, kTight);
  EXPECT_NEAR(*four.FRAC_MN, 1.0, kTight);
  EXPECT_NEAR(*four.COHESION, 0.0, kTight);  // sum p / sum p sqrt(a) = 8 / 8
  EXPECT_NEAR(*four.ENN_MN, 10.0 * std::sqrt(2.0), kTight);
  // Neither rule changes the class-level edge or adjacency counts.
  for (const LandscapeMetrics* m : {&eight, &four}) {
    EXPECT_NEAR(*m->ED, 500.0, kTight);
    EXPECT_NEAR(*m->AI, 0.0, kTight);  // 0 of at most 1 like pair
  }
}

// A 3 x 3 ring of 8 cells around a free hole, inside 5 x 5 cells (0,25 ha).
TEST(LandscapeMetricsTest, RingWithAHoleCountsTheHoleAsPerimeterAndEdge) {
  const LandscapeMetrics m = Measure(Map({".....", ".###.", ".#.#.", ".###.", "....."}));
  EXPECT_EQ(m.NP, 1u);
  EXPECT_NEAR(*m.PLAND, 32.0, kTight);
  EXPECT_NEAR(*m.ED, 640.0, kTight);  // 12 outer + 4 inner sides, 160 m / 0,25 ha
  EXPECT_NEAR(*m.FRAC_MN, 2.0 * std::log(40.0) / std::log(800.0), kTight);
  // 8 like pairs; 8 cells could share at most 2 n (n - 1) + 2 m - 2 = 10 (n = 2, m = 4).
  EXPECT_NEAR(*m.AI, 80.0, kTight);
  EXPECT_NEAR(*m.COHESION, (1.0 - 16.0 / (16.0 * std::sqrt(8.0))) / 0.8 * 100.0, kTight);
  // 16 dev-dev, 16 dev-free, 16 free-dev, 32 free-free adjacencies.
  const double sum = Terms({0.32 * 0.5, 0.32 * 0.5}) + Terms({0.68 / 3.0, 0.68 * 2.0 / 3.0});
  EXPECT_NEAR(*m.CONTAG, (1.0 + sum / (2.0 * std::log(2.0))) * 100.0, kTight);
}

TEST(LandscapeMetricsTest, EmptyMapLeavesPatchMetricsUndefined) {
  const LandscapeMetrics m = Measure(Map({"...", "...", "..."}));
  EXPECT_EQ(m.NP, 0u);
  EXPECT_EQ(*m.PLAND, 0.0);
  EXPECT_EQ(*m.PD, 0.0);
  EXPECT_EQ(*m.LPI, 0.0);
  EXPECT_EQ(*m.ED, 0.0);
  for (const auto* value : {&m.AREA_MN, &m.AREA_AM, &m.FRAC_MN, &m.FRAC_AM, &m.PAFRAC, &m.AI,
                            &m.COHESION, &m.ENN_MN, &m.CONTAG}) {
    EXPECT_FALSE(value->has_value());
  }
  const nlohmann::json json = LandscapeJson(m, {}, MapScale{10.0, {}, "m"});
  EXPECT_TRUE(json["CONTAG"].is_null());
  EXPECT_EQ(json.dump().find("NaN"), std::string::npos);
}

TEST(LandscapeMetricsTest, FullMapHasEdgeOnlyAtTheBorderAndNoContagion) {
  const LandscapeMask mask = Map({"###", "###", "###"});
  const LandscapeMetrics inside = Measure(mask, 8, false);
  EXPECT_EQ(inside.NP, 1u);
  EXPECT_NEAR(*inside.PLAND, 100.0, kTight);
  EXPECT_NEAR(*inside.PD, 100.0 / 0.09, kTight);
  EXPECT_EQ(*inside.ED, 0.0);
  EXPECT_NEAR(*inside.FRAC_MN, 1.0, kTight);  // 2 ln 30 / ln 900
  EXPECT_NEAR(*inside.AI, 100.0, kTight);
  EXPECT_NEAR(*inside.COHESION, 100.0, kTight);  // (1 - 12/36) / (1 - 1/3)
  EXPECT_FALSE(inside.CONTAG);                   // one class only
  EXPECT_NEAR(*Measure(mask, 8, true).ED, 120.0 / 0.09, kTight);
}

// Five 2 x 2 squares and five single cells, one free column apart: squares give
// ln a = 2 ln p - 2 ln 4 exactly, so PAFRAC = 2 / 2; the nearest neighbour is 2 cells away.
TEST(LandscapeMetricsTest, PerimeterAreaFractalNeedsTenPatches) {
  const std::vector<std::string> ten = {"##.##.##.##.##.#.#.#.#.#", "##.##.##.##.##.........."};
  const LandscapeMetrics m = Measure(Map(ten));
  EXPECT_EQ(m.NP, 10u);
  EXPECT_NEAR(*m.PAFRAC, 1.0, kTight);
  EXPECT_NEAR(*m.ENN_MN, 20.0, kTight);
  std::vector<std::string> nine = ten;
  nine[0].back() = '.';
  EXPECT_FALSE(Measure(Map(nine)).PAFRAC);
}

// Patches further apart than the search buckets are wide.
TEST(LandscapeMetricsTest, NearestNeighbourFarAway) {
  std::vector<std::string> rows(40, std::string(40, '.'));
  rows[0][0] = '#';
  rows[0][3] = '#';
  rows[20][20] = '#';
  const LandscapeMetrics m = Measure(Map(rows), 8, false, 1.0);
  EXPECT_NEAR(*m.ENN_MN, (3.0 + 3.0 + std::sqrt(17.0 * 17.0 + 20.0 * 20.0)) / 3.0, kTight);
}

// The nearest cell across a search-bucket edge (columns 7 | 8) is nearer than the one found
// in the patch's own bucket; the search must look one bucket further before it stops.
TEST(LandscapeMetricsTest, NearestNeighbourJustAcrossABucketEdge) {
  const LandscapeMetrics m = Measure(Map({".....#.#........",  //
                                          "........#.......",  //
                                          "................"}),
                                     4, false, 1.0);
  ASSERT_EQ(m.NP, 3u);
  // (7, 0) has (8, 1) at sqrt 2 and (5, 0) at 2; (5, 0) has (7, 0); (8, 1) has (7, 0).
  EXPECT_NEAR(*m.ENN_MN, (std::sqrt(2.0) + 2.0 + std::sqrt(2.0)) / 3.0, kTight);
}

// Two large blocks in opposite corners, further apart than a coarse search bucket: the
// search starts at the first ring that holds the other block, and must not start past it.
TEST(LandscapeMetricsTest, NearestNeighbourOfLargeFarBlocks) {
  std::vector<std::string> rows(300, std::string(300, '.'));
  for (int r = 0; r < 100; ++r) {
    rows[static_cast<std::size_t>(r)].replace(0, 100, std::string(100, '#'));
    rows[static_cast<std::size_t>(r + 200)].replace(200, 100, std::string(100, '#'));
  }
  rows[150][150] = '#';  // a third patch between them, nearer to both
  const LandscapeMetrics m = Measure(Map(rows), 8, false, 1.0);
  EXPECT_EQ(m.NP, 3u);
  // (99, 99) is 51 diagonal steps from (150, 150), (200, 200) 50; the cell's nearest is 50.
  EXPECT_NEAR(*m.ENN_MN, std::sqrt(2.0) * (51.0 + 50.0 + 50.0) / 3.0, kTight);
  rows[150][150] = '.';
  EXPECT_NEAR(*Measure(Map(rows), 8, false, 1.0).ENN_MN, std::sqrt(2.0) * 101.0, kTight);
}

TEST(LandscapeMetricsTest, WithoutAMetricScaleOnlyCountsAreMeasured) {
  const LandscapeMetrics m = Measure(Map({"#..#", "...."}), 8, false, std::nullopt);
  EXPECT_EQ(m.NP, 2u);
  EXPECT_NEAR(*m.PLAND, 25.0, kTight);
  EXPECT_TRUE(m.COHESION.has_value());
  for (const auto* value : {&m.PD, &m.ED, &m.AREA_MN, &m.FRAC_MN, &m.ENN_MN}) {
    EXPECT_FALSE(value->has_value());
  }
}

// ln a = 0 for a patch of exactly 1 m²: FRAC is undefined there, never NaN or infinite.
TEST(LandscapeMetricsTest, OneSquareMetrePatchHasNoFractalDimension) {
  const LandscapeMetrics m = Measure(Map({"#.", ".."}), 8, false, 1.0);
  EXPECT_FALSE(m.FRAC_MN);
  EXPECT_FALSE(m.FRAC_AM);
}

TEST(LandscapeMetricsTest, StreetsCountAsDevelopedOnlyWhenAsked) {
  Grid2D<TFineCell> fine(2, 1);
  fine(0, 0).LandUse = kLandDeveloped;
  fine(1, 0).LandUse = kLandStreet;
  EXPECT_EQ(DevelopedMask(fine, false).developed, (std::vector<std::uint8_t>{1, 0}));
  EXPECT_EQ(DevelopedMask(fine, true).developed, (std::vector<std::uint8_t>{1, 1}));
}

}  // namespace
}  // namespace veltmoor
