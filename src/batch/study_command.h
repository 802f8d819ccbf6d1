// veltmoor-batch's study and merge commands: a parameter study run headless, whole or one
// shard of it, and the shards of a split study put back together into what one process
// would have written. Also the simulation every command builds from its command line.
#pragma once

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
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

// ---------------------------------------------------------------------------------------
// Shared with the other commands that split their runs into shards.

// Settings as name/text pairs, in the order of their registry.
using SettingTexts = std::vector<std::pair<std::string, std::string>>;
SettingTexts AllTexts(const SettingsSource& source, const SettingsRegistry& registry);
// The settings a user changed: enough to rebuild them, and easy to read in a manifest.
SettingTexts ChangedTexts(const SettingsSource& source);
std::vector<std::string> AsOverrides(const SettingTexts& texts);
nlohmann::json TextsToJson(const SettingTexts& texts);
// Back into registry order; throws UsageError for a name the registry lacks.
SettingTexts TextsFromJson(const nlohmann::json& object, const SettingsRegistry& registry);

struct Shard {
  std::uint64_t index = 0;  // from 0, as the runs count
  std::uint64_t count = 1;
  std::uint64_t Number() const { return index + 1; }  // from 1, as the command line counts
  std::string Text() const { return std::to_string(Number()) + "/" + std::to_string(count); }
};

// "K/N" with K from 1; none for an empty text. Throws UsageError for anything else.
std::optional<Shard> ParseShard(const std::string& text);
// Runs of `shard` among the runs [0, runs).
std::uint64_t ShardRunsBefore(std::uint64_t runs, const Shard& shard);
// The merge's output folder replaces what is there, so it may be no part, and neither hold
// nor lie inside one. Throws UsageError.
void CheckOutsideParts(const std::string& out, const std::vector<std::string>& parts);

}  // namespace veltmoor
