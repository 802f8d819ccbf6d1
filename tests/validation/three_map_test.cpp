// The three-map statistics on small maps whose every figure is worked out by hand here.
#include "validation/three_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace veltmoor {
namespace {

// A map from rows of '1' (developed) and '.' (free).
struct Map {
  int columns = 0;
  int rows = 0;
  std::vector<std::uint8_t> cells;

  explicit Map(const std::vector<std::string>& lines)
      : columns(static_cast<int>(lines.front().size())), rows(static_cast<int>(lines.size())) {
    for (const std::string& line : lines) {
      for (const char c : line) {
        cells.push_back(c == '1' ? 1 : 0);
      }
    }
  }
  MaskView View() const { return {columns, rows, cells}; }
};

std::map<std::string, Figure> ByName(const std::vector<NamedFigure>& figures) {
  std::map<std::string, Figure> named;
  for (const NamedFigure& f : figures) {
    named[f.name] = f.figure;
  }
  return named;
}

void ExpectValue(const Figure& figure, double expected, const std::string& what) {
  ASSERT_TRUE(figure.value.has_value()) << what << " undefined: " << figure.undefined_because;
  EXPECT_NEAR(*figure.value, expected, 1e-12) << what;
}

void ExpectUndefined(const Figure& figure, const std::string& what) {
  EXPECT_FALSE(figure.value.has_value()) << what << " = " << figure.value.value_or(0.0);
  EXPECT_FALSE(figure.undefined_because.empty()) << what;
}

ThreeMapComparison Compare(const Map& t0, const Map& t1, const Map& s,
                           const std::vector<std::uint64_t>& seeds = {},
                           std::vector<std::uint8_t>* outcome = nullptr) {
  std::span<std::uint8_t> out;
  if (outcome != nullptr) {
    outcome->assign(t0.cells.size(), 255);
    out = *outcome;
  }
  return CompareThreeMaps(t0.View(), t1.View(), s.View(), seeds, out);
}

// T0 holds 3 developed cells; T1 adds (2,0), (1,1), (3,3); S adds (1,1), (2,1), (2,3) and
// loses (0,1): one hit, two misses that are near misses, two false alarms, a simulated loss.
const Map kT0({"11..", "1...", "....", "...."});
const Map kT1({"111.", "11..", "....", "...1"});
const Map kS({"11..", ".11.", "....", "..1."});

TEST(ThreeMapTest, CountsAndOutcomeMapOfEveryCell) {
  std::vector<std::uint8_t> outcome;
  const ThreeMapComparison c = Compare(kT0, kT1, kS, {}, &outcome);
  const JointCounts& n = c.model.counts;
  EXPECT_EQ(n.Hits(), 1u);
  EXPECT_EQ(n.Misses(), 2u);
  EXPECT_EQ(n.FalseAlarms(), 2u);
  EXPECT_EQ(n.CorrectRejections(), 8u);
  EXPECT_EQ(n.At(true, true, true), 2u);
  EXPECT_EQ(n.At(true, true, false), 1u);
  EXPECT_EQ(n.At(true, false, true) + n.At(true, false, false), 0u);
  using enum Outcome;
  const std::vector<Outcome> expected = {kPersistence,
                                         kPersistence,
                                         kMiss,
                                         kCorrectRejection,  // row 0
                                         kSimulatedLoss,
                                         kHit,
                                         kFalseAlarm,
                                         kCorrectRejection,  // row 1
                                         kCorrectRejection,
                                         kCorrectRejection,
                                         kCorrectRejection,
                                         kCorrectRejection,
                                         kCorrectRejection,
                                         kCorrectRejection,
                                         kFalseAlarm,
                                         kMiss};
  ASSERT_EQ(outcome.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(outcome[i], static_cast<std::uint8_t>(expected[i])) << "cell " << i;
  }
  ASSERT_EQ(c.losses[1].size(), 1u);  // the simulated loss, named by its place
  EXPECT_EQ(c.losses[1][0].column, 0);
  EXPECT_EQ(c.losses[1][0].row, 1);
  EXPECT_TRUE(c.losses[0].empty());
  EXPECT_TRUE(c.losses[2].empty());
}

TEST(ThreeMapTest, CellStatisticsOfModelAndNullModel) {
  const ThreeMapComparison c = Compare(kT0, kT1, kS);
  auto f = ByName(CellFigures(c.model.counts));
  ExpectValue(f["FoM"], 1.0 / 5, "FoM");
  ExpectValue(f["ProducersAccuracy"], 1.0 / 3, "PA");
  ExpectValue(f["UsersAccuracy"], 1.0 / 3, "UA");
  // Over all cells, S against T1: 3 developed in both, 2 in S only, 3 in T1 only, 8 in neither.
  ExpectValue(f["OverallAgreement"], 11.0 / 16, "OA");
  ExpectValue(f["QuantityDisagreement"], 1.0 / 16, "QD");
  ExpectValue(f["AllocationDisagreement"], 4.0 / 16, "AD");
  ExpectValue(f["TotalDisagreement"], 5.0 / 16, "TD");
  // Chance agreement (5*6 + 11*10) / 256 = 140/256 against 176/256 observed.
  ExpectValue(f["Kappa"], 36.0 / 116, "Kappa");
  // Transitions: free cells of T0 go 10/3 in S and in T1 (109/13); developed ones 1/2 in S,
  // 0/3 in T1 (6/3); expected agreement (109/13 + 2) / 16 = 135/208 against 143/208.
  ExpectValue(f["KappaSimulation"], 8.0 / 73, "KSim");
  ExpectValue(f["LeeSallee"], 3.0 / 8, "LeeSallee");

  auto null = ByName(CellFigures(c.null_model.counts));
  ExpectValue(null["FoM"], 0.0, "null FoM");
  ExpectValue(null["ProducersAccuracy"], 0.0, "null PA");
  ExpectUndefined(null["UsersAccuracy"], "null UA");
  ExpectValue(null["OverallAgreement"], 13.0 / 16, "null OA");
  ExpectValue(null["QuantityDisagreement"], 3.0 / 16, "null QD");
  ExpectValue(null["AllocationDisagreement"], 0.0, "null AD");
  ExpectValue(null["Kappa"], 60.0 / 108, "null Kappa");
  // A model that changes nothing is exactly as good as chance at the transitions.
  ExpectValue(null["KappaSimulation"], 0.0, "null KSim");
  ExpectValue(null["LeeSallee"], 0.5, "null LeeSallee");
}

TEST(ThreeMapTest, ResolutionTableTurnsNearMissesIntoHits) {
  const ThreeMapComparison c = Compare(kT0, kT1, kS);
  ASSERT_EQ(c.blocks, (std::vector<int>{1, 2, 4}));
  struct Row {
    double agreement, quantity, allocation, fom;
  };
  // Blocks of 2: T1/S developed 4/3, 1/1, 0/0, 1/1; observed and simulated change 1/1 in
  // three blocks. Blocks of 4: the whole map, 6 against 5.
  const std::vector<Row> model = {{11.0 / 16, 1.0 / 16, 4.0 / 16, 1.0 / 5},
                                  {15.0 / 16, 1.0 / 16, 0.0, 1.0},
                                  {15.0 / 16, 1.0 / 16, 0.0, 1.0}};
  for (std::size_t level = 0; level < model.size(); ++level) {
    auto f = ByName(BlockFigures(c.model, level));
    const std::string at = "block " + std::to_string(c.blocks[level]);
    ExpectValue(f["OverallAgreement"], model[level].agreement, at + " OA");
    ExpectValue(f["QuantityDisagreement"], model[level].quantity, at + " QD");
    ExpectValue(f["AllocationDisagreement"], model[level].allocation, at + " AD");
    ExpectValue(f["FoM"], model[level].fom, at + " FoM");
  }
  // The null model: T0 against T1 per block of 2 is 3/4, 0/1, 0/0, 0/1.
  auto null = ByName(BlockFigures(c.null_model, 1));
  ExpectValue(null["OverallAgreement"], 13.0 / 16, "null OA at 2");
  ExpectValue(null["AllocationDisagreement"], 0.0, "null AD at 2");
  ExpectValue(null["FoM"], 0.0, "null FoM at 2");
}

TEST(ThreeMapTest, PartialBlocksAtTheEdgesOfA10By10Map) {
  std::vector<std::string> empty(10, "..........");
  std::vector<std::string> t1 = empty;
  t1[9][9] = '1';
  std::vector<std::string> s = empty;
  s[7][7] = '1';
  const ThreeMapComparison c = Compare(Map(empty), Map(t1), Map(s));
  ASSERT_EQ(c.blocks, (std::vector<int>{1, 2, 4, 8, 16}));
  // (7,7) and (9,9) share no block until the one of 16 that holds the whole map.
  const std::vector<double> allocation = {0.02, 0.02, 0.02, 0.02, 0.0};
  const std::vector<double> fom = {0.0, 0.0, 0.0, 0.0, 1.0};
  for (std::size_t level = 0; level < c.blocks.size(); ++level) {
    auto f = ByName(BlockFigures(c.model, level));
    ExpectValue(f["AllocationDisagreement"], allocation[level], "AD");
    ExpectValue(f["FoM"], fom[level], "FoM");
    ExpectValue(f["QuantityDisagreement"], 0.0, "QD");
  }
  s[7][7] = '.';
  s[8][8] = '1';  // now both lie in the last block of 2 x 2, cells 8..9
  const ThreeMapComparison near = Compare(Map(empty), Map(t1), Map(s));
  ExpectValue(ByName(BlockFigures(near.model, 1))["FoM"], 1.0, "near FoM at 2");
}

TEST(ThreeMapTest, MapsThatShareNothingAndMapsThatAreEqual) {
  const Map none({"....", "....", "....", "...."});
  const Map left({"11..", "11..", "11..", "11.."});
  const Map right({"..11", "..11", "..11", "..11"});
  auto apart = ByName(CellFigures(Compare(none, left, right).model.counts));
  ExpectValue(apart["FoM"], 0.0, "FoM");
  ExpectValue(apart["OverallAgreement"], 0.0, "OA");
  ExpectValue(apart["QuantityDisagreement"], 0.0, "QD");
  ExpectValue(apart["AllocationDisagreement"], 1.0, "AD");
  ExpectValue(apart["Kappa"], -1.0, "Kappa");
  ExpectValue(apart["KappaSimulation"], -1.0, "KSim");
  ExpectValue(apart["LeeSallee"], 0.0, "LeeSallee");

  const Map t0({"1111", "....", "....", "...."});
  const Map grown({"1111", "1111", "....", "...."});
  auto equal = ByName(CellFigures(Compare(t0, grown, grown).model.counts));
  for (const char* name : {"FoM", "ProducersAccuracy", "UsersAccuracy", "OverallAgreement", "Kappa",
                           "KappaSimulation", "LeeSallee"}) {
    ExpectValue(equal[name], 1.0, name);
  }
  ExpectValue(equal["TotalDisagreement"], 0.0, "TD");
}

TEST(ThreeMapTest, WithoutObservedChangeTheChangeFiguresAreUndefined) {
  const Map t0({"11..", "1...", "....", "...."});
  auto still = ByName(CellFigures(Compare(t0, t0, t0).model.counts));
  for (const char* name : {"FoM", "ProducersAccuracy", "UsersAccuracy", "KappaSimulation"}) {
    ExpectUndefined(still[name], name);
  }
  ExpectValue(still["Kappa"], 1.0, "Kappa");
  ExpectValue(still["LeeSallee"], 1.0, "LeeSallee");

  // S grows where T1 did not: no hit is possible, and every change is a false alarm.
  auto wrong = ByName(CellFigures(Compare(t0, t0, kS).model.counts));
  ExpectUndefined(wrong["ProducersAccuracy"], "PA");
  ExpectValue(wrong["FoM"], 0.0, "FoM");
  ExpectValue(wrong["UsersAccuracy"], 0.0, "UA");

  const Map none({"....", "....", "....", "...."});
  auto empty = ByName(CellFigures(Compare(none, none, none).model.counts));
  ExpectUndefined(empty["Kappa"], "Kappa of two empty maps");
  ExpectUndefined(empty["LeeSallee"], "Lee-Sallee of two empty maps");
}

TEST(ThreeMapTest, RandomAllocationsPlaceTheSimulatedQuantityAmongFreeCells) {
  std::vector<std::uint64_t> seeds;
  for (std::uint64_t k = 0; k < 4000; ++k) {
    seeds.push_back(k * 7919 + 1);
  }
  const ThreeMapComparison c = Compare(kT0, kT1, kS, seeds);
  ASSERT_TRUE(c.random_expected_hits.has_value());
  EXPECT_DOUBLE_EQ(*c.random_expected_hits, 9.0 / 13);  // 3 of 13 free cells, 3 observed
  double hits = 0.0;
  double squares = 0.0;
  for (const MapComparison& r : c.randoms) {
    EXPECT_EQ(r.counts.SimulatedChange(), 3u);
    EXPECT_EQ(r.counts.Total(), 16u);
    EXPECT_EQ(r.counts.At(true, true, false), 0u);  // developed land stays
    hits += static_cast<double>(r.counts.Hits());
    squares += static_cast<double>(r.counts.Hits() * r.counts.Hits());
  }
  const double mean = hits / 4000;
  // Hypergeometric: variance 3 * 3/13 * 10/13 * 10/12.
  EXPECT_NEAR(mean, 9.0 / 13, 0.05);
  EXPECT_NEAR(squares / 4000 - mean * mean, 900.0 / 2028, 0.05);
  // The block of the whole map holds all 3 changes of every allocation: a full hit, and T0
  // plus the change is exactly T1's quantity.
  for (const MapComparison& r : c.randoms) {
    auto whole = ByName(BlockFigures(r, 2));
    ExpectValue(whole["FoM"], 1.0, "random FoM at the whole map");
    ExpectValue(whole["OverallAgreement"], 1.0, "random OA at the whole map");
  }
  // Same seeds, same allocations.
  const ThreeMapComparison again = Compare(kT0, kT1, kS, {seeds.begin(), seeds.begin() + 3});
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(again.randoms[k].counts.n, c.randoms[k].counts.n);
  }
}

// The allocations are drawn two rows at a time: how much change falls in the rows observed
// to change must still follow one hypergeometric law over the whole map, whatever the rows.
TEST(ThreeMapTest, RandomAllocationsAreUniformAcrossRowsOfBlocks) {
  const auto hits_of = [](const Map& t1, const Map& s, std::size_t runs) {
    std::vector<std::uint64_t> seeds;
    for (std::uint64_t k = 0; k < runs; ++k) {
      seeds.push_back(k + 11);
    }
    const Map t0(std::vector<std::string>(static_cast<std::size_t>(t1.rows),
                                          std::string(static_cast<std::size_t>(t1.columns), '.')));
    std::vector<double> hits;
    for (const MapComparison& r : Compare(t0, t1, s, seeds).randoms) {
      EXPECT_EQ(r.counts.SimulatedChange(),
                s.cells.size() - std::count(s.cells.begin(), s.cells.end(), 0));
      hits.push_back(static_cast<double>(r.counts.Hits()));
    }
    double mean = 0.0;
    for (const double h : hits) {
      mean += h / static_cast<double>(runs);
    }
    double variance = 0.0;
    for (const double h : hits) {
      variance += (h - mean) * (h - mean) / static_cast<double>(runs - 1);
    }
    return std::pair{mean, variance};
  };
  // 7 rows: the last row of blocks is one row. T1 changes rows 0, 1 and 6; S changes 7 of
  // the 14 cells: hits ~ H(14, 6, 7), mean 3, variance 7 * 6/14 * 8/14 * 7/13 = 12/13.
  const Map t1({"11", "11", "..", "..", "..", "..", "11"});
  const Map s({"..", "1.", "11", ".1", "..", "11", ".1"});
  const auto [mean, variance] = hits_of(t1, s, 8000);
  EXPECT_NEAR(mean, 3.0, 0.05);
  EXPECT_NEAR(variance, 12.0 / 13, 0.06);
  // 40 x 40, the top half changed, 500 cells simulated: H(1600, 800, 500), mean 250,
  // variance 500 * 1/2 * 1/2 * 1100/1599.
  std::vector<std::string> top;
  std::vector<std::string> spread;
  for (int row = 0; row < 40; ++row) {
    top.emplace_back(40, row < 20 ? '1' : '.');
    std::string line(40, '.');
    for (int column = 0; column < 40; ++column) {
      line[static_cast<std::size_t>(column)] = (row * 40 + column) % 16 < 5 ? '1' : '.';
    }
    spread.push_back(line);
  }
  const auto [big_mean, big_variance] = hits_of(Map(top), Map(spread), 2000);
  EXPECT_NEAR(big_mean, 250.0, 1.0);
  EXPECT_NEAR(big_variance, 500.0 / 4 * 1100 / 1599, 12.0);
}

TEST(ThreeMapTest, ARandomAllocationOfEveryFreeCellIsTheModelItself) {
  const Map t0({"1...", "....", "....", "...."});
  const Map t1({"11..", "1...", "....", "...."});
  const Map all({"1111", "1111", "1111", "1111"});
  const ThreeMapComparison c = Compare(t0, t1, all, {5, 6, 7});
  const std::vector<Spread> spreads = [&] {
    std::vector<Spread> list;
    for (std::size_t i = 0; i < CellFigureNames().size(); ++i) {
      std::vector<Figure> runs;
      for (const MapComparison& r : c.randoms) {
        runs.push_back(CellFigures(r.counts)[i].figure);
      }
      list.push_back(SpreadOf(runs));
    }
    return list;
  }();
  const std::vector<NamedFigure> model = CellFigures(c.model.counts);
  for (std::size_t i = 0; i < model.size(); ++i) {
    ASSERT_EQ(model[i].figure.value.has_value(), spreads[i].mean.value.has_value())
        << model[i].name;
    if (model[i].figure.value) {
      ExpectValue(spreads[i].mean, *model[i].figure.value, model[i].name);
      ExpectValue(spreads[i].sd, 0.0, model[i].name + " sd");
    }
  }
}

TEST(ThreeMapTest, SpreadSkipsUndefinedRunsAndSaysWhyWhenNoneIsLeft) {
  const Spread s = SpreadOf({{1.0, {}}, {std::nullopt, "x"}, {2.0, {}}, {3.0, {}}});
  ExpectValue(s.mean, 2.0, "mean");
  ExpectValue(s.sd, 1.0, "sd");
  const Spread one = SpreadOf({{4.0, {}}});
  ExpectValue(one.mean, 4.0, "mean of one");
  ExpectUndefined(one.sd, "sd of one");
  const Spread none = SpreadOf({{std::nullopt, "no observed change"}});
  EXPECT_EQ(none.mean.undefined_because, "no observed change");
  ExpectUndefined(SpreadOf({}).mean, "mean of no runs");
}

}  // namespace
}  // namespace veltmoor
