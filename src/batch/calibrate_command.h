// veltmoor-batch's calibrate command: the settings that grow a town like a target town,
// searched stage by stage over a box of settings, whole or as shards merged afterwards.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "batch/merge_command.h"

namespace veltmoor {

struct CalibrateOptions {
  // --width, --height, --seed, --set (with the field type's radio button), --out.
  WorldOptions world;
  std::string target;              // FILE: a measures.json or name -> value
  std::string measures;            // comma-separated measure names
  std::vector<std::string> vary;   // NAME=FROM:TO
  std::optional<long long> steps;  // exactly one of steps and until_developed
  std::optional<long long> until_developed;
  std::uint64_t points = 0;
  std::uint64_t runs = 0;
  std::uint64_t stages = 1;
  std::string shard;     // "K/N", empty for all runs
  std::string previous;  // the output of the stages before, empty to start afresh
  std::string start;     // a saved world.json every run grows on, empty for a new setup
  // Where the town grew: an observed later map the placement measures compare every run
  // with, its developed values when it is a class raster, and a map whose developed size
  // every run grows to.
  std::string reference;
  std::vector<double> developed;
  std::string until_like;
};

// Checks everything before the first run (UsageError, exit 2, nothing written), runs the
// calibration's stages, or one stage's shard, and writes its outputs into --out. Returns 1
// when no point had every run reach the target's size.
int RunCalibration(const CalibrateOptions& options, std::ostream& err);

// Checks the command line as RunCalibration does before its first run, running nothing.
void CheckCalibration(const CalibrateOptions& options);

// A list of runs is tied to its digest, so a run edited or cut from a file is found: the
// digest of `runs`, and the check of holder[list] against holder[list + "Sha256"], which
// throws UsageError naming `source`.
std::string RunsDigest(const nlohmann::json& runs);
void CheckRunsDigest(const nlohmann::json& holder, const char* list, const std::string& source);

// Whether the folder holds a part written by calibrate --shard.
bool IsCalibrationPart(const std::string& folder);
// Puts the shards of one calibration stage together into what one process writes.
int RunCalibrationMerge(const MergeOptions& options, std::ostream& err);

}  // namespace veltmoor
