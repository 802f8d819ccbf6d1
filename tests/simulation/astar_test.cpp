#include "growth/internal/calc_AStern.h"

#include <gtest/gtest.h>

#include <vector>

#include "growth/street_growth.h"
#include "simulation/node_creation.h"
#include "simulation/setup.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

struct Network : testing::TestSimulation {
  Network() {
    settings.SetChecked(setting::kCenterNode, false);
    NewSetup(sim);
  }
  TAgent& Plant(int column, int row) {
    return CreateNode(sim.Growth(), world().CellGrid(column, row));
  }
  void Link(TAgent& a, TAgent& b) { LinkNodes(sim.Growth(), a, b); }
  std::vector<TAgent*> Path(TAgent& start, TAgent& goal) {
    std::vector<TAgent*> path{&start};  // must be emptied by the search
    FindNetworkPath(world(), path, start, goal);
    return path;
  }
};

TEST(FindNetworkPathTest, ListsThePathFromGoalBackToStartEmptyWhenUnreachable) {
  Network t;
  TAgent& a = t.Plant(2, 2);
  TAgent& b = t.Plant(4, 2);
  TAgent& c = t.Plant(6, 3);
  TAgent& d = t.Plant(8, 5);
  TAgent& island = t.Plant(12, 12);
  t.Link(a, b);
  t.Link(c, b);
  t.Link(d, c);
  EXPECT_EQ(t.Path(a, d), (std::vector<TAgent*>{&d, &c, &b}));
  // Parents left over from the first search must not leak into the next ones.
  EXPECT_EQ(t.Path(d, b), (std::vector<TAgent*>{&b, &c}));
  EXPECT_TRUE(t.Path(a, island).empty());
}

TEST(FindNetworkPathTest, StopsWhenTheGoalIsFirstReachedNotWhenItIsExpanded) {
  Network t;
  // m and g are 4 x 8 cells apart, 214.7 px, rounded up to 215; the node half way splits
  // the line into two 107.3 px segments that round down, so the detour is shorter.
  TAgent& m = t.Plant(10, 13);
  TAgent& half = t.Plant(8, 9);
  TAgent& g = t.Plant(6, 5);
  t.Link(m, half);
  t.Link(half, g);
  t.Link(m, g);
  ASSERT_LT(PixelDistance(m.X, m.Y, half.X, half.Y) + PixelDistance(half.X, half.Y, g.X, g.Y),
            PixelDistance(m.X, m.Y, g.X, g.Y));
  EXPECT_EQ(t.Path(m, g), std::vector<TAgent*>{&g});
}

TEST(FindNetworkPathTest, TheDistanceLeftToTheGoalDecidesWhichNodeIsExpanded) {
  Network t;
  // The node behind the start is nearer, the one ahead nearer the goal; a search by cost
  // alone would expand the first and reach the goal the long way round.
  TAgent& s = t.Plant(10, 10);
  TAgent& g = t.Plant(14, 10);
  TAgent& ahead = t.Plant(12, 10);
  TAgent& behind = t.Plant(9, 10);
  t.Link(s, ahead);
  t.Link(s, behind);
  t.Link(ahead, g);
  t.Link(behind, g);
  EXPECT_EQ(t.Path(s, g), (std::vector<TAgent*>{&g, &ahead}));
}

TEST(FindNetworkPathTest, AmongEqualEstimatesTheNodeOpenedLastIsExpandedFirst) {
  Network t;
  TAgent& s = t.Plant(5, 5);
  TAgent& g = t.Plant(9, 5);
  TAgent& upper = t.Plant(7, 3);
  TAgent& lower = t.Plant(7, 7);
  t.Link(s, upper);
  t.Link(s, lower);
  t.Link(upper, g);
  t.Link(lower, g);
  EXPECT_EQ(t.Path(s, g), (std::vector<TAgent*>{&g, &lower}));
}

TEST(FindNetworkPathTest, AnEqualCostWayFoundLaterTakesTheNodeOver) {
  Network t;
  // Two mirror-image ways from s to p cost the same to the pixel; the lower one is expanded
  // first and opens p, the upper one then reaches p at equal cost and becomes its parent.
  TAgent& s = t.Plant(5, 5);
  TAgent& upper = t.Plant(7, 3);
  TAgent& lower = t.Plant(7, 7);
  TAgent& p = t.Plant(9, 5);
  TAgent& g = t.Plant(15, 5);
  t.Link(s, upper);
  t.Link(s, lower);
  t.Link(upper, p);
  t.Link(lower, p);
  t.Link(p, g);
  EXPECT_EQ(t.Path(s, g), (std::vector<TAgent*>{&g, &p, &upper}));
}

}  // namespace
}  // namespace veltmoor
