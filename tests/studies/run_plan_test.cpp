#include "studies/run_plan.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "simulation/settings.h"
#include "studies/measurements.h"

namespace veltmoor {
namespace {

TEST(RunSeedTest, DependsOnBaseAndRunAndNothingElse) {
  std::set<std::uint64_t> seeds;
  for (std::uint64_t run = 0; run < 1000; ++run) {
    seeds.insert(RunSeed(42, run));
  }
  EXPECT_EQ(seeds.size(), 1000u);
  EXPECT_EQ(RunSeed(42, 7), RunSeed(42, 7));
  EXPECT_NE(RunSeed(42, 7), RunSeed(43, 7));
  EXPECT_NE(RunSeed(0, 0), 0u);
}

TEST(RunPlanTest, RunsBelongToTheirValueInOrder) {
  const RunPlan plan(3, 2, [](std::uint64_t i) {
    return PlannedValue{static_cast<double>(10 * i),
                        {{setting::kMinDistance.Str(), std::to_string(10 * i)}}};
  });
  EXPECT_EQ(plan.ValueCount(), 3u);
  EXPECT_EQ(plan.RunCount(), 6u);
  const PlannedRun run = plan.Run(5);
  EXPECT_EQ(run.value_index, 2u);
  EXPECT_EQ(run.run_in_value, 1u);
  EXPECT_EQ(run.value.x, 20.0);
  EXPECT_THROW(plan.Run(6), std::out_of_range);

  const RunPlan endless = RunPlan::Unbounded(2, {});
  EXPECT_FALSE(endless.Bounded());
  EXPECT_FALSE(endless.RunCount());
  EXPECT_FALSE(endless.Run(1000).value.x);
}

TEST(RunPlanTest, ShardsShareTheRunsRoundRobin) {
  int counts[3] = {0, 0, 0};
  for (std::uint64_t run = 0; run < 10; ++run) {
    int owners = 0;
    for (std::uint64_t k = 0; k < 3; ++k) {
      if (InShard(run, k, 3)) {
        ++counts[k];
        ++owners;
      }
    }
    EXPECT_EQ(owners, 1);
  }
  EXPECT_EQ(counts[0], 4);
  EXPECT_EQ(counts[2], 3);
  EXPECT_THROW(ShardFilter(2, 2), std::invalid_argument);
  EXPECT_THROW(ShardFilter(0, 0), std::invalid_argument);
}

TEST(MeasurementsTest, CsvKeepsEveryDoubleExactly) {
  const std::vector<Measurement> records = {{"ser_Connect", 1.2000000476837158, 0.1 + 0.2, 0, 0},
                                            {"Series_IS", -3, 1e-300, 17, 4}};
  std::stringstream csv;
  WriteMeasurementsCsv(csv, records);
  EXPECT_EQ(csv.str().substr(0, csv.str().find('\n')), "series,x,y,run,value_index");
  EXPECT_NE(csv.str().find("Series_IS,-3,1e-300,17,4"), std::string::npos);
  EXPECT_EQ(ReadMeasurementsCsv(csv), records);
}

TEST(MeasurementsTest, MalformedCsvNamesTheLine) {
  std::stringstream wrong_header("x,y\n");
  EXPECT_THROW(ReadMeasurementsCsv(wrong_header), std::runtime_error);
  std::stringstream bad_row("series,x,y,run,value_index\nser_IS,1,2,3,4\nser_IS,1,two,3,4\n");
  try {
    ReadMeasurementsCsv(bad_row);
    FAIL() << "a row with a word for a number was read";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
  }
  std::stringstream empty;
  EXPECT_THROW(ReadMeasurementsCsv(empty), std::runtime_error);
}

TEST(MeasurementsTest, MergeOrdersByRunAndKeepsOrderWithinARun) {
  const std::vector<Measurement> shard0 = {{"b", 0, 1, 0, 0}, {"a", 0, 2, 0, 0}, {"b", 0, 5, 2, 1}};
  const std::vector<Measurement> shard1 = {{"b", 0, 3, 1, 0}, {"a", 0, 4, 1, 0}};
  const std::vector<Measurement> merged = MergeMeasurements({shard1, shard0});
  std::vector<double> ys;
  for (const Measurement& m : merged) {
    ys.push_back(m.y);
  }
  EXPECT_EQ(ys, (std::vector<double>{1, 2, 3, 4, 5}));
}

}  // namespace
}  // namespace veltmoor
