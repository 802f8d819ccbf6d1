#include "analysis/dijkstra.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "analysis/path_network.h"
#include "growth/run_control.h"
#include "simulation/setup.h"

namespace veltmoor {
namespace {

using testing::PathNetwork;
using Path = std::vector<int>;

TEST(ComputePathTableTest, ReturnsTheTableAndLeavesTheWorldAlone) {
  PathNetwork chain(3);
  chain.Link(0, 1);
  chain.Link(1, 2);
  std::vector<int> reports;
  const World& world = chain.world();
  const PathTable paths = ComputePathTable(
      world, [&reports](int percent) { reports.push_back(percent); }, 2);
  EXPECT_EQ(paths.PathList(0, 2), (Path{1, 2}));
  EXPECT_EQ(paths.HopCount(2, 0), 2);
  EXPECT_EQ(reports, (std::vector<int>{0, 33, 67}));
  EXPECT_TRUE(world.PathMatrix.Empty());
}

TEST(ShortestPaths, TwoLinkedNodesAndATriangle) {
  PathNetwork pair(2);
  pair.Link(0, 1);
  ComputeAllPaths(pair.sim());
  const PathTable& paths = pair.world().PathMatrix;
  EXPECT_EQ(paths.PathList(0, 1), Path{1});
  EXPECT_EQ(paths.PathList(1, 0), Path{0});
  EXPECT_TRUE(paths.PathList(0, 0).empty());
  EXPECT_EQ(paths.HopCount(1, 1), 0);

  PathNetwork triangle(3);
  triangle.Link(0, 1);
  triangle.Link(1, 2);
  triangle.Link(2, 0);
  ComputeAllPaths(triangle.sim());
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(triangle.world().PathMatrix.PathList(i, j), i == j ? Path{} : Path{j});
    }
  }
}

// Square S(0)-A(1), S-B(2), A-X(3), B-X: whichever of A and B the source lists first
// reaches X first and keeps it, whatever order X lists them in.
TEST(ShortestPaths, SquareFollowsTheSourcesLinksOrder) {
  PathNetwork a_first(4);
  a_first.Link(0, 1);
  a_first.Link(0, 2);
  a_first.Link(2, 3);
  a_first.Link(1, 3);
  ComputeAllPaths(a_first.sim());
  EXPECT_EQ(a_first.world().PathMatrix.PathList(0, 3), (Path{1, 3}));
  EXPECT_EQ(a_first.world().PathMatrix.PathList(3, 0), (Path{2, 0}));

  PathNetwork b_first(4);
  b_first.Link(0, 2);
  b_first.Link(0, 1);
  b_first.Link(1, 3);
  b_first.Link(2, 3);
  ComputeAllPaths(b_first.sim());
  EXPECT_EQ(b_first.world().PathMatrix.PathList(0, 3), (Path{2, 3}));
  EXPECT_EQ(b_first.world().PathMatrix.PathList(3, 0), (Path{1, 0}));
  EXPECT_EQ(b_first.world().PathMatrix.HopCount(0, 3), 2);
}

TEST(ShortestPaths, ChainOfFour) {
  PathNetwork chain(4);
  chain.Chain(4);
  ComputeAllPaths(chain.sim());
  const PathTable& paths = chain.world().PathMatrix;
  EXPECT_EQ(paths.PathList(0, 3), (Path{1, 2, 3}));
  EXPECT_EQ(paths.HopCount(0, 3), 3);
  EXPECT_EQ(paths.PathList(3, 0), (Path{2, 1, 0}));
  EXPECT_EQ(paths.PathList(1, 3), (Path{2, 3}));
}

TEST(ShortestPaths, SeparateNetworksAndALoneNodeHaveOnlyEmptyLists) {
  PathNetwork net(5);
  net.Link(0, 1);
  net.Link(2, 3);
  ComputeAllPaths(net.sim());
  const PathTable& paths = net.world().PathMatrix;
  for (int a : {0, 1}) {
    for (int b : {2, 3}) {
      EXPECT_TRUE(paths.PathList(a, b).empty());
      EXPECT_TRUE(paths.PathList(b, a).empty());
    }
  }
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(paths.HopCount(4, i), 0);
    EXPECT_EQ(paths.HopCount(i, 4), 0);
    EXPECT_EQ(paths.Parent(4, i), PathTable::kNoParent);
  }
  EXPECT_EQ(paths.PathList(2, 3), Path{3});
}

TEST(ShortestPaths, ProgressAfterEachSourceInOrderOnTheCallingThread) {
  PathNetwork three(3);
  three.Chain(3);
  std::vector<int> positions;
  three.sim().PathProgress = [&](int p) { positions.push_back(p); };
  ComputeAllPaths(three.sim(), 1);
  EXPECT_EQ(positions, (std::vector<int>{0, 33, 67}));

  PathNetwork many(40);
  many.Chain(40);
  const auto caller = std::this_thread::get_id();
  positions.clear();
  bool foreign_thread = false;
  many.sim().PathProgress = [&](int p) {
    foreign_thread = foreign_thread || std::this_thread::get_id() != caller;
    positions.push_back(p);
  };
  ComputeAllPaths(many.sim(), 4);
  ASSERT_EQ(positions.size(), 40u);
  EXPECT_FALSE(foreign_thread);
  EXPECT_EQ(positions[1], 2);  // 2.5 goes to the even neighbour
  EXPECT_EQ(positions[3], 8);  // 7.5
  EXPECT_EQ(positions[39], 98);
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));

  // 59 / 200 in extended precision lies just below 0.295, so its hundredfold rounds down,
  // where the product 100 * 59 / 200 would be exactly 29.5 and go to 30.
  PathNetwork unlinked(200);
  positions.clear();
  unlinked.sim().PathProgress = [&](int p) { positions.push_back(p); };
  ComputeAllPaths(unlinked.sim(), 1);
  ASSERT_EQ(positions.size(), 200u);
  EXPECT_EQ(positions[59], 29);
}

TEST(ShortestPaths, EmptyNetworkReportsNothing) {
  PathNetwork none(0);
  int calls = 0;
  none.sim().PathProgress = [&](int) { ++calls; };
  ComputeAllPaths(none.sim());
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(none.world().PathMatrix.Empty());
}

TEST(ShortestPaths, RecomputingTakesInNodesMadeSince) {
  PathNetwork net(2);
  net.Link(0, 1);
  ComputeAllPaths(net.sim());
  net.AddNode();
  net.Link(1, 2);
  ComputeAllPaths(net.sim());
  EXPECT_EQ(net.world().PathMatrix.NodeCount(), 3);
  EXPECT_EQ(net.world().PathMatrix.PathList(0, 2), (Path{1, 2}));
}

TEST(ShortestPaths, SearchFieldsEndAsTheLastSearchLeavesThem) {
  PathNetwork net(5);
  net.Chain(3);  // 0-1-2; 3 and 4 apart, 4 is the last source
  net.Link(3, 4);
  net.world().Node(0).SearchState = 1;
  net.world().Node(0).HopCount = 7;
  ComputeAllPaths(net.sim(), 2);
  const std::vector<int> states = {0, 0, 0, 2, 2};
  const std::vector<int> hops = {0, 0, 0, 1, 0};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(net.world().Node(i).SearchState, states[i]) << i;
    EXPECT_EQ(net.world().Node(i).HopCount, hops[i]) << i;
  }
}

// The search as first written: an ordered open list, the fewest hops (earliest among
// equals) taken next, and whole path lists copied on every discovery or strict improvement.
std::vector<Path> OpenListSearch(const World& world, int source) {
  const std::size_t n = world.NodeList.size();
  std::vector<Path> paths(n);
  std::vector<int> state(n, 0);
  std::vector<int> open;
  state[static_cast<std::size_t>(source)] = 2;
  for (const LinkEntry& link : world.Node(static_cast<std::size_t>(source)).Links) {
    paths[static_cast<std::size_t>(link.OtherNode)] = {link.OtherNode};
    state[static_cast<std::size_t>(link.OtherNode)] = 1;
    open.push_back(link.OtherNode);
  }
  while (!open.empty()) {
    std::size_t selected = 0;
    std::size_t best = 99999999;
    for (std::size_t k = 0; k < open.size(); ++k) {
      if (paths[static_cast<std::size_t>(open[k])].size() < best) {
        best = paths[static_cast<std::size_t>(open[k])].size();
        selected = k;
      }
    }
    const int q = open[selected];
    open.erase(open.begin() + static_cast<std::ptrdiff_t>(selected));
    state[static_cast<std::size_t>(q)] = 2;
    for (const LinkEntry& link : world.Node(static_cast<std::size_t>(q)).Links) {
      const auto x = static_cast<std::size_t>(link.OtherNode);
      Path via = paths[static_cast<std::size_t>(q)];
      via.push_back(link.OtherNode);
      if (state[x] == 0) {
        state[x] = 1;
        paths[x] = via;
        open.push_back(link.OtherNode);
      } else if (state[x] == 1 && via.size() < paths[x].size()) {
        paths[x] = via;
      }
    }
  }
  return paths;
}

class GrownNetworkPaths : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    grown_ = std::make_unique<testing::TestSimulation>();
    grown_->settings.SetChecked(setting::kNetworkOnly, true);
    NewSetup(grown_->sim);
    StartRun(grown_->sim);
    for (int step = 0; step < 150 && grown_->sim.TimerEnabled; ++step) {
      SimulationStep(grown_->sim);
    }
  }
  static void TearDownTestSuite() { grown_.reset(); }

  static Simulation& sim() { return grown_->sim; }
  static int NodeCount() { return static_cast<int>(sim().world.NodeList.size()); }

  static std::unique_ptr<testing::TestSimulation> grown_;
};

std::unique_ptr<testing::TestSimulation> GrownNetworkPaths::grown_;

TEST_F(GrownNetworkPaths, AllThreadsGiveWhatOneThreadGives) {
  const int n = NodeCount();
  ASSERT_GT(n, 100);
  ComputeAllPaths(sim(), 1);
  const PathTable single = sim().world.PathMatrix;
  ComputeAllPaths(sim(), 4);
  const PathTable& parallel = sim().world.PathMatrix;
  ASSERT_EQ(parallel.NodeCount(), n);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      ASSERT_EQ(parallel.HopCount(i, j), single.HopCount(i, j)) << i << " " << j;
      ASSERT_EQ(parallel.Parent(i, j), single.Parent(i, j)) << i << " " << j;
    }
  }
}

// The 16-bit table must hold exactly what 32-bit entries hold, unreachable pairs included,
// and refuse a count it cannot hold rather than wrap it.
TEST_F(GrownNetworkPaths, SixteenBitEntriesHoldWhatThirtyTwoBitOnesHold) {
  const int n = NodeCount();
  ComputeAllPaths(sim(), 2);
  const PathTable& narrow = sim().world.PathMatrix;
  ASSERT_TRUE(narrow.Narrow());
  PathTable wide;
  wide.Reset(n + 1, PathTable::Width::Wide);  // one node more: never reached
  PathSearch search(n + 1);
  for (int source = 0; source < n; ++source) {
    ShortestPathsFrom(sim().world, source, search);
    wide.SetRow(source, search.hops, search.parents);
  }
  ASSERT_FALSE(wide.Narrow());
  int unreachable = 0;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      ASSERT_EQ(narrow.HopCount(i, j), wide.HopCount(i, j)) << i << " " << j;
      ASSERT_EQ(narrow.Parent(i, j), wide.Parent(i, j)) << i << " " << j;
    }
    unreachable += wide.Parent(i, n) == PathTable::kNoParent ? 1 : 0;
  }
  EXPECT_EQ(unreachable, n);
  PathTable small;
  small.Reset(3);
  EXPECT_THROW(small.SetHopCount(0, 1, 65536), std::out_of_range);
  EXPECT_NO_THROW(small.SetHopCount(0, 1, 65535));
}

TEST_F(GrownNetworkPaths, PathListsAreThoseOfTheOpenListSearch) {
  // Only a network with cycles offers equally short routes to choose between.
  ASSERT_GE(sim().world.EdgeCount, sim().world.NodeCount);
  ComputeAllPaths(sim());
  const PathTable& paths = sim().world.PathMatrix;
  for (int s = 0; s < NodeCount(); ++s) {
    const std::vector<Path> expected = OpenListSearch(sim().world, s);
    for (int x = 0; x < NodeCount(); ++x) {
      ASSERT_EQ(paths.PathList(s, x), expected[static_cast<std::size_t>(x)]) << s << " " << x;
    }
  }
}

}  // namespace
}  // namespace veltmoor
