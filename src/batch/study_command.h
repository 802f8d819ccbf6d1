// veltmoor-batch's study and merge commands: a parameter study run headless, whole or one
// shard of it, and the shards of a split study put back together into what one process
// would have written. Also the simulation every command builds from its command line.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "display/canvas.h"
#include "geo/world_file.h"
#include "simulation/random_source.h"
#include "simulation/settings.h"
#include "simulation/simulation.h"

namespace veltmoor {

// A simulation with its services, built from a command's world options: the seed, the
// --set overrides, the drawing area, and Qt canvases only when a picture is wanted.
struct BatchSimulation {
  explicit BatchSimulation(const WorldOptions& options);

  MapSettings settings;
  RandomSource random;
  std::unique_ptr<CanvasFactory> canvases;
  std::unique_ptr<Simulation> sim;
  // Where the world lies, for worlds read from a georeferenced file or imported.
  std::optional<Georeference> georeference;
};

// "devpara", "mindist", "clustergrowth", "buildrules".
const std::vector<std::string>& StudyKindNames();

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

struct MergeOptions {
  std::string out;
  std::vector<std::string> parts;  // the output folders of the shards, in any order
};

// Checks that the parts are every shard of one study exactly once, merges their points and
// writes what the whole study run in one process writes. Throws UsageError for parts that
// do not belong together.
int RunMerge(const MergeOptions& options, std::ostream& err);

}  // namespace veltmoor
