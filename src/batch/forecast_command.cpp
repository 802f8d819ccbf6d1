#include "batch/forecast_command.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "analysis/fractal.h"
#include "batch/batch_simulation.h"
#include "batch/calibrate_command.h"
#include "batch/compare_command.h"
#include "batch/compare_report.h"
#include "batch/forecast_report.h"
#include "batch/placement_measures.h"
#include "batch/shards.h"
#include "batch/study_part.h"
#include "batch/world_commands.h"
#include "geo/class_maps.h"
#include "geo/world_file.h"
#include "growth/run_control.h"
#include "io/atomic_file.h"
#include "io/output_unit.h"
#include "studies/calibration.h"
#include "studies/run_plan.h"
#include "validation/three_map.h"

namespace veltmoor {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kPartFormatName = "veltmoor forecast part 1";
constexpr const char* kCountsFile = "counts.bin";

std::string FileBytes(const std::string& path, const std::string& label) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in) {
    throw UsageError(label + " '" + path + "' is missing or unreadable");
  }
  return bytes.str();
}

json FileEntry(const std::string& path, const std::string& label) {
  if (path.empty()) {
    return nullptr;
  }
  return {{"File", path}, {"Sha256", Sha256(FileBytes(path, label))}};
}

// A file the manifest names, read again where a merge runs: it must be the very file the
// shards read.
void CheckFileEntry(const json& entry, const std::string& label) {
  if (entry.is_null()) {
    return;
  }
  const std::string path = entry.at("File").get<std::string>();
  if (Sha256(FileBytes(path, label)) != entry.at("Sha256").get<std::string>()) {
    throw UsageError(label + " '" + path +
                     "' is not the file the shards read (its SHA-256 "
                     "differs)");
  }
}

// The maps a forecast reads besides its start world, checked against it.
struct Inputs {
  WorldDocument start;
  DevelopedMap original;
  std::optional<DevelopedMap> reference;
  long long until_like = 0;  // developed cells of the --until-like map
};

Inputs ReadInputs(const ForecastPlan& plan) {
  Inputs in;
  in.start = ReadWorldFile(plan.start);
  in.original = DevelopedMapOfWorld(in.start);
  CheckComparableSize(in.original.frame, "--start");
  if (!plan.reference.empty()) {
    in.reference =
        ReadMapOnStart(plan.reference, "--reference", in.original, plan.start, plan.developed);
  }
  if (!plan.until_like.empty()) {
    in.until_like = static_cast<long long>(
        ReadMapOnStart(plan.until_like, "--until-like", in.original, plan.start, plan.developed)
            .developed);
  }
  return in;
}

std::unique_ptr<BatchSimulation> StartSimulation(const ForecastPlan& plan, const Inputs& in,
                                                 std::uint64_t seed) {
  WorldOptions world;
  world.sets = in.start.SettingTexts();
  world.sets.insert(world.sets.end(), plan.sets.begin(), plan.sets.end());
  world.width = in.start.width;
  world.height = in.start.height;
  world.seed = seed;
  world.picture = false;
  auto batch = std::make_unique<BatchSimulation>(world);
  RestoreWorld(in.start, *batch->sim);
  // Every run starts a stream of its own from its seed, whatever the saved generator held.
  batch->random.SetFixedSeed(seed);
  batch->georeference = in.start.georeference;
  return batch;
}

ForecastRun RunOnce(const ForecastPlan& plan, const Inputs& in, std::uint64_t run,
                    std::vector<std::uint32_t>& counts, std::vector<std::uint8_t>& mask,
                    unsigned path_threads) {
  ForecastRun result;
  result.run = run;
  result.seed = RunSeed(plan.seed, run);
  const auto batch = StartSimulation(plan, in, result.seed);
  Simulation& sim = *batch->sim;
  StartRun(sim);
  const Growth growth = GrowTown(sim, plan.limit);
  result.end = growth.end;
  result.steps = growth.steps;
  result.developed = growth.developed;
  if (plan.measures) {
    Button4Click(sim, path_threads);
    for (const std::string& name : RunMeasureNames()) {
      result.measures.push_back(ReadMeasure(sim, name));
    }
  }
  const std::vector<TFineCell>& cells = sim.world.FineGrid.Cells();
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const bool developed = cells[i].LandUse == kLandDeveloped;
    mask[i] = developed ? 1 : 0;
    counts[i] += developed ? 1 : 0;
  }
  if (in.reference) {
    const MaskView simulated{in.original.frame.columns, in.original.frame.rows, mask};
    const ThreeMapComparison c =
        CompareThreeMaps(ViewOf(in.original), ViewOf(*in.reference), simulated, {}, {});
    for (NamedFigure& figure : CellFigures(c.model.counts)) {
      result.figures.push_back(std::move(figure.figure));
    }
  }
  return result;
}

json FigureToJson(const Figure& figure) {
  return figure.value ? json(*figure.value) : json{{"Why", figure.undefined_because}};
}

Figure FigureFromJson(const json& j) {
  if (j.is_number()) {
    return {j.get<double>(), {}};
  }
  return {std::nullopt, j.at("Why").get<std::string>()};
}

json RunsToJson(const std::vector<ForecastRun>& runs) {
  json list = json::array();
  for (const ForecastRun& r : runs) {
    json figures = json::array();
    for (const Figure& f : r.figures) {
      figures.push_back(FigureToJson(f));
    }
    json entry = {{"Run", r.run},     {"Seed", r.seed},           {"End", RunEndName(r.end)},
                  {"Steps", r.steps}, {"Developed", r.developed}, {"Figures", std::move(figures)}};
    if (!r.measures.empty()) {
      json measures = json::array();
      for (const std::optional<double>& m : r.measures) {
        measures.push_back(m ? json(*m) : json(nullptr));
      }
      entry["Measures"] = std::move(measures);
    }
    list.push_back(std::move(entry));
  }
  return list;
}

std::vector<ForecastRun> RunsFromJson(const json& list, const std::string& source) {
  std::vector<ForecastRun> runs;
  try {
    for (const json& r : list) {
      ForecastRun run;
      run.run = r.at("Run").get<std::uint64_t>();
      run.seed = r.at("Seed").get<std::uint64_t>();
      run.end = RunEndFromName(r.at("End").get<std::string>());
      run.steps = r.at("Steps").get<long long>();
      run.developed = r.at("Developed").get<long long>();
      for (const json& f : r.at("Figures")) {
        run.figures.push_back(FigureFromJson(f));
      }
      for (const json& m : r.value("Measures", json::array())) {
        run.measures.push_back(m.is_null() ? std::nullopt : std::optional<double>(m.get<double>()));
      }
      runs.push_back(std::move(run));
    }
  } catch (const std::exception& e) {
    throw UsageError("'" + source + "' holds a run that is not a forecast run: " + e.what());
  }
  return runs;
}

void WriteFiles(const OutputFiles& files, OutputUnit& unit) {
  for (const auto& [name, content] : files) {
    WriteFileAtomically((unit.Staging() / name).string(), content);
  }
  unit.Commit();
}

std::string CountsBytes(const std::vector<std::uint32_t>& counts) {
  std::string bytes(counts.size() * sizeof(std::uint32_t), '\0');
  for (std::size_t i = 0; i < counts.size(); ++i) {
    for (std::size_t b = 0; b < 4; ++b) {  // little-endian on every machine
      bytes[4 * i + b] = static_cast<char>((counts[i] >> (8 * b)) & 0xFFU);
    }
  }
  return bytes;
}

std::vector<std::uint32_t> CountsFromBytes(const std::string& bytes) {
  std::vector<std::uint32_t> counts(bytes.size() / 4);
  for (std::size_t i = 0; i < counts.size(); ++i) {
    std::uint32_t v = 0;
    for (std::size_t b = 0; b < 4; ++b) {
      v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[4 * i + b])) << (8 * b);
    }
    counts[i] = v;
  }
  return counts;
}

OutputFiles WholeFiles(const ForecastPlan& plan, const Inputs& in,
                       const std::vector<std::uint32_t>& counts, std::vector<ForecastRun> runs) {
  std::sort(runs.begin(), runs.end(),
            [](const ForecastRun& a, const ForecastRun& b) { return a.run < b.run; });
  ForecastMaps maps{in.original, in.reference ? &*in.reference : nullptr};
  return ForecastFiles(plan, maps, counts, runs);
}

}  // namespace

CLI::App* AddForecastCommand(CLI::App& app, ForecastOptions& options) {
  CLI::App* command = app.add_subcommand(
      "forecast", "grow many seeded runs from one world and map the share that develops each cell");
  command->add_option("--start", options.start, "the world.json every run grows on")
      ->required()
      ->check(CLI::ExistingFile);
  command->add_option("--runs", options.runs, "runs in the ensemble")
      ->required()
      ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{1000000}));
  auto* steps = command->add_option("--steps", options.steps, "grow every run this many steps")
                    ->check(CLI::Range(1LL, 100000000LL));
  auto* developed = command
                        ->add_option("--until-developed", options.until_developed,
                                     "grow every run until this many fine cells are developed")
                        ->check(CLI::Range(1LL, 100000000LL));
  auto* like = command->add_option("--until-like", options.until_like,
                                   "grow every run until it holds as many developed cells as "
                                   "this map (world.json or raster)");
  steps->excludes(developed)->excludes(like);
  developed->excludes(like);
  command->add_option("--field-type", options.field_type, "boom, interlink or cluster")
      ->check(CLI::IsMember({"boom", "interlink", "cluster"}));
  command->add_option("--reference", options.reference,
                      "an observed later map to compare every run and the probabilities with");
  command
      ->add_option("--developed", options.developed,
                   "V[,V...]: the values of developed land in class rasters")
      ->delimiter(',');
  AddSeedOption(
      *command, [&options](std::uint64_t seed) { options.world.seed = seed; },
      "run r grows from the seed the studies derive from this and r");
  command->add_option("--set", options.world.sets, "NAME=VALUE: a setting on top of the world's")
      ->allow_extra_args(false);
  command->add_flag("--measures", options.measures,
                    "analyse every run and add its summary measures to runs.csv");
  command->add_option("--shard", options.shard, "K/N: run only shard K of N and write a part");
  command->add_option("--out", options.world.out, "output folder")->required();
  return command;
}

namespace {
bool HoldsCompletePart(const ForecastPlan& plan, const Inputs& in, const Shard& shard,
                       const std::string& out);
}  // namespace

int RunForecastCommand(const ForecastOptions& options, std::ostream& err) {
  if (!options.world.seed) {
    throw UsageError("--seed is required: every run's seed derives from it");
  }
  const int limits = (options.steps ? 1 : 0) + (options.until_developed ? 1 : 0) +
                     (options.until_like.empty() ? 0 : 1);
  if (limits != 1) {
    throw UsageError("give one of --steps N, --until-developed N and --until-like MAP");
  }
  const std::optional<Shard> shard = ParseShard(options.shard);
  ForecastPlan plan;
  plan.start = options.start;
  plan.reference = options.reference;
  plan.until_like = options.until_like;
  if (!options.developed.empty()) {
    plan.developed = options.developed;
  }
  plan.sets = options.world.sets;
  plan.seed = *options.world.seed;
  plan.runs = options.runs;
  plan.measures = options.measures;
  Inputs in = ReadInputs(plan);
  plan.limit = options.steps ? GrowthLimit{GrowthLimit::Kind::Steps, *options.steps}
               : options.until_developed
                   ? GrowthLimit{GrowthLimit::Kind::Developed, *options.until_developed}
                   : GrowthLimit{GrowthLimit::Kind::Developed, in.until_like};
  // Bad settings, or a cell size the world cannot take, stop here rather than at run 1.
  StartSimulation(plan, in, plan.seed);
  plan.manifest = {{"Start", FileEntry(plan.start, "--start")},
                   {"Reference", FileEntry(plan.reference, "--reference")},
                   {"UntilLike", FileEntry(plan.until_like, "--until-like")},
                   {"Developed", plan.developed ? json(*plan.developed) : json(nullptr)},
                   {"Settings", plan.sets},
                   {"Seed", plan.seed},
                   {"Runs", plan.runs},
                   {"Limit", plan.limit.kind == GrowthLimit::Kind::Steps
                                 ? json{{"Steps", plan.limit.count}}
                                 : json{{"Developed", plan.limit.count}}}};
  if (plan.measures) {
    plan.manifest["Measures"] = RunMeasureNames();  // absent without: older manifests stay
  }
  if (shard && HoldsCompletePart(plan, in, *shard, options.world.out)) {
    ReportShardDone("forecast", *shard, options.world.out, err);
    return 0;
  }
  OutputUnit unit(options.world.out);

  std::vector<std::uint32_t> counts(in.original.mask.size(), 0);
  std::vector<std::uint8_t> mask(in.original.mask.size(), 0);
  std::vector<ForecastRun> runs;
  for (std::uint64_t r = 0; r < plan.runs; ++r) {
    if (shard && !InShard(r, shard->index, shard->count)) {
      continue;
    }
    // Shards run side by side, a process a core; one process has the cores to itself.
    runs.push_back(RunOnce(plan, in, r, counts, mask, shard ? 1 : 0));
    err << "forecast" << (shard ? " (shard " + shard->Text() + ")" : "") << ": run " << r + 1 << "/"
        << plan.runs << " done, " << runs.back().steps << " steps, " << runs.back().developed
        << " developed fine cells\n";
  }
  if (!shard) {
    WriteFiles(WholeFiles(plan, in, counts, std::move(runs)), unit);
    return 0;
  }
  const std::string bytes = CountsBytes(counts);
  json part = {{"Format", kPartFormatName}, {"Forecast", plan.manifest},
               {"Shard", shard->Number()},  {"ShardCount", shard->count},
               {"Runs", RunsToJson(runs)},  {"CountsSha256", Sha256(bytes)}};
  part["RunsSha256"] = RunsDigest(part["Runs"]);
  WriteFiles({{kPartFile, Text(part.dump(1) + "\n")}, {kCountsFile, Text(bytes)}}, unit);
  return 0;
}

bool IsForecastPart(const std::string& folder) {
  std::ifstream in(fs::path(folder) / kPartFile);
  if (!in) {
    return false;
  }
  try {
    const json part = json::parse(in);
    return part.is_object() && part.value("Format", "") == kPartFormatName;
  } catch (const json::exception&) {
    return false;
  }
}

namespace {

ForecastPlan PlanFromManifest(const json& manifest) {
  ForecastPlan plan;
  plan.manifest = manifest;
  try {
    plan.start = manifest.at("Start").at("File").get<std::string>();
    if (!manifest.at("Reference").is_null()) {
      plan.reference = manifest.at("Reference").at("File").get<std::string>();
    }
    if (!manifest.at("UntilLike").is_null()) {
      plan.until_like = manifest.at("UntilLike").at("File").get<std::string>();
    }
    if (!manifest.at("Developed").is_null()) {
      plan.developed = manifest.at("Developed").get<std::vector<double>>();
    }
    plan.sets = manifest.at("Settings").get<std::vector<std::string>>();
    plan.seed = manifest.at("Seed").get<std::uint64_t>();
    plan.runs = manifest.at("Runs").get<std::uint64_t>();
    const json& limit = manifest.at("Limit");
    plan.limit.kind =
        limit.contains("Steps") ? GrowthLimit::Kind::Steps : GrowthLimit::Kind::Developed;
    plan.limit.count = limit.begin()->get<long long>();
    if (manifest.contains("Measures")) {
      if (manifest["Measures"].get<std::vector<std::string>>() != RunMeasureNames()) {
        throw UsageError("the parts measure runs by other names than this program does");
      }
      plan.measures = true;
    }
  } catch (const json::exception& e) {
    throw UsageError(std::string("not a forecast manifest: ") + e.what());
  }
  if (plan.runs < 1) {
    throw UsageError("not a forecast manifest: no runs");
  }
  return plan;
}

}  // namespace

namespace {

std::vector<json> ReadForecastParts(const std::vector<std::string>& folders) {
  std::vector<json> parts;
  for (const std::string& folder : folders) {
    json part;
    try {
      part = json::parse(FileBytes((fs::path(folder) / kPartFile).string(), "part"));
    } catch (const json::exception& e) {
      throw UsageError("'" + folder + "' holds no forecast part: " + e.what());
    }
    const bool well_formed = part.is_object() && part.value("Format", "") == kPartFormatName &&
                             part.contains("Forecast") && part.contains("Runs") &&
                             part.contains("CountsSha256") && part["CountsSha256"].is_string() &&
                             part.contains("Shard") && part["Shard"].is_number_unsigned() &&
                             part.contains("ShardCount") &&
                             part["ShardCount"].is_number_unsigned() && part["Shard"] >= 1 &&
                             part["Shard"] <= part["ShardCount"];
    if (!well_formed) {
      throw UsageError("'" + folder + "' is not a part written by forecast --shard");
    }
    parts.push_back(std::move(part));
  }
  return parts;
}

// Every shard of one forecast exactly once: the part's index by shard number.
std::map<std::uint64_t, std::size_t> CheckShards(const std::vector<json>& parts,
                                                 const std::vector<std::string>& folders) {
  const json& first = parts.front();
  std::map<std::uint64_t, std::size_t> by_shard;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (parts[i]["Forecast"] != first["Forecast"] ||
        parts[i]["ShardCount"] != first["ShardCount"]) {
      throw UsageError("'" + folders[i] + "' and '" + folders.front() +
                       "' are parts of different forecasts");
    }
    if (!by_shard.emplace(parts[i]["Shard"].get<std::uint64_t>(), i).second) {
      throw UsageError("shard " + parts[i]["Shard"].dump() + " is given twice");
    }
  }
  const auto count = first["ShardCount"].get<std::uint64_t>();
  if (by_shard.size() != count) {
    throw UsageError("the forecast has " + std::to_string(count) + " shards; " +
                     std::to_string(by_shard.size()) + " are given");
  }
  return by_shard;
}

// Adds a shard's runs and counter grid after checking they are exactly what it promises.
void AddShard(const ForecastPlan& plan, const Shard& shard, const json& part,
              const std::string& folder, std::vector<std::uint32_t>& counts,
              std::vector<ForecastRun>& runs) {
  CheckRunsDigest(part, "Runs", (fs::path(folder) / kPartFile).string());
  const std::vector<ForecastRun> own = RunsFromJson(part["Runs"], folder);
  for (const ForecastRun& run : own) {
    if (run.run >= plan.runs || !InShard(run.run, shard.index, shard.count) ||
        run.seed != RunSeed(plan.seed, run.run)) {
      throw UsageError("'" + folder + "' holds run " + std::to_string(run.run) +
                       ", which is not a run of shard " + shard.Text());
    }
  }
  const std::uint64_t expected = ShardRunsBefore(plan.runs, shard);
  if (own.size() != expected) {
    throw UsageError("'" + folder + "' holds " + std::to_string(own.size()) + " runs; shard " +
                     shard.Text() + " has " + std::to_string(expected));
  }
  const std::string bytes = FileBytes((fs::path(folder) / kCountsFile).string(), "part");
  if (bytes.size() != counts.size() * 4 ||
      Sha256(bytes) != part["CountsSha256"].get<std::string>()) {
    throw UsageError("'" + folder + "/" + kCountsFile +
                     "' is not the counter grid its part.json promises");
  }
  const std::vector<std::uint32_t> shard_counts = CountsFromBytes(bytes);
  for (std::size_t c = 0; c < counts.size(); ++c) {
    counts[c] += shard_counts[c];
  }
  runs.insert(runs.end(), own.begin(), own.end());
}

// A resubmitted array redoes only the shards that did not finish: a part of this very
// forecast and shard whose runs and counter grid verify as merge verifies them is kept.
bool HoldsCompletePart(const ForecastPlan& plan, const Inputs& in, const Shard& shard,
                       const std::string& out) {
  if (!IsForecastPart(out)) {
    return false;
  }
  try {
    const json part = ReadForecastParts({out}).front();
    if (part["Forecast"] != plan.manifest || part["Shard"] != shard.Number() ||
        part["ShardCount"] != shard.count) {
      return false;
    }
    std::vector<std::uint32_t> counts(in.original.mask.size(), 0);
    std::vector<ForecastRun> runs;
    AddShard(plan, shard, part, out, counts, runs);
    return true;
  } catch (const UsageError&) {
    return false;  // a damaged part is simply run again
  }
}

}  // namespace

int RunForecastMerge(const MergeOptions& options, std::ostream& err) {
  CheckOutsideParts(options.out, options.parts);
  const std::vector<json> parts = ReadForecastParts(options.parts);
  const std::map<std::uint64_t, std::size_t> by_shard = CheckShards(parts, options.parts);
  const auto count = parts.front()["ShardCount"].get<std::uint64_t>();
  const ForecastPlan plan = PlanFromManifest(parts.front()["Forecast"]);
  CheckFileEntry(plan.manifest["Start"], "--start");
  CheckFileEntry(plan.manifest["Reference"], "--reference");
  CheckFileEntry(plan.manifest["UntilLike"], "--until-like");
  const Inputs in = ReadInputs(plan);
  std::vector<std::uint32_t> counts(in.original.mask.size(), 0);
  std::vector<ForecastRun> runs;
  for (const auto& [number, i] : by_shard) {
    AddShard(plan, Shard{number - 1, count}, parts[i], options.parts[i], counts, runs);
  }
  if (std::any_of(counts.begin(), counts.end(),
                  [&plan](std::uint32_t c) { return c > plan.runs; })) {
    throw UsageError("the parts count a cell developed in more runs than the forecast has");
  }
  OutputUnit unit(options.out);
  WriteFiles(WholeFiles(plan, in, counts, std::move(runs)), unit);
  err << "merge: " << plan.runs << " forecast runs from " << count << " shards into " << options.out
      << "\n";
  return 0;
}

}  // namespace veltmoor
