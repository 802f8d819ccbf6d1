// veltmoor-batch forecast: a Monte-Carlo ensemble of runs from one start world, reported as
// the share of runs in which each fine cell ends developed, and, against an observed map,
// every run's comparison statistics and the probability map's Total Operating
// Characteristic. Runs can be shared out as shards and merged into what one process writes.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "batch/merge_command.h"

namespace veltmoor {

struct ForecastOptions {
  WorldOptions world;  // --seed, --set (with the field type's radio button), --out
  std::string field_type;
  std::string start;
  std::uint64_t runs = 0;
  std::optional<long long> steps;
  std::optional<long long> until_developed;
  std::string until_like;
  std::string reference;
  std::vector<double> developed;  // values of developed land in class rasters
  std::string shard;
  bool measures = false;  // analyse every run for runs.csv
};

CLI::App* AddForecastCommand(CLI::App& app, ForecastOptions& options);
// Checks everything before the first run (exit 2, nothing written), runs the ensemble or
// one shard of it and writes the outputs, or a part for merge.
int RunForecastCommand(const ForecastOptions& options, std::ostream& err);

bool IsForecastPart(const std::string& folder);
int RunForecastMerge(const MergeOptions& options, std::ostream& err);

}  // namespace veltmoor
