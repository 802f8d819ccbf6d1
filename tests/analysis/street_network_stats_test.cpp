#include "analysis/street_network_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "analysis/town_measures.h"
#include "support/test_world.h"

namespace veltmoor {
namespace {

constexpr double kTight = 1e-9;

StreetNetwork Network(std::vector<StreetNode> nodes, std::vector<StreetLink> links) {
  return {std::move(nodes), std::move(links)};
}

// One block of 100 m streets.
StreetNetwork Square() {
  return Network({{0, 0}, {100, 0}, {100, 100}, {0, 100}},
                 {{0, 1, 100}, {1, 2, 100}, {2, 3, 100}, {3, 0, 100}});
}

TEST(StreetNetworkStatsTest, SquareBlock) {
  const StreetNetworkStats s = ComputeStreetNetworkStats(Square(), 1e6);
  EXPECT_EQ(s.n, 4u);
  EXPECT_EQ(s.m, 8u);  // two-way streets
  EXPECT_NEAR(*s.k_avg, 4.0, kTight);
  EXPECT_NEAR(*s.streets_per_node_avg, 2.0, kTight);
  EXPECT_EQ(s.streets_per_node_counts, (std::vector<std::uint64_t>{0, 0, 4}));
  EXPECT_EQ(s.intersection_count, 4u);
  EXPECT_EQ(s.dead_end_count, 0u);
  EXPECT_NEAR(s.street_length_total, 400.0, kTight);
  EXPECT_NEAR(*s.street_length_avg, 100.0, kTight);
  EXPECT_EQ(s.street_segment_count, 4u);
  EXPECT_NEAR(s.edge_length_total, 800.0, kTight);
  EXPECT_NEAR(*s.circuity_avg, 1.0, kTight);
  EXPECT_NEAR(*s.self_loop_proportion, 0.0, kTight);
  EXPECT_NEAR(*s.orientation_entropy, std::log(4.0), kTight);  // N, E, S, W twice each
  EXPECT_NEAR(*s.node_density_km, 4.0, kTight);
  EXPECT_NEAR(*s.intersection_density_km, 4.0, kTight);
  EXPECT_NEAR(*s.street_density_km, 400.0, kTight);
  EXPECT_NEAR(*s.edge_density_km, 800.0, kTight);
  // Neighbours are 1 apart, opposite corners 200 m round over 141 m straight.
  EXPECT_EQ(s.detour_pairs, 1000u);
  EXPECT_NEAR(*s.detour_q1, 1.0, kTight);
  EXPECT_NEAR(*s.detour_q3, std::sqrt(2.0), kTight);
  EXPECT_GT(*s.detour_mean, 1.0);
  EXPECT_LT(*s.detour_mean, std::sqrt(2.0));
}

TEST(StreetNetworkStatsTest, StarHasOneIntersectionAndFourDeadEnds) {
  const StreetNetworkStats s =
      ComputeStreetNetworkStats(Network({{0, 0}, {0, 50}, {50, 0}, {0, -50}, {-50, 0}},
                                        {{0, 1, 50}, {0, 2, 50}, {0, 3, 50}, {0, 4, 50}}),
                                std::nullopt);
  EXPECT_NEAR(*s.k_avg, 3.2, kTight);
  EXPECT_NEAR(*s.streets_per_node_avg, 1.6, kTight);
  EXPECT_EQ(s.streets_per_node_counts, (std::vector<std::uint64_t>{0, 4, 0, 0, 1}));
  EXPECT_EQ(s.intersection_count, 1u);
  EXPECT_EQ(s.dead_end_count, 4u);
  EXPECT_NEAR(*s.orientation_entropy, std::log(4.0), kTight);
  EXPECT_FALSE(s.node_density_km);  // no area
  // Leaf to leaf: 100 m through the centre over 100 m or 70,7 m straight.
  EXPECT_NEAR(*s.detour_q1, 1.0, kTight);
  EXPECT_NEAR(*s.detour_q3, std::sqrt(2.0), kTight);
}

// A staircase street of 70 m between ends 50 m apart, then two straight ones east.
TEST(StreetNetworkStatsTest, PathWithABend) {
  const StreetNetwork path =
      Network({{0, 0}, {30, 40}, {60, 40}, {90, 40}}, {{0, 1, 70}, {1, 2, 30}, {2, 3, 30}});
  const StreetNetworkStats s = ComputeStreetNetworkStats(path, 1e4);
  EXPECT_NEAR(*s.circuity_avg, 130.0 / 110.0, kTight);
  EXPECT_EQ(s.intersection_count, 2u);
  EXPECT_EQ(s.dead_end_count, 2u);
  EXPECT_NEAR(*s.street_density_km, 130.0 / 0.01, kTight);
  // Bearings 36,9 and 216,9 once, 90 and 270 twice: four bins, shares 1/6, 1/6, 1/3, 1/3.
  EXPECT_NEAR(*s.orientation_entropy, std::log(6.0) / 3.0 + 2.0 * std::log(3.0) / 3.0, kTight);
  // Every pair lies between 1 (along the straight streets) and 70 / 50 (across the bend).
  EXPECT_GE(*s.detour_q1, 1.0 - kTight);
  EXPECT_LE(*s.detour_q3, 1.4 + kTight);
  EXPECT_GT(*s.detour_q3, 1.3);
}

// Bins are 10 degrees wide and centred on 0, 10, ...: a bearing of 45 belongs to the bin of
// 50, and so does 44,96, which OSMnx rounds to 45,0 first.
TEST(StreetNetworkStatsTest, BearingsAreRoundedThenBinnedLikeOsmnx) {
  const auto at = [](double degrees) {
    const double r = degrees * std::numbers::pi / 180.0;
    return StreetNode{1000.0 * std::sin(r), 1000.0 * std::cos(r)};
  };
  EXPECT_NEAR(
      *OrientationEntropy(Network({{0, 0}, at(44.96), at(50.0)}, {{0, 1, 1000}, {0, 2, 1000}})),
      std::log(2.0), kTight);
  EXPECT_NEAR(
      *OrientationEntropy(Network({{0, 0}, at(44.94), at(50.0)}, {{0, 1, 1000}, {0, 2, 1000}})),
      std::log(4.0), kTight);
}

TEST(StreetNetworkStatsTest, EmptyNetworkIsUndefinedNotNaN) {
  const StreetNetworkStats s = ComputeStreetNetworkStats({}, 1e6);
  EXPECT_EQ(s.n, 0u);
  EXPECT_FALSE(s.k_avg);
  EXPECT_FALSE(s.circuity_avg);
  EXPECT_FALSE(s.orientation_entropy);
  EXPECT_FALSE(s.self_loop_proportion);
  EXPECT_EQ(s.detour_pairs, 0u);
  const nlohmann::json json = StreetNetworkJson(s, {}, MapScale{1.0, {}, "m"});
  EXPECT_TRUE(json["circuity_avg"].is_null());
  EXPECT_EQ(json.dump().find("NaN"), std::string::npos);
}

TEST(StreetNetworkStatsTest, DetourSampleIsSeeded) {
  const StreetNetwork path =
      Network({{0, 0}, {30, 40}, {60, 40}, {90, 40}}, {{0, 1, 70}, {1, 2, 30}, {2, 3, 30}});
  DetourSample a;
  a.sources = 3;
  a.targets_per_source = 1;
  DetourSample b = a;
  b.seed = 2;
  EXPECT_EQ(ComputeStreetNetworkStats(path, {}, a).detour_mean,
            ComputeStreetNetworkStats(path, {}, a).detour_mean);
  EXPECT_EQ(ComputeStreetNetworkStats(path, {}, a).detour_pairs, 3u);
  EXPECT_NE(ComputeStreetNetworkStats(path, {}, a).detour_mean,
            ComputeStreetNetworkStats(path, {}, b).detour_mean);
}

// A world's link runs along its four-connected staircase of fine cells; map y points north.
TEST(StreetNetworkStatsTest, WorldLinksAreMeasuredAlongTheirTracedCells) {
  testing::TestWorld t(5, 5);
  testing::AddNode(t.world(), 0, 0);
  testing::AddNode(t.world(), 2, 1);
  testing::Link(t.world(), 0, 1);
  const StreetNetwork network = NetworkOfWorld(t.world(), {100.0, 500.0, 2.0});
  ASSERT_EQ(network.links.size(), 1u);
  EXPECT_NEAR(network.links[0].length, (48.0 + 24.0) * 2.0, kTight);
  EXPECT_NEAR(network.nodes[0].x, 100.0 + 12.0 * 2.0, kTight);
  EXPECT_NEAR(network.nodes[0].y, 500.0 - 12.0 * 2.0, kTight);
}

TEST(TownMeasureTest, DottedNamesReachNestedNumbers) {
  const nlohmann::json measures = {
      {"Landscape", {{"ED", 12.5}, {"CONTAG", nullptr}}},
      {"StreetNetwork", {{"circuity_avg", 1.25}, {"streets_per_node_proportions", {{"3", 0.5}}}}}};
  EXPECT_EQ(TownMeasure(measures, "Landscape.ED"), 12.5);
  EXPECT_EQ(TownMeasure(measures, "StreetNetwork.circuity_avg"), 1.25);
  EXPECT_EQ(TownMeasure(measures, "StreetNetwork.streets_per_node_proportions.3"), 0.5);
  EXPECT_FALSE(TownMeasure(measures, "Landscape.CONTAG"));  // undefined
  EXPECT_FALSE(TownMeasure(measures, "StreetNetwork.streets_per_node_proportions.4"));
  EXPECT_FALSE(TownMeasure(measures, "Landscape.NOPE"));
  EXPECT_FALSE(TownMeasure(measures, "Landscape.ED.x"));
  EXPECT_FALSE(TownMeasure(nlohmann::json::array(), "Landscape.ED"));
}

}  // namespace
}  // namespace veltmoor
