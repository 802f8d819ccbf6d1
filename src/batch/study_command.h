// veltmoor-batch's study command: a parameter study run headless, whole or one shard of it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "batch/batch_options.h"

namespace veltmoor {

struct StudyOptions {
  std::string kind;
  // --width, --height, --seed, --set (the simulation window), --out; `picture` is --pictures.
  WorldOptions world;
  std::vector<std::string> study_sets;  // NAME=VALUE: the study window's controls
  std::string shard;                    // "K/N" with K from 1; empty for the whole study
  bool timing = false;                  // the time spent running and writing, on stderr
};

// Runs a study to its end and writes study.csv and study.tee (devpara also data/ and, when
// asked, pictures/) into the output folder; with a shard, only that shard's runs, and
// study.csv with part.json instead. Throws UsageError, StudySettingsError or ConversionError
// for settings it refuses, before any file is written; returns 0, or 1 when the study
// stopped on a file it could not write.
int RunStudy(const StudyOptions& options, std::ostream& err);

// What a study would run, checked as RunStudy checks it: its planned runs and the bytes of
// its world before it grows.
struct StudyShape {
  std::uint64_t runs = 0;
  std::uint64_t world_bytes = 0;
};
StudyShape ShapeOfStudy(const StudyOptions& options);

}  // namespace veltmoor
