#include "analysis/fractal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/ConnTable.h"
#include "analysis/analysis_values.h"
#include "analysis/dijkstra.h"
#include "analysis/path_network.h"
#include "analysis/segregation.h"
#include "simulation/node_creation.h"
#include "simulation/numbers.h"
#include "simulation/setup.h"
#include "simulation/window_outputs.h"
#include "support/test_world.h"

namespace veltmoor {
namespace {

using testing::PathNetwork;
using testing::TestSimulation;
using testing::TestWorld;

constexpr ValueKey kFractalKeys[] = {value_key::kGridDimension,   value_key::kGridSlope,
                                     value_key::kRadialDimension, value_key::kRadialSlope,
                                     value_key::kNodeDimension,   value_key::kNodeSlope,
                                     value_key::kEdgeDimension,   value_key::kEdgeSlope};

// A world made by "new setup" on a panel of exactly columns x rows cells, without a node.
struct FractalWorld {
  FractalWorld(int columns, int rows, int cellSize = 24) : t(columns * cellSize, rows * cellSize) {
    t.settings.Set(setting::kCellScale, std::to_string(cellSize));
    t.settings.SetChecked(setting::kCenterNode, false);
    NewSetup(t.sim);
  }

  Simulation& sim() { return t.sim; }
  World& world() { return t.sim.world; }
  std::string Value(ValueKey key) { return sim().valueList.Value(key); }
  const chart::Series& Series(chart::SeriesName name) { return sim().charts.GetSeries(name); }
  std::string Title(chart::ChartName chart) { return sim().charts.Get(chart).Title(); }

  void Develop(int c, int r) { world().FineGrid(c, r).LandUse = kLandDeveloped; }
  void DevelopAll() {
    for (TFineCell& fine : world().FineGrid.Cells()) {
      fine.LandUse = kLandDeveloped;
    }
  }
  int AddNode(int column, int row) {
    CreateNode(sim().Growth(), world().CellGrid(column, row));
    return static_cast<int>(world().NodeList.size()) - 1;
  }
  // A segment recorded at both ends without tracing a street, so no land changes.
  void Link(int a, int b) {
    TAgent& na = world().Node(static_cast<std::size_t>(a));
    TAgent& nb = world().Node(static_cast<std::size_t>(b));
    const int length = PixelDistance(na.X, na.Y, nb.X, nb.Y);
    na.Links.push_back({b, length});
    nb.Links.push_back({a, length});
  }
  void FillTable() {
    ComputeAllPaths(sim());
    FillConnectivityTable(sim());
  }

  TestSimulation t;
};

std::vector<double> XValues(const chart::Series& series) {
  std::vector<double> xs;
  for (const chart::Point& p : series.Points()) {
    xs.push_back(p.x);
  }
  return xs;
}

std::vector<double> Log10Of(std::initializer_list<double> values) {
  std::vector<double> logs;
  for (double v : values) {
    logs.push_back(std::log10(v));
  }
  return logs;
}

void ExpectNear(const std::vector<double>& actual, const std::vector<double>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i], expected[i], 1e-12) << "at " << i;
  }
}

bool HasNonFiniteText(const std::string& text) {
  for (const char* word : {"nan", "NaN", "NAN", "inf", "Inf", "INF"}) {
    if (text.find(word) != std::string::npos) {
      return true;
    }
  }
  return false;
}

// Whatever the world, the fractal outputs hold only finite numbers, the dash, or the empty
// text of a row no analysis wrote yet.
void ExpectOnlyFiniteOutputs(Simulation& sim) {
  for (const chart::ChartName name : {chart_name::kRadialFractal, chart_name::kGridFractal}) {
    const chart::Chart& chart = sim.charts.Get(name);
    EXPECT_FALSE(HasNonFiniteText(chart.Title())) << chart.Title();
    for (const auto& series : chart.AllSeries()) {
      for (const chart::Point& p : series->Points()) {
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y)) << series->Name();
      }
    }
  }
  for (const ValueKey key : kFractalKeys) {
    const std::string text = sim.valueList.Value(key);
    if (text.empty() || text == "-") {
      continue;
    }
    EXPECT_FALSE(HasNonFiniteText(text)) << key.View() << " = " << text;
    EXPECT_NO_THROW(EXPECT_TRUE(std::isfinite(ParseDecimal(text))) << key.View()) << key.View();
  }
}

// ---- grid analysis ----

TEST(GridAnalysisTest, A25By28MapIsTiledFromTwoToEightAndGetsAnIndexOfSegregation) {
  FractalWorld w(25, 28);
  w.Develop(10, 10);
  GridAnalysis(w.sim());
  std::vector<double> expected = {0.0};
  for (double x : Log10Of({2, 3, 4, 5, 6, 7, 8})) {
    expected.push_back(x);
  }
  ExpectNear(XValues(w.Series(series_name::kGridFractal)), expected);
  EXPECT_EQ(w.Series(series_name::kSegregationByStep).Count(), 1u);
}

// Tiles holding a developed fine cell, by visiting every fine cell of every tile.
double OccupiedTilesDirectly(const World& world, int n) {
  const std::vector<int> colBound = TileBounds(world.FineGrid.Columns(), n);
  const std::vector<int> rowBound = TileBounds(world.FineGrid.Rows(), n);
  int occupied = 0;
  for (int a = 0; a < n; ++a) {
    for (int b = 0; b < n; ++b) {
      bool any = false;
      for (int r = rowBound[a] + 1; r <= rowBound[a + 1]; ++r) {
        for (int c = colBound[b] + 1; c <= colBound[b + 1]; ++c) {
          any = any || world.FineGrid(c, r).IsDeveloped;
        }
      }
      occupied += any ? 1 : 0;
    }
  }
  return occupied;
}

TEST(GridAnalysisTest, ScatteredLandCountsAsTileByTileAndTheIndexMatchesThePeriodicOne) {
  FractalWorld w(25, 28);
  std::mt19937 random(11);
  for (TFineCell& fine : w.world().FineGrid.Cells()) {
    const unsigned draw = random() % 50;
    fine.LandUse = draw == 0 ? kLandDeveloped : draw < 6 ? kLandStreet : kLandFree;
    fine.IsDeveloped = draw % 2 == 0;  // stale marks the analysis must replace
  }
  w.world().TimeStep = 40;
  GridAnalysis(w.sim());

  const auto& points = w.Series(series_name::kGridFractal).Points();
  ASSERT_EQ(points.size(), 8u);
  for (int n = 2; n <= 8; ++n) {
    EXPECT_NEAR(points[static_cast<std::size_t>(n - 1)].y,
                std::log10(OccupiedTilesDirectly(w.world(), n)), 1e-12)
        << "n = " << n;
  }
  const std::string gridIndex = w.sim().DissimiGrid.Cell(2, 1);
  PeriodicSegregation(w.sim());
  const auto& is = w.Series(series_name::kSegregationByStep).Points();
  ASSERT_EQ(is.size(), 2u);
  EXPECT_EQ(is[0], is[1]);
  EXPECT_EQ(w.sim().DissimiGrid.Cell(2, 1), gridIndex);
}

TEST(GridAnalysisTest, AFullyDeveloped12By12MapHasDimensionTwo) {
  FractalWorld w(12, 12);
  w.DevelopAll();
  GridAnalysis(w.sim());

  const auto& points = w.Series(series_name::kGridFractal).Points();
  ASSERT_EQ(points.size(), 4u);  // the origin and n = 2, 3, 4 (sides 6, 4, 3)
  EXPECT_EQ(points[0], (chart::Point{0, 0}));
  for (std::size_t i = 1; i < points.size(); ++i) {
    const double n = static_cast<double>(i) + 1;
    EXPECT_NEAR(points[i].x, std::log10(n), 1e-12);
    EXPECT_NEAR(points[i].y, 2 * std::log10(n), 1e-12);
  }
  EXPECT_EQ(w.Value(value_key::kGridDimension), "2");
  EXPECT_EQ(w.Value(value_key::kGridSlope), "2");
  EXPECT_EQ(w.Title(chart_name::kGridFractal), "Fractal Grid Analysis, r²_grid = 1");
  EXPECT_EQ(w.Series(series_name::kGridFractalTrend).Count(), 2u);
  EXPECT_EQ(w.Series(series_name::kSegregationByStep).Count(), 0u);
}

TEST(GridAnalysisTest, WithoutDevelopedLandNothingIsFittedAndOldPointsGo) {
  FractalWorld w(25, 28);
  w.Develop(10, 10);
  GridAnalysis(w.sim());
  ASSERT_FALSE(w.Series(series_name::kGridFractal).Points().empty());

  w.world().FineGrid(10, 10).LandUse = kLandFree;
  GridAnalysis(w.sim());
  EXPECT_TRUE(w.Series(series_name::kGridFractal).Points().empty());
  EXPECT_TRUE(w.Series(series_name::kGridFractalTrend).Points().empty());
  EXPECT_TRUE(w.Series(series_name::kGridFractalCorrelation).Points().empty());
  EXPECT_EQ(w.Value(value_key::kGridDimension), "-");
  EXPECT_EQ(w.Value(value_key::kGridSlope), "-");
  EXPECT_EQ(w.Title(chart_name::kGridFractal), "Fractal Grid Analysis, r²_grid = -");
  EXPECT_EQ(w.Value(value_key::kSegregation), "-");
  ExpectOnlyFiniteOutputs(w.sim());
}

TEST(GridAnalysisTest, AMapTooSmallForAnyLevelStillAnalysesTheFirst) {
  FractalWorld w(1, 1);  // the side at n = 2 is already below a sixth of a cell
  w.DevelopAll();
  GridAnalysis(w.sim());
  ExpectNear(XValues(w.Series(series_name::kGridFractal)), {0.0, std::log10(2.0)});
  EXPECT_EQ(w.Value(value_key::kGridDimension),
            "2");  // all four tiles of the 3 x 3 fine cells hold land
  EXPECT_EQ(w.Value(value_key::kGridSlope), "2");
  // Two points already make a line to correlate with.
  EXPECT_EQ(w.Title(chart_name::kGridFractal), "Fractal Grid Analysis, r²_grid = 1");
}

TEST(GridAnalysisTest, CellsOfThreePixelsStillEndTheTiling) {
  // A sixth of 3 pixels rounds to 0, which every side would pass; the tiling ends at the
  // first level whose tile is under one cell: 10 / 20 = 0.5 rounds to 0.
  FractalWorld w(10, 10, 3);
  w.DevelopAll();
  GridAnalysis(w.sim());
  const std::vector<double> xs = XValues(w.Series(series_name::kGridFractal));
  ASSERT_EQ(xs.size(), 20u);
  EXPECT_NEAR(xs.back(), std::log10(20.0), 1e-12);
  ExpectOnlyFiniteOutputs(w.sim());
}

// ---- edge matrix ----

struct PlacedNetwork : PathNetwork {
  explicit PlacedNetwork(int nodes) : PathNetwork(nodes) {}
  void Place(int node, int x, int y) {
    world().Node(static_cast<std::size_t>(node)).X = x;
    world().Node(static_cast<std::size_t>(node)).Y = y;
  }
};

TEST(BuildEdgeMatrixTest, ASegmentIsStoredOnceUnderTheLowerIndex) {
  PlacedNetwork net(4);
  net.Link(3, 1);
  net.Link(1, 3);                            // a second segment between the same two nodes
  net.world().EdgeMatrix[{0, 2}] = TEdge{};  // left from an earlier network
  BuildEdgeMatrix(net.world());

  ASSERT_EQ(net.world().EdgeMatrix.size(), 1u);
  const auto found = net.world().EdgeMatrix.find({1, 3});
  ASSERT_NE(found, net.world().EdgeMatrix.end());
  EXPECT_EQ(found->second.NodeA, 1);
  EXPECT_EQ(found->second.NodeB, 3);
}

TEST(BuildEdgeMatrixTest, MidpointRoundsHalvesToEvenAndLengthIsThePixelDistance) {
  PlacedNetwork net(4);
  net.Place(0, 10, 20);
  net.Place(1, 15, 15);
  net.Place(2, 13, 0);
  net.Place(3, 8, 0);
  net.Link(0, 1);
  net.Link(3, 2);
  BuildEdgeMatrix(net.world());

  const TEdge& up = net.world().EdgeMatrix.at({0, 1});
  EXPECT_EQ(up.MidX, 12);      // 10 + Round(2.5)
  EXPECT_EQ(up.MidY, 18);      // 20 + Round(-2.5)
  EXPECT_EQ(up.Length, 7.0f);  // sqrt(50) = 7.07
  const TEdge& left = net.world().EdgeMatrix.at({2, 3});
  EXPECT_EQ(left.MidX, 11);  // 13 + Round(-2.5)
  EXPECT_EQ(left.MidY, 0);
  EXPECT_EQ(left.Length, 5.0f);
}

// ---- central node and centre of gravity ----

TEST(FindCentralNodeTest, TheNodeWithTheSmallestMeanPathLengthWins) {
  PathNetwork chain(3);
  chain.Chain(3);  // ML 1, 0.67, 1
  ComputeAllPaths(chain.sim());
  FillConnectivityTable(chain.sim());
  EXPECT_EQ(FindCentralNode(chain.sim()), 1);

  PathNetwork four(4);
  four.Chain(4);  // ML 1.5, 1, 1, 1.5: the lower index wins the tie
  ComputeAllPaths(four.sim());
  FillConnectivityTable(four.sim());
  EXPECT_EQ(FindCentralNode(four.sim()), 1);
}

TEST(FindCentralNodeTest, OnlyNodesTheTableListsTakePart) {
  PathNetwork net(3);
  net.Chain(3);
  EXPECT_EQ(FindCentralNode(net.sim()), 0);  // never filled

  ComputeAllPaths(net.sim());
  FillConnectivityTable(net.sim());
  net.AddNode();  // made after the table: no ML to compare
  net.Link(3, 1);
  EXPECT_EQ(FindCentralNode(net.sim()), 1);

  // A table of a larger network than the current one never names a node that is gone.
  PathNetwork star(5);
  for (int leaf = 0; leaf < 4; ++leaf) {
    star.Link(4, leaf);
  }
  ComputeAllPaths(star.sim());
  FillConnectivityTable(star.sim());
  star.world().NodeList.resize(2);
  EXPECT_EQ(FindCentralNode(star.sim()), 0);
}

TEST(CentreOfGravityTest, MeanPositionOfDevelopedLandRoundedHalvesToEven) {
  TestWorld w(3, 3);
  EXPECT_FALSE(CentreOfGravity(w.world()).has_value());

  w.Develop(2, 0);
  w.Develop(3, 0);
  w.Fine(8, 8).IsDeveloped = true;  // only LandUse counts here
  w.Street(8, 7);
  EXPECT_EQ(CentreOfGravity(w.world()), (FineCellPosition{2, 0}));  // 2.5 rounds to 2

  w.Develop(4, 6);
  EXPECT_EQ(CentreOfGravity(w.world()), (FineCellPosition{3, 2}));  // 3 and 2
}

// ---- radial analysis ----

TEST(RadialAnalysisTest, TheDefaultCentreOfA25By28MapHas37Radii) {
  FractalWorld w(25, 28);
  w.DevelopAll();
  RadialAnalysis(w.sim());

  // Centre fine cell (38, 42); radii 8, 16, ..., 296 pixels.
  const auto& points = w.Series(series_name::kDevelopedFractal).Points();
  ASSERT_EQ(points.size(), 37u);
  EXPECT_NEAR(points.front().x, std::log10(8.0), 1e-12);
  EXPECT_NEAR(points.back().x, std::log10(296.0), 1e-12);
  // The centre and its four edge neighbours, 8 pixels away; the diagonals lie 11 away.
  EXPECT_NEAR(points.front().y, std::log10(5.0), 1e-12);
  EXPECT_NE(w.Value(value_key::kRadialDimension), "-");
  EXPECT_NE(w.Value(value_key::kRadialSlope), "-");
  EXPECT_EQ(w.Value(value_key::kNodeDimension), "-");  // no node, no segment
  EXPECT_TRUE(w.Series(series_name::kNodeFractal).Points().empty());
  ExpectOnlyFiniteOutputs(w.sim());
}

TEST(RadialAnalysisTest, SegmentsAreCountedFromTheCentralNodeByTheirMidpoints) {
  FractalWorld w(12, 12);
  w.AddNode(2, 6);
  w.AddNode(6, 6);
  w.AddNode(10, 6);
  w.Link(0, 1);
  w.Link(1, 2);
  w.FillTable();
  RadialAnalysis(w.sim());

  // From node 1 both midpoints lie 48 pixels away: counted from radius 48 (k = 6) to 144
  // (k = 18). From node 0 one of them would lie 144 pixels away.
  const auto& count = w.Series(series_name::kNodeFractal).Points();
  ASSERT_EQ(count.size(), 13u);
  EXPECT_NEAR(count.front().x, std::log10(48.0), 1e-12);
  EXPECT_NEAR(count.front().y, std::log10(2.0), 1e-12);
  const auto& length = w.Series(series_name::kEdgeFractal).Points();
  ASSERT_EQ(length.size(), 13u);
  EXPECT_NEAR(length.front().y, std::log10(192.0), 1e-12);
  // Constant counts: flat trend lines.
  EXPECT_EQ(w.Value(value_key::kNodeSlope), "0");
  EXPECT_EQ(w.Value(value_key::kEdgeSlope), "0");
  EXPECT_EQ(w.Value(value_key::kRadialDimension), "-");
  EXPECT_EQ(w.Title(chart_name::kRadialFractal),
            "Fractal Radial Analysis, r²_dev = -, r²_node = 1, r²_edge = 1");
}

TEST(RadialAnalysisTest, TheCentreIsTheMiddleOrTheCentreOfGravity) {
  FractalWorld w(12, 12);
  w.Develop(5, 6);  // 142 pixels from the middle (18, 18): inside only the last radius, 144
  RadialAnalysis(w.sim());
  ASSERT_EQ(w.Series(series_name::kDevelopedFractal).Count(), 1u);
  EXPECT_EQ(w.Value(value_key::kRadialDimension), "0");  // log 1 / log 144
  EXPECT_EQ(w.Value(value_key::kRadialSlope), "-");      // one point has no line through it
  EXPECT_EQ(w.Title(chart_name::kRadialFractal),
            "Fractal Radial Analysis, r²_dev = -, r²_node = -, r²_edge = -");

  w.t.settings.SetChecked(setting::kCenterGravity, true);
  RadialAnalysis(w.sim());
  // Centre (5, 6): five radii up to the left border, each holding the one cell.
  const auto& points = w.Series(series_name::kDevelopedFractal).Points();
  ASSERT_EQ(points.size(), 5u);
  EXPECT_NEAR(points.back().x, std::log10(40.0), 1e-12);
  EXPECT_EQ(w.Value(value_key::kRadialDimension), "0");
  EXPECT_EQ(w.Value(value_key::kRadialSlope), "0");
}

void ExpectNoRadialValues(FractalWorld& w) {
  EXPECT_TRUE(w.Series(series_name::kDevelopedFractal).Points().empty());
  for (const ValueKey key :
       {value_key::kRadialDimension, value_key::kRadialSlope, value_key::kNodeDimension,
        value_key::kNodeSlope, value_key::kEdgeDimension, value_key::kEdgeSlope}) {
    EXPECT_EQ(w.Value(key), "-") << key.View();
  }
  EXPECT_EQ(w.Title(chart_name::kRadialFractal),
            "Fractal Radial Analysis, r²_dev = -, r²_node = -, r²_edge = -");
  ExpectOnlyFiniteOutputs(w.sim());
}

TEST(RadialAnalysisTest, ACentreOnTheBorderHasNoRadius) {
  FractalWorld w(12, 12);
  w.Develop(0, 7);
  w.t.settings.SetChecked(setting::kCenterGravity, true);
  RadialAnalysis(w.sim());
  ExpectNoRadialValues(w);
}

TEST(RadialAnalysisTest, WithoutDevelopedLandTheCentreOfGravityFallsBackToTheMiddle) {
  FractalWorld w(12, 12);
  w.AddNode(2, 6);
  w.AddNode(6, 6);
  w.Link(0, 1);
  w.FillTable();
  w.t.settings.SetChecked(setting::kCenterGravity, true);
  RadialAnalysis(w.sim());
  // Radii up to the middle's nearest border, k = 18; the midpoint lies 48 pixels from
  // node 0, so k = 6 .. 18.
  EXPECT_EQ(w.Series(series_name::kNodeFractal).Count(), 13u);
}

TEST(RadialAnalysisTest, EmptyFamiliesShowDashesAndLoseTheirOldPoints) {
  FractalWorld w(12, 12);
  w.DevelopAll();
  RadialAnalysis(w.sim());
  ASSERT_FALSE(w.Series(series_name::kDevelopedFractal).Points().empty());

  for (TFineCell& fine : w.world().FineGrid.Cells()) {
    fine.LandUse = kLandFree;
  }
  RadialAnalysis(w.sim());
  EXPECT_TRUE(w.Series(series_name::kDevelopedFractalTrend).Points().empty());
  EXPECT_TRUE(w.Series(series_name::kDevelopedFractalCorrelation).Points().empty());
  ExpectNoRadialValues(w);
}

TEST(RadialAnalysisTest, AOneCellMapHasOneRadius) {
  FractalWorld w(1, 1);
  w.DevelopAll();
  RadialAnalysis(w.sim());
  // Centre (2, 2), one fine cell from the right and bottom borders: the cell and the two
  // neighbours inside the map lie within 8 pixels.
  ExpectNear(XValues(w.Series(series_name::kDevelopedFractal)), {std::log10(8.0)});
  EXPECT_EQ(w.Value(value_key::kRadialDimension), "0,53");  // log 3 / log 8
  EXPECT_EQ(w.Value(value_key::kRadialSlope), "-");
  ExpectOnlyFiniteOutputs(w.sim());
}

TEST(RadialAnalysisTest, RadiiOfAPixelOrLessTakeNoPartInTheMeanRatio) {
  for (int cellSize : {1, 2, 3}) {
    FractalWorld w(10, 10, cellSize);
    w.DevelopAll();
    RadialAnalysis(w.sim());
    EXPECT_EQ(w.Series(series_name::kDevelopedFractal).Count(), 15u) << cellSize;
    EXPECT_NE(w.Value(value_key::kRadialDimension), "-") << cellSize;
    ExpectOnlyFiniteOutputs(w.sim());
  }
}

TEST(RadialAnalysisTest, SegmentsOfLengthZeroGiveACountButNoLength) {
  FractalWorld w(12, 12);
  w.AddNode(6, 6);
  w.AddNode(6, 6);  // a second node in the same cell
  w.Link(0, 1);
  w.FillTable();
  RadialAnalysis(w.sim());
  EXPECT_EQ(w.Series(series_name::kNodeFractal).Count(), 18u);
  EXPECT_TRUE(w.Series(series_name::kEdgeFractal).Points().empty());
  EXPECT_EQ(w.Value(value_key::kEdgeDimension), "-");
  EXPECT_EQ(w.Value(value_key::kEdgeSlope), "-");
  ExpectOnlyFiniteOutputs(w.sim());
}

// ---- the "fractal A." button ----

TEST(Button4ClickTest, RunsPathsTableStructureRadialAndGridAnalyses) {
  TestSimulation t;  // 25 x 28 cells with the initial node in the middle
  NewSetup(t.sim);
  t.sim.world.FieldType = kFieldCluster;
  for (int c = 30; c < 45; ++c) {
    t.sim.world.FineGrid(c, 40).LandUse = kLandDeveloped;
  }
  Button4Click(t.sim);

  EXPECT_EQ(t.sim.StringGrid1.NodeRows(), 1);
  EXPECT_EQ(t.sim.charts.GetSeries(series_name::kEdgesPerNode).Count(), 1u);
  EXPECT_EQ(t.sim.charts.GetSeries(series_name::kRankSizeByStep).Count(),
            1u);  // the structure analysis ran
  EXPECT_EQ(t.sim.charts.GetSeries(series_name::kSegregationByStep).Count(),
            1u);  // the grid analysis reached 8
  EXPECT_EQ(t.sim.charts.GetSeries(series_name::kGridFractal).Count(), 8u);
  EXPECT_FALSE(t.sim.charts.GetSeries(series_name::kDevelopedFractal).Points().empty());
  EXPECT_NE(t.sim.valueList.Value(value_key::kGridDimension), "-");
  EXPECT_NE(t.sim.valueList.Value(value_key::kRadialDimension), "-");
  EXPECT_EQ(t.sim.valueList.Value(value_key::kEdgeDimension), "-");  // one node, no segment
  ExpectOnlyFiniteOutputs(t.sim);

  t.sim.world.FieldType = kFieldNetworkOnly;
  Button4Click(t.sim);
  EXPECT_EQ(t.sim.charts.GetSeries(series_name::kRankSizeByStep).Count(), 1u);
}

TEST(Button4ClickTest, AnAbsentWorldGivesDashesEverywhere) {
  TestSimulation t;
  Button4Click(t.sim);
  for (const ValueKey key : kFractalKeys) {
    EXPECT_EQ(t.sim.valueList.Value(key), "-") << key.View();
  }
  ExpectOnlyFiniteOutputs(t.sim);
}

// ---- the counting apart from the showing ----

// The counts read the world alone: they write no output, and the analyses show exactly them.
TEST(FractalKernelTest, CountsWriteNothingAndAreWhatTheAnalysesShow) {
  FractalWorld w(25, 28);
  std::mt19937 random(7);
  for (int i = 0; i < 900; ++i) {
    w.Develop(static_cast<int>(random() % 75), static_cast<int>(random() % 84));
  }
  const int a = w.AddNode(12, 14);
  const int b = w.AddNode(16, 10);
  const int c = w.AddNode(5, 20);
  w.Link(a, b);
  w.Link(a, c);
  ClassifyDevelopedCells(w.world());
  BuildEdgeMatrix(w.world());
  const auto values = w.sim().valueList.ChangeCount();
  const auto labels = w.sim().labels.ChangeCount();

  const GridFractal grid = ComputeGridFractal(w.world());
  const RadialFractal radial =
      ComputeRadialFractal(w.world(), FineCellPosition{38, 42}, std::size_t{0});
  EXPECT_EQ(w.sim().valueList.ChangeCount(), values);
  EXPECT_EQ(w.sim().labels.ChangeCount(), labels);
  EXPECT_TRUE(w.Series(series_name::kGridFractal).Points().empty());
  ASSERT_TRUE(grid.segregationTiles.has_value());
  ASSERT_FALSE(radial.segments.points.empty());

  GridAnalysis(w.sim());
  RadialAnalysis(w.sim());
  EXPECT_EQ(w.Series(series_name::kGridFractal).Points(), grid.family.points);
  EXPECT_EQ(w.Value(value_key::kGridDimension), ShownValue(*grid.family.meanRatio));
  EXPECT_EQ(w.Series(series_name::kDevelopedFractal).Points(), radial.developed.points);
  EXPECT_EQ(w.Series(series_name::kNodeFractal).Points(), radial.segments.points);
  EXPECT_EQ(w.Series(series_name::kEdgeFractal).Points(), radial.lengths.points);
  EXPECT_EQ(w.Value(value_key::kRadialDimension), ShownValue(*radial.developed.meanRatio));
}

}  // namespace
}  // namespace veltmoor
