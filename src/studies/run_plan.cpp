#include "studies/run_plan.h"

#include <limits>
#include <stdexcept>

namespace veltmoor {

namespace {

constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ULL;

std::uint64_t SplitMix64(std::uint64_t x) {
  x += kGolden;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

}  // namespace

std::uint64_t RunSeed(std::uint64_t base, std::uint64_t run) {
  return SplitMix64(base ^ (run * kGolden));
}

RunPlan::RunPlan(std::uint64_t value_count, std::uint64_t runs_per_value, ValueAt value_at)
    : value_count_(value_count),
      runs_per_value_(runs_per_value == 0 ? 1 : runs_per_value),
      value_at_(std::move(value_at)) {}

RunPlan RunPlan::Unbounded(std::uint64_t runs_per_value, PlannedValue value) {
  RunPlan plan;
  plan.bounded_ = false;
  plan.runs_per_value_ = runs_per_value == 0 ? 1 : runs_per_value;
  plan.value_at_ = [value = std::move(value)](std::uint64_t) { return value; };
  return plan;
}

std::optional<std::uint64_t> RunPlan::ValueCount() const {
  if (!bounded_) {
    return std::nullopt;
  }
  return value_count_;
}

std::optional<std::uint64_t> RunPlan::RunCount() const {
  if (!bounded_) {
    return std::nullopt;
  }
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  if (value_count_ != 0 && runs_per_value_ > kMax / value_count_) {
    return kMax;
  }
  return value_count_ * runs_per_value_;
}

PlannedValue RunPlan::Value(std::uint64_t value_index) const {
  if (bounded_ && value_index >= value_count_) {
    throw std::out_of_range("value " + std::to_string(value_index) + " is past the end of the " +
                            std::to_string(value_count_) + " planned values");
  }
  return value_at_(value_index);
}

PlannedRun RunPlan::Run(std::uint64_t run) const {
  PlannedRun planned;
  planned.run = run;
  planned.value_index = run / runs_per_value_;
  planned.run_in_value = run % runs_per_value_;
  planned.value = Value(planned.value_index);
  return planned;
}

bool InShard(std::uint64_t run, std::uint64_t shard, std::uint64_t shard_count) {
  if (shard >= shard_count) {
    throw std::invalid_argument("shard " + std::to_string(shard) + " of " +
                                std::to_string(shard_count) + " does not exist");
  }
  return run % shard_count == shard;
}

std::function<bool(std::uint64_t)> ShardFilter(std::uint64_t shard, std::uint64_t shard_count) {
  InShard(0, shard, shard_count);  // refuse a shard that does not exist before any run
  return [shard, shard_count](std::uint64_t run) { return InShard(run, shard, shard_count); };
}

}  // namespace veltmoor
