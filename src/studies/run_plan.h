// The runs a study will make, one by one, so that a study can be split over processes or
// machines and put back together: each run has a global index, a reproducible seed derived
// from that index, and the parameter value (or rule) it runs with.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace veltmoor {

// The seed of run `run` of a study whose base seed is `base`: splitmix64 of the base mixed
// with the run index, so neighbouring runs get unrelated streams.
std::uint64_t RunSeed(std::uint64_t base, std::uint64_t run);

// A control of the simulation window and the text a study writes into it.
struct ControlWrite {
  std::string name;
  std::string text;
  bool operator==(const ControlWrite&) const = default;
};

// One parameter value (or one rule) of a study: what its points are plotted at and what the
// study writes into the simulation window for its runs.
struct PlannedValue {
  std::optional<double> x;  // none: its runs add no points (no parameter row is active)
  std::vector<ControlWrite> writes;
  bool operator==(const PlannedValue&) const = default;
};

struct PlannedRun {
  std::uint64_t run = 0;           // 0-based over the whole study
  std::uint64_t value_index = 0;   // 0-based index of its value
  std::uint64_t run_in_value = 0;  // 0-based index within its value
  PlannedValue value;
};

// Values in the order the study visits them, each run `RunsPerValue` times; run r belongs
// to value r / RunsPerValue. A plan is made from the settings as they stand; a study reads
// some settings again while it runs, so changing them mid-study changes what it does.
class RunPlan {
 public:
  using ValueAt = std::function<PlannedValue(std::uint64_t value_index)>;

  // A sweep of `value_count` values.
  RunPlan(std::uint64_t value_count, std::uint64_t runs_per_value, ValueAt value_at);
  // A study that never ends by itself; every run uses `value`.
  static RunPlan Unbounded(std::uint64_t runs_per_value, PlannedValue value);

  bool Bounded() const { return bounded_; }
  // Values and runs of a bounded plan; none for an unbounded one. The run count saturates.
  std::optional<std::uint64_t> ValueCount() const;
  std::optional<std::uint64_t> RunCount() const;
  std::uint64_t RunsPerValue() const { return runs_per_value_; }

  // Throws std::out_of_range past the end of a bounded plan.
  PlannedValue Value(std::uint64_t value_index) const;
  PlannedRun Run(std::uint64_t run) const;

 private:
  RunPlan() = default;

  bool bounded_ = true;
  std::uint64_t value_count_ = 0;
  std::uint64_t runs_per_value_ = 1;
  ValueAt value_at_;
};

// Runs dealt round-robin to `shard_count` shards, numbered from 0, so every shard gets a
// share of every value. Throws std::invalid_argument unless shard < shard_count.
bool InShard(std::uint64_t run, std::uint64_t shard, std::uint64_t shard_count);
std::function<bool(std::uint64_t)> ShardFilter(std::uint64_t shard, std::uint64_t shard_count);

}  // namespace veltmoor
