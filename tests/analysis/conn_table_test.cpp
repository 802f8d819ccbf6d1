#include "analysis/ConnTable.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "analysis/dijkstra.h"
#include "analysis/path_network.h"
#include "display/recording_canvas.h"
#include "simulation/setup.h"
#include "simulation/window_outputs.h"
#include "views/layers.h"

namespace veltmoor {
namespace {

using testing::PathNetwork;
using Rows = std::vector<std::vector<std::string>>;

Rows AllCells(const ConnectivityTableModel& table) {
  Rows rows(static_cast<std::size_t>(table.RowCount()));
  for (int r = 0; r < table.RowCount(); ++r) {
    for (int c = 0; c < table.ColumnCount(); ++c) {
      rows[static_cast<std::size_t>(r)].push_back(table.Cell(c, r));
    }
  }
  return rows;
}

std::vector<std::string> Column(const ConnectivityTableModel& table, int column) {
  std::vector<std::string> texts;
  for (int r = 1; r <= table.NodeRows(); ++r) {
    texts.push_back(table.Cell(column, r));
  }
  return texts;
}

class ConnTableTest : public ::testing::Test {
 protected:
  void Analyse(PathNetwork& net) {
    ComputeAllPaths(net.sim());
    FillConnectivityTable(net.sim());
  }
  static std::vector<std::string> ML(PathNetwork& net) {
    return Column(net.sim().StringGrid1, net.sim().StringGrid1.NodeRows() + 2);
  }
  static std::vector<std::string> SML(PathNetwork& net) {
    return Column(net.sim().StringGrid1, net.sim().StringGrid1.NodeRows() + 3);
  }
  static std::vector<std::string> Loc(PathNetwork& net) {
    return Column(net.sim().StringGrid1, net.sim().StringGrid1.NodeRows() + 4);
  }
};

TEST_F(ConnTableTest, TwoLinkedNodesFillTheWholeLayout) {
  PathNetwork net(2);
  net.Link(0, 1);
  Analyse(net);
  const Rows expected = {{"", "0", "1", "sum", "ML", "sML", "loc"},
                         {"0", "0", "1", "1", "0,5", "7", "7"},
                         {"1", "1", "0", "1", "0,5", "7", "7"},
                         {"", "", "", "2", "0,5", "", ""}};
  EXPECT_EQ(AllCells(net.sim().StringGrid1), expected);
  EXPECT_DOUBLE_EQ(net.world().MeanLength, 0.5);
  EXPECT_EQ(net.sim().labels.Get(label::kMeanLength), "0,5");
  EXPECT_EQ(net.sim().StringGrid1.MLText(1), "0,5");
  EXPECT_DOUBLE_EQ(net.sim().StringGrid1.ML(1), 0.5);
}

TEST_F(ConnTableTest, ChainOfThreeWithEitherMeasure) {
  PathNetwork net(3);
  net.Chain(3);
  Analyse(net);
  EXPECT_EQ(Column(net.sim().StringGrid1, 4), (std::vector<std::string>{"3", "2", "3"}));
  EXPECT_EQ(ML(net), (std::vector<std::string>{"1", "0,67", "1"}));
  EXPECT_EQ(net.sim().labels.Get(label::kMeanLength), "0,89");
  EXPECT_EQ(Loc(net), (std::vector<std::string>{"9", "10", "9"}));
  EXPECT_EQ(SML(net), (std::vector<std::string>{"0", "1", "0"}));
  EXPECT_EQ(net.world().Node(0).Color, colours::kBlue);
  EXPECT_EQ(net.world().Node(1).Color, colours::kRed);
  EXPECT_EQ(net.world().Node(1).Measure, 1.0f);

  net.t.settings.SetChecked(setting::kUseLocalMeasure, false);
  FillConnectivityTable(net.sim());
  EXPECT_EQ(SML(net), (std::vector<std::string>{"0", "1", "0"}));
  EXPECT_EQ(net.world().Node(1).Color, colours::kRed);
}

TEST_F(ConnTableTest, ExponentShapesTheScaledLocalMeasure) {
  PathNetwork net(5);
  net.Chain(5);
  net.world().ColourExponent = 2.0;
  Analyse(net);
  EXPECT_EQ(Loc(net), (std::vector<std::string>{"10", "13", "14", "13", "10"}));
  EXPECT_EQ(SML(net), (std::vector<std::string>{"0", "0,5625", "1", "0,5625", "0"}));
  EXPECT_FLOAT_EQ(net.world().Node(3).Measure, 0.5625f);
  EXPECT_EQ(net.world().Node(3).Color, GradientColourAt(0.5625));
}

TEST_F(ConnTableTest, MeanPathLengthsRoundHalvesDown) {
  PathNetwork net(8);
  PathTable& paths = net.world().PathMatrix;
  paths.Reset(8);
  paths.SetHopCount(0, 1, 3);
  paths.SetHopCount(1, 2, 5);
  paths.SetHopCount(2, 3, 7);
  FillConnectivityTable(net.sim());
  const std::vector<std::string> ml = ML(net);
  EXPECT_EQ((std::vector<std::string>{ml[0], ml[1], ml[2], ml[3]}),
            (std::vector<std::string>{"0,37", "0,62", "0,87", "0"}));
  // (0.37 + 0.62 + 0.87) / 8 = 0.2325
  EXPECT_EQ(net.sim().labels.Get(label::kMeanLength), "0,23");
  EXPECT_EQ(net.sim().StringGrid1.Cell(9, 9), "15");
}

TEST_F(ConnTableTest, RoundedQuotientsAreFormedInExtendedPrecision) {
  // 173 / 40 = 4.325 exactly; as a double it would lie above and round up to 4,33.
  PathNetwork forty(40);
  forty.world().PathMatrix.Reset(40);
  forty.world().PathMatrix.SetHopCount(1, 2, 173);
  FillConnectivityTable(forty.sim());
  EXPECT_EQ(ML(forty)[1], "4,32");

  // ML 5 on one node of 200: the mean 0.025 rounds down, not up from the double 0.025.
  PathNetwork many(200);
  many.world().PathMatrix.Reset(200);
  many.world().PathMatrix.SetHopCount(0, 1, 1000);
  FillConnectivityTable(many.sim());
  EXPECT_EQ(ML(many)[0], "5");
  EXPECT_EQ(many.sim().labels.Get(label::kMeanLength), "0,02");
  EXPECT_DOUBLE_EQ(many.world().MeanLength, 0.02);

  // Local measures 3000, 2960 and 2991 scale the last to 31 / 40 = 0.775, which goes down.
  PathNetwork three(3);
  three.t.settings.Set(setting::kLocalRadius, "1000");
  three.world().PathMatrix.Reset(3);
  three.world().PathMatrix.SetHopCount(1, 0, 40);
  three.world().PathMatrix.SetHopCount(2, 0, 9);
  FillConnectivityTable(three.sim());
  EXPECT_EQ(Loc(three), (std::vector<std::string>{"3000", "2960", "2991"}));
  EXPECT_EQ(SML(three), (std::vector<std::string>{"1", "0", "0,77"}));
  EXPECT_FLOAT_EQ(three.world().Node(2).Measure, 0.77f);
}

TEST_F(ConnTableTest, LocalMeasureCountsTheNodeAndNodesOutOfReach) {
  PathNetwork chain(3);
  chain.Chain(3);
  chain.t.settings.Set(setting::kLocalRadius, "1");
  Analyse(chain);
  EXPECT_EQ(Loc(chain), (std::vector<std::string>{"1", "1", "1"}));

  PathNetwork apart(3);
  apart.Link(0, 1);
  Analyse(apart);
  EXPECT_EQ(Loc(apart), (std::vector<std::string>{"11", "11", "12"}));
  EXPECT_EQ(Column(apart.sim().StringGrid1, 4), (std::vector<std::string>{"1", "1", "0"}));
  EXPECT_EQ(ML(apart), (std::vector<std::string>{"0,33", "0,33", "0"}));
}

TEST_F(ConnTableTest, EmptyNetworkShowsZeroMeanLength) {
  PathNetwork net(0);
  net.world().MeanLength = 3.0;
  Analyse(net);
  const Rows expected = {{"", "sum", "ML", "sML", "loc"}, {"", "0", "0", "", ""}};
  EXPECT_EQ(AllCells(net.sim().StringGrid1), expected);
  EXPECT_EQ(net.world().MeanLength, 0.0);
  EXPECT_EQ(net.sim().labels.Get(label::kMeanLength), "0");
}

TEST_F(ConnTableTest, EqualValuesStayUnscaledWithAColourOnTheBar) {
  PathNetwork single(1);
  Analyse(single);
  EXPECT_EQ(SML(single), std::vector<std::string>{"4"});
  EXPECT_EQ(single.world().Node(0).Measure, 4.0f);
  EXPECT_EQ(single.world().Node(0).Color, colours::kRed);  // beyond the bottom: its end

  PathNetwork triangle(3);
  triangle.Link(0, 1);
  triangle.Link(1, 2);
  triangle.Link(2, 0);
  triangle.t.settings.SetChecked(setting::kUseLocalMeasure, false);
  Analyse(triangle);
  EXPECT_EQ(SML(triangle), (std::vector<std::string>{"0,67", "0,67", "0,67"}));
  EXPECT_EQ(triangle.world().Node(2).Color, GradientColourAt(0.67));
}

TEST_F(ConnTableTest, NodesMadeSinceThePathsAreListedWithoutDistances) {
  PathNetwork net(2);
  net.Link(0, 1);
  ComputeAllPaths(net.sim());
  net.AddNode();
  net.Link(1, 2);
  FillConnectivityTable(net.sim());
  const Rows expected = {{"", "0", "1", "", "sum", "ML", "sML", "loc"},
                         {"0", "0", "1", "", "1", "0,33", "1", "7"},
                         {"1", "1", "0", "", "1", "0,33", "1", "7"},
                         {"2", "", "", "", "0", "0", "0", "0"},
                         {"", "", "", "", "2", "0,22", "", ""}};
  EXPECT_EQ(AllCells(net.sim().StringGrid1), expected);
}

TEST_F(ConnTableTest, SumsDoNotWrapAroundThirtyTwoBits) {
  PathNetwork net(3);
  PathTable& paths = net.world().PathMatrix;
  paths.Reset(3, PathTable::Width::Wide);  // counts no network of 3 nodes has
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      paths.SetHopCount(i, j, i == j ? 0 : 2000000000);
    }
  }
  FillConnectivityTable(net.sim());
  EXPECT_EQ(net.sim().StringGrid1.Cell(4, 1), "4000000000");
  EXPECT_EQ(net.sim().StringGrid1.Cell(4, 4), "12000000000");
}

TEST_F(ConnTableTest, ResetAndClearBlankOnlyTheDistances) {
  PathNetwork net(2);
  net.Link(0, 1);
  Analyse(net);
  const std::uint64_t before = net.sim().StringGrid1.ChangeCount();
  ResetPathLists(net.sim());
  EXPECT_GT(net.sim().StringGrid1.ChangeCount(), before);
  const Rows expected = {{"", "0", "1", "sum", "ML", "sML", "loc"},
                         {"0", "", "", "1", "0,5", "7", "7"},
                         {"1", "", "", "1", "0,5", "7", "7"},
                         {"", "", "", "2", "0,5", "", ""}};
  EXPECT_EQ(AllCells(net.sim().StringGrid1), expected);

  Analyse(net);
  ClearWorld(net.sim());
  EXPECT_TRUE(net.world().PathMatrix.Empty());
  EXPECT_EQ(AllCells(net.sim().StringGrid1), expected);
}

TEST_F(ConnTableTest, NodesAreRedrawnInTheirNewColours) {
  testing::TestSimulation t(100, 100, std::make_unique<RecordingCanvasFactory>());
  t.sim.map.CreateLayerImages(t.sim.canvases);
  for (int i = 0; i < 3; ++i) {
    t.world().NodeList.push_back(std::make_unique<TAgent>());
  }
  t.world().Node(0).Links.push_back({1, 1});
  t.world().Node(1).Links.push_back({0, 1});
  ComputeAllPaths(t.sim);
  FillConnectivityTable(t.sim);
  std::vector<Colour> drawn;
  for (const CanvasCall& call :
       static_cast<const RecordingCanvas&>(*t.sim.map.AgentImage).Calls()) {
    if (call.kind == CanvasCallKind::Ellipse) {
      drawn.push_back(call.brush);
    }
  }
  // loc 7, 7, 8 (the lone node counts itself and two nodes out of reach)
  EXPECT_EQ(drawn, (std::vector<Colour>{colours::kBlue, colours::kBlue, colours::kRed}));
}

TEST_F(ConnTableTest, DegreeHistogramGivesEveryDegreeItsBar) {
  PathNetwork net(14);
  for (int leaf = 1; leaf <= 10; ++leaf) {
    net.Link(0, leaf);
  }
  net.Link(11, 12);
  ShowDegreeHistogram(net.sim());
  ShowDegreeHistogram(net.sim());
  const chart::Series& bars = net.sim().charts.GetSeries(series_name::kEdgesPerNode);
  EXPECT_EQ(bars.Points(), (std::vector<chart::Point>{{0, 1}, {1, 12}, {10, 1}}));
  EXPECT_EQ(net.sim().charts.Get(chart_name::kEdgesPerNode).ZoomResetRequests(), 2u);
}

TEST_F(ConnTableTest, CsvQuotesTheDecimalComma) {
  PathNetwork net(2);
  net.Link(0, 1);
  Analyse(net);
  std::ostringstream csv;
  WriteConnectivityTableCsv(net.sim(), csv);
  EXPECT_EQ(csv.str(),
            ",0,1,sum,ML,sML,loc\n"
            "0,0,1,1,\"0,5\",7,7\n"
            "1,1,0,1,\"0,5\",7,7\n"
            ",,,2,\"0,5\",,\n");
}

TEST_F(ConnTableTest, CalcPathesBlanksTheCellsAndAnalysesTheNetwork) {
  testing::TestSimulation t;
  t.settings.SetChecked(setting::kNetworkOnly, true);
  NewSetup(t.sim);
  t.world().CellGrid(0, 0).Color = colours::kRed;
  t.world().FieldType = kFieldNetworkOnly;
  B_CalcPathesClick(t.sim);
  EXPECT_EQ(t.world().CellGrid(0, 0).Color, colours::kWhite);
  EXPECT_EQ(t.sim.StringGrid1.NodeRows(), 1);
  EXPECT_EQ(t.sim.labels.Get(label::kMeanLength), "0");
  EXPECT_EQ(t.sim.charts.GetSeries(series_name::kEdgesPerNode).Points(),
            (std::vector<chart::Point>{{0, 1}}));
}

}  // namespace
}  // namespace veltmoor
