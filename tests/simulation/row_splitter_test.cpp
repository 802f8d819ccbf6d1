// The row loop a simulation shares with its helper thread: every row once, two threads only
// where it pays, and the potentials of a shared pass equal those of one thread.
#include "simulation/row_splitter.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "growth/potential_field.h"
#include "growth/run_control.h"
#include "simulation/setup.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

struct Visit {
  std::vector<int> seen;  // times each row was visited
  std::size_t threads = 0;
};

Visit VisitRows(RowSplitter& splitter, int rows, int columns) {
  Visit visit{std::vector<int>(static_cast<std::size_t>(rows), 0), 0};
  std::mutex mutex;
  std::set<std::thread::id> threads;
  splitter.ForRows(rows, columns, [&](int first, int end) {
    {
      const std::lock_guard lock(mutex);
      threads.insert(std::this_thread::get_id());
    }
    for (int r = first; r < end; ++r) {
      ++visit.seen[static_cast<std::size_t>(r)];
    }
  });
  visit.threads = threads.size();
  return visit;
}

TEST(RowSplitterTest, VisitsEveryRowOnceAndSharesOnlyLargeGrids) {
  RowSplitter splitter;
  const Visit small = VisitRows(splitter, 10, 10);
  EXPECT_EQ(small.seen, std::vector<int>(10, 1));
  EXPECT_EQ(small.threads, 1u);
  // An odd row count: the middle row belongs to exactly one half.
  for (int pass = 0; pass < 3; ++pass) {
    const Visit large = VisitRows(splitter, 301, 200);
    EXPECT_EQ(large.seen, std::vector<int>(301, 1));
    EXPECT_EQ(large.threads, 2u);
  }
}

TEST(RowSplitterTest, ASharedPotentialPassEqualsOneThreadsPass) {
  auto grow = [](testing::TestSimulation& t) {
    t.random.SetFixedSeed(3);
    t.settings.Set(setting::kCellScale, "3");
    t.settings.SetChecked(setting::kBoom, true);
    NewSetup(t.sim);
    StartRun(t.sim);
    for (int i = 0; i < 20; ++i) {
      SimulationStep(t.sim);
    }
  };
  testing::TestSimulation shared;
  testing::TestSimulation alone;
  grow(shared);
  grow(alone);
  ASSERT_GT(static_cast<long long>(shared.world().RowCount) * shared.world().ColumnCount, 16384);
  UpdatePotential(shared.world(), 5, &shared.sim.rows);
  UpdatePotential(alone.world(), 5);
  SpreadPotentialToFineGrid(shared.world(), &shared.sim.rows);
  SpreadPotentialToFineGrid(alone.world());
  std::vector<float> a;
  std::vector<float> b;
  for (const TFineCell& fine : shared.world().FineGrid.Cells()) {
    a.push_back(fine.Potential);
  }
  for (const TFineCell& fine : alone.world().FineGrid.Cells()) {
    b.push_back(fine.Potential);
  }
  EXPECT_EQ(a, b);
}

}  // namespace
}  // namespace veltmoor
