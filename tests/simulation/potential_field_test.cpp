#include "growth/potential_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "display/recording_canvas.h"
#include "simulation/setup.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

// A 25 x 28 world; without the initial node unless asked for.
struct Field : testing::TestSimulation {
  explicit Field(bool centreNode = false)
      : testing::TestSimulation(611, 689, std::make_unique<RecordingCanvasFactory>()) {
    settings.SetChecked(setting::kCenterNode, centreNode);
    NewSetup(sim);
  }
  TCell& Cell(int c, int r) { return world().CellGrid(c, r); }
  TFineCell& Fine(int c, int r) { return world().FineGrid(c, r); }
  RecordingCanvas& Layer(std::unique_ptr<Canvas>& layer) {
    return static_cast<RecordingCanvas&>(*layer);
  }
};

TEST(UpdatePotentialTest, SingleDevelopedFineCellSpreadsOneCellPerPass) {
  Field f;
  f.Cell(5, 5).DevelopedCount = 1;
  UpdatePotential(f.world());
  const float first = f.Cell(5, 5).Potential;
  EXPECT_FLOAT_EQ(first, (1.0f / 9.0f) / 5.0f);
  // Synchronous: the neighbours scanned after (5, 5) still saw its old value.
  EXPECT_EQ(f.Cell(5, 6).Potential, 0.0f);
  EXPECT_EQ(f.Cell(6, 5).Potential, 0.0f);

  UpdatePotential(f.world());
  for (const auto& [c, r] : {std::pair{5, 6}, {5, 4}, {6, 5}, {4, 5}}) {
    EXPECT_EQ(f.Cell(c, r).Potential, first / 5.0f) << c << "," << r;
  }
  EXPECT_EQ(f.Cell(6, 6).Potential, 0.0f);
  EXPECT_EQ(f.Cell(5, 7).Potential, 0.0f);
  // (1/9)^(1 - p): the own term grows with the potential.
  EXPECT_FLOAT_EQ(f.Cell(5, 5).Potential, 0.116670989f / 5.0f);
}

// A large grid's passes are shared out by rows between two threads. The same developed
// patch straddling the rows where the grid is split and lying well inside one half must
// grow the same field cell for cell: a pass that read a neighbour row's new values, or
// wrote before the other half had read, would show at the split.
TEST(UpdatePotentialTest, AFieldAcrossTheThreadsSplitEqualsOneInsideAHalf) {
  testing::TestSimulation t(611, 689);
  t.settings.Set(setting::kCellScale, "3");
  t.settings.SetChecked(setting::kCenterNode, false);
  NewSetup(t.sim);
  World& w = t.world();
  ASSERT_GT(w.ColumnCount * w.RowCount, 16384);  // large enough to be shared out
  const int split = w.RowCount / 2;
  const int quiet = w.RowCount / 4;
  auto developPatch = [&w](int column, int row) {
    for (int dr = -2; dr <= 1; ++dr) {
      for (int dc = -2; dc <= 2; ++dc) {
        w.CellGrid(column + dc, row + dr).DevelopedCount = 1 + (dc + 2) * 2 + (dr + 2);
      }
    }
  };
  developPatch(60, split);
  developPatch(140, quiet);
  for (int pass = 0; pass < 5; ++pass) {
    UpdatePotential(w);
  }
  for (int dr = -8; dr <= 8; ++dr) {
    for (int dc = -8; dc <= 8; ++dc) {
      ASSERT_EQ(w.CellGrid(60 + dc, split + dr).Potential,
                w.CellGrid(140 + dc, quiet + dr).Potential)
          << dc << "," << dr;
    }
  }
  EXPECT_GT(w.CellGrid(60, split - 6).Potential, 0.0f);  // the field did spread over the split
}

// Several passes at once move the values between the cells and the scratch grid; they must
// equal as many single passes bit for bit, for odd and even counts, with cells past nine
// developed fine cells (potentials capped at 1) and on both sides of the threads' split.
TEST(UpdatePotentialTest, SeveralPassesAtOnceEqualAsManySinglePasses) {
  for (int passes = 1; passes <= 6; ++passes) {
    testing::TestSimulation once(611, 689);
    testing::TestSimulation single(611, 689);
    std::mt19937 draw(static_cast<unsigned>(passes));
    for (testing::TestSimulation* t : {&once, &single}) {
      t->settings.Set(setting::kCellScale, "3");
      t->settings.SetChecked(setting::kCenterNode, false);
      NewSetup(t->sim);
    }
    const std::size_t cells = once.world().CellGrid.Cells().size();
    for (std::size_t i = 0; i < cells; i += 1 + draw() % 7) {
      const auto developed = static_cast<std::int32_t>(draw() % 12);
      const float potential = static_cast<float>(draw() % 1000) / 999.0f;
      for (testing::TestSimulation* t : {&once, &single}) {
        t->world().CellGrid.Cells()[i].DevelopedCount = developed;
        t->world().CellGrid.Cells()[i].Potential = potential;
      }
    }
    UpdatePotential(once.world(), passes);
    for (int pass = 0; pass < passes; ++pass) {
      UpdatePotential(single.world());
    }
    for (std::size_t i = 0; i < cells; ++i) {
      ASSERT_EQ(once.world().CellGrid.Cells()[i].Potential,
                single.world().CellGrid.Cells()[i].Potential)
          << passes << " passes, cell " << i;
    }
  }
}

TEST(UpdatePotentialTest, SumsAndQuotientAreRoundedAsSinglePrecision) {
  Field f;
  f.Cell(8, 9).Potential = 0.1f;
  f.Cell(8, 7).Potential = 0.1f;
  f.Cell(9, 8).Potential = 0.1f;
  f.Cell(7, 8).Potential = 0.9f;
  UpdatePotential(f.world());
  // Summed in double and rounded once this would be 0x1.eb851ep-3.
  EXPECT_EQ(f.Cell(8, 8).Potential, 0x1.eb852p-3f);
}

TEST(UpdatePotentialTest, FullCellStaysAtOneAndCornersAreDamped) {
  Field f;
  for (const auto& [c, r] :
       {std::pair{5, 5}, {5, 6}, {5, 4}, {6, 5}, {4, 5}, {0, 0}, {1, 0}, {0, 1}}) {
    f.Cell(c, r).DevelopedCount = 9;
    f.Cell(c, r).Potential = 1.0f;
  }
  UpdatePotential(f.world());
  EXPECT_EQ(f.Cell(5, 5).Potential, 1.0f);
  // Three terms of one, still divided by five.
  EXPECT_FLOAT_EQ(f.Cell(0, 0).Potential, 0.6f);

  f.Cell(10, 11).Potential = 3.0f;
  f.Cell(10, 9).Potential = 3.0f;
  UpdatePotential(f.world());
  EXPECT_EQ(f.Cell(10, 10).Potential, 1.0f);

  // Only what exceeds 1 is capped: a sum a little under five keeps its fifth.
  f.Cell(15, 15).DevelopedCount = 9;
  f.Cell(15, 16).Potential = 1.0f;
  f.Cell(15, 14).Potential = 1.0f;
  f.Cell(16, 15).Potential = 1.0f;
  f.Cell(14, 15).Potential = 0.975f;
  UpdatePotential(f.world());
  EXPECT_FLOAT_EQ(f.Cell(15, 15).Potential, 0.995f);
}

TEST(UpdatePotentialTest, OwnTermThenBelowAboveRightLeft) {
  Field f;
  // Values for which each of the 24 orders of the four neighbours gives its own float sum.
  f.Cell(8, 8).DevelopedCount = 9;  // own term exactly 1
  f.Cell(8, 9).Potential = 0.12f;
  f.Cell(8, 7).Potential = 0.8f;
  f.Cell(9, 8).Potential = 0.13f;
  f.Cell(7, 8).Potential = 0.74f;
  UpdatePotential(f.world());
  EXPECT_EQ(f.Cell(8, 8).Potential, 0x1.1db22ep-1f);
}

TEST(UpdatePotentialTest, OwnTermFollowsTheFormulaPastNineDevelopedCells) {
  // Right clicks raise the count past nine: ten give (10/9)^1 / 5 = 0.2222 at p = 0, and at
  // p = 0.5 the term is (10/9)^0.5.
  Field f;
  f.Cell(5, 5).DevelopedCount = 10;
  f.Cell(12, 12).DevelopedCount = 10;
  f.Cell(12, 12).Potential = 0.5f;
  UpdatePotential(f.world());
  EXPECT_FLOAT_EQ(f.Cell(5, 5).Potential, (10.0f / 9.0f) / 5.0f);
  EXPECT_FLOAT_EQ(f.Cell(12, 12).Potential, std::sqrt(10.0f / 9.0f) / 5.0f);
}

TEST(UpdatePotentialTest, SpreadCopiesEachCellIntoItsNineFineCells) {
  Field f;
  f.Cell(2, 3).Potential = 0.375f;
  SpreadPotentialToFineGrid(f.world());
  for (int r = 8; r <= 12; ++r) {
    for (int c = 5; c <= 9; ++c) {
      const bool inside = c >= 6 && c <= 8 && r >= 9 && r <= 11;
      EXPECT_EQ(f.Fine(c, r).Potential, inside ? 0.375f : 0.0f) << c << "," << r;
    }
  }
}

TEST(FineNeighbourTest, HwmCandidateNeedsStreetOrDevelopedLandAboveThreshold) {
  Field f;
  f.settings.Set(setting::kDevelopmentThreshold, "0,5");
  f.Fine(10, 11).LandUse = kLandDeveloped;
  f.Fine(10, 11).Potential = 0.5f;
  EXPECT_FALSE(IsHwmCandidate(f.sim.Growth(), 10, 10));
  EXPECT_TRUE(HasDevelopedNeighbour(f.world(), 10, 10));
  f.Fine(10, 11).Potential = std::nextafter(0.5f, 1.0f);
  EXPECT_TRUE(IsHwmCandidate(f.sim.Growth(), 10, 10));

  f.Fine(0, 1).LandUse = kLandStreet;
  EXPECT_TRUE(IsHwmCandidate(f.sim.Growth(), 0, 0));
  EXPECT_TRUE(HasOccupiedNeighbour(f.world(), 0, 0));
  EXPECT_FALSE(HasDevelopedNeighbour(f.world(), 0, 0));
  // Diagonal land is no neighbour; the far corner has only two on the grid.
  EXPECT_FALSE(HasOccupiedNeighbour(f.world(), 1, 0));
  EXPECT_FALSE(IsHwmCandidate(f.sim.Growth(), 74, 83));
}

TEST(DevelopBestTest, ZeroWeightsTakeTheFirstCandidateWithoutDrawing) {
  Field f;
  f.settings.Set(setting::kCentripetalWeight, "0");
  f.settings.Set(setting::kCentrifugalWeight, "0");
  f.Fine(10, 10).LandUse = kLandStreet;
  CollectHwmCandidates(f.sim.Growth());
  ASSERT_EQ(f.world().HwmCandidateList.size(), 4u);
  RandomSource untouched = f.random;
  f.Layer(f.sim.map.FineImage).ClearCalls();
  f.Layer(f.sim.map.MapImage).ClearCalls();

  DevelopBestHwmCandidate(f.sim.Growth());
  const TFineCell& chosen = f.Fine(10, 9);  // fine row 9 comes before row 10
  EXPECT_EQ(chosen.LandUse, kLandDeveloped);
  EXPECT_EQ(chosen.SubState, kSubBuild);
  EXPECT_EQ(chosen.Color, colours::kBlue);
  EXPECT_EQ(f.Fine(9, 10).LandUse, kLandFree);
  EXPECT_EQ(f.Cell(3, 3).DevelopedCount, 1);
  EXPECT_EQ(f.Cell(3, 3).LandUse, kLandDeveloped);
  EXPECT_EQ(f.random.Random(), untouched.Random());

  const auto& drawn = f.Layer(f.sim.map.FineImage).Calls();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].brush, colours::kBlue);
  EXPECT_EQ(drawn[0].x1, 84 - 4);  // centre of cell column 3, 8 x 8 pixels
  EXPECT_TRUE(f.Layer(f.sim.map.MapImage).Calls().empty());
}

TEST(DevelopBestTest, WithoutRandomTheMiddlePotentialBeatsFullPotential) {
  Field f;
  f.settings.Set(setting::kRandomScale, "0");
  f.Fine(0, 0).Potential = 1.0f;
  f.Fine(1, 0).Potential = 0.5f;
  f.Fine(2, 0).Potential = 0.5f;
  f.world().HwmCandidateList = {&f.Fine(0, 0), &f.Fine(1, 0), &f.Fine(2, 0)};
  DevelopBestHwmCandidate(f.sim.Growth());
  EXPECT_EQ(f.Fine(0, 0).LandUse, kLandFree);
  EXPECT_EQ(f.Fine(1, 0).LandUse, kLandDeveloped);
  EXPECT_EQ(f.Fine(2, 0).LandUse, kLandFree);
}

TEST(DevelopBestTest, EmptyListsOnlyStopTheTimer) {
  Field f;
  f.sim.TimerEnabled = true;
  CollectHwmCandidates(f.sim.Growth());  // no street, no developed land
  EXPECT_TRUE(f.world().HwmCandidateList.empty());
  DevelopBestHwmCandidate(f.sim.Growth());
  EXPECT_FALSE(f.sim.TimerEnabled);

  f.sim.TimerEnabled = true;
  f.world().ClusterCandidateList.clear();
  DevelopBestClusterCandidate(f.sim.Growth());
  EXPECT_FALSE(f.sim.TimerEnabled);
  EXPECT_EQ(f.world().NodeCount, 0u);
}

TEST(DevelopBestTest, WorldWithoutGridIsLeftAlone) {
  testing::TestSimulation t;
  t.sim.TimerEnabled = true;
  UpdatePotential(t.world());
  SpreadPotentialToFineGrid(t.world());
  CollectHwmCandidates(t.sim.Growth());
  CollectClusterCandidates(t.sim.Growth());
  t.sim.map.PaintPotential(t.sim.world);
  DevelopBestClusterCandidate(t.sim.Growth());
  DevelopBestHwmCandidate(t.sim.Growth());
  EXPECT_FALSE(t.sim.TimerEnabled);
  EXPECT_TRUE(t.world().ClusterCandidateList.empty());
}

TEST(ClusterDevelopmentTest, LandTouchingAStreetOrNearANodeIsNotConnected) {
  Field f(true);  // initial node at (12, 14)
  f.Fine(4, 5).LandUse = kLandStreet;
  f.world().ClusterCandidateList = {&f.Fine(4, 4)};
  DevelopBestClusterCandidate(f.sim.Growth());
  EXPECT_EQ(f.Fine(4, 4).LandUse, kLandDeveloped);

  ASSERT_EQ(f.Cell(13, 14).State, kStateNextToNode);
  f.world().ClusterCandidateList = {&f.Fine(40, 43)};
  DevelopBestClusterCandidate(f.sim.Growth());
  EXPECT_EQ(f.Fine(40, 43).LandUse, kLandDeveloped);
  EXPECT_EQ(f.world().NodeCount, 1u);
  EXPECT_EQ(f.world().EdgeCount, 0u);
}

TEST(ClusterDevelopmentTest, IsolatedLandGetsANodeAndAStreetFromTheNearestNode) {
  Field f(true);
  // Top-left fine cell of cell (12, 5), nine cells above the initial node.
  f.world().ClusterCandidateList = {&f.Fine(36, 15)};
  DevelopBestClusterCandidate(f.sim.Growth());
  EXPECT_EQ(f.Fine(36, 15).LandUse, kLandDeveloped);
  const TCell& cell = f.Cell(12, 5);
  ASSERT_EQ(cell.State, kStateNode);
  EXPECT_EQ(f.world().Node(1).Column, 12);
  EXPECT_EQ(f.world().Node(1).Row, 5);
  EXPECT_GT(f.world().NodeCount, 2u);  // the street brings its intermediate nodes
  EXPECT_FALSE(f.world().Node(0).Links.empty());
  EXPECT_FALSE(f.world().Node(1).Links.empty());
  EXPECT_EQ(f.Fine(37, 16).LandUse, kLandStreet);
}

TEST(ClusterDevelopmentTest, FirstNodeOfAnEmptyNetworkGetsNoStreet) {
  Field f;
  ASSERT_TRUE(f.world().NodeList.empty());
  f.world().ClusterCandidateList = {&f.Fine(36, 15)};
  DevelopBestClusterCandidate(f.sim.Growth());
  ASSERT_EQ(f.world().NodeCount, 1u);
  EXPECT_EQ(f.Cell(12, 5).State, kStateNode);
  EXPECT_EQ(f.Cell(12, 5).NodeIndex, 0);
  EXPECT_TRUE(f.world().Node(0).Links.empty());
  EXPECT_EQ(f.world().EdgeCount, 0u);
  EXPECT_EQ(f.Fine(37, 16).LandUse, kLandFree);
}

TEST(PaintPotentialTest, GreysRunFrom85To255AndRoundHalvesToEven) {
  Field f;
  f.Cell(1, 0).Potential = 1.0f;
  f.Cell(2, 0).Potential = 0.75f;  // 212.5
  f.Layer(f.sim.map.MapImage).ClearCalls();
  f.sim.map.PaintPotential(f.sim.world);
  EXPECT_EQ(f.Cell(0, 0).Color, 0x555555u);
  EXPECT_EQ(f.Cell(1, 0).Color, 0xFFFFFFu);
  EXPECT_EQ(f.Cell(2, 0).Color, 212u * 0x010101u);
  // Full potential keeps the white the cell already shows; every other cell is repainted.
  const auto& drawn = f.Layer(f.sim.map.MapImage).Calls();
  ASSERT_EQ(drawn.size(), static_cast<std::size_t>(25 * 28 - 1));
  EXPECT_EQ(drawn[1].brush, 212u * 0x010101u);
  EXPECT_EQ(drawn[1].x1, 60 - 12);
  f.Layer(f.sim.map.MapImage).ClearCalls();
  f.sim.map.PaintPotential(f.sim.world);
  EXPECT_TRUE(f.Layer(f.sim.map.MapImage).Calls().empty());
  f.Cell(2, 0).Potential = 0.0f;
  f.sim.map.PaintPotential(f.sim.world);
  EXPECT_EQ(f.Layer(f.sim.map.MapImage).Calls().size(), 1u);
}

}  // namespace
}  // namespace veltmoor
