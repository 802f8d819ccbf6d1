#include "batch/calibrate_command.h"

#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <utility>

#include "analysis/fractal.h"
#include "batch/calibration_report.h"
#include "batch/placement_measures.h"
#include "batch/setting_texts.h"
#include "batch/shards.h"
#include "batch/study_part.h"
#include "batch/world_load.h"
#include "chart/chart_file.h"
#include "geo/map_scale.h"
#include "growth/run_control.h"
#include "io/atomic_file.h"
#include "io/input_file.h"
#include "io/output_unit.h"
#include "render/chart_image.h"
#include "simulation/numbers.h"
#include "simulation/setup.h"
#include "studies/calibration.h"
#include "studies/calibration_search.h"
#include "studies/measurements.h"
#include "studies/run_plan.h"
#include "studies/study.h"

namespace veltmoor {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kCalibrationFormat = "veltmoor calibration 1";
constexpr const char* kCalibrationPartFormat = "veltmoor calibration part 1";
constexpr const char* kStateFile = "calibration.json";
constexpr const char* kCalibrationPart = "part.json";
constexpr int kChartWidth = 720;
constexpr int kChartHeight = 480;
// Runs of one calibration, all stages: far beyond any search that ends in a day, and what
// keeps its files small enough to read whole.
constexpr std::uint64_t kMaxRuns = 100000;
// A target, a part or a calibration.json of the largest calibration, with room to spare.
constexpr std::uint64_t kMaxJsonBytes = 128ULL << 20U;
// Some forty values a run: what the largest calibration writes, and what bounds the memory
// a hostile file of that size may take.
constexpr std::uint64_t kMaxJsonValues = 40 * kMaxRuns + 100000;

json ReadJsonFile(const fs::path& path) {
  std::string text;
  try {
    text = ReadRegularFile(path, kMaxJsonBytes);
  } catch (const InputFileError& e) {
    throw UsageError(e.what());
  }
  return ParseFileJson(text, path.string(), kMaxJsonValues);
}

}  // namespace

std::string RunsDigest(const json& runs) {
  return Sha256(runs.dump());
}

void CheckRunsDigest(const json& holder, const char* list, const std::string& source) {
  const std::string key = std::string(list) + "Sha256";
  if (!holder.contains(key)) {
    throw UsageError("'" + source + "' does not say which runs it holds (written by an older " +
                     "veltmoor-batch?); run it again");
  }
  if (holder[key] != RunsDigest(holder[list])) {
    throw UsageError("'" + source + "': its " + list +
                     " are not the runs it was written with; it was changed or damaged");
  }
}

namespace {

// The plan's size, checked before anything runs: points x runs x stages, which must not
// wrap either.
void CheckPlanSize(const CalibrationDesign& design) {
  if (design.points > kMaxRuns || design.runs > kMaxRuns || design.stages > kMaxRuns ||
      design.points * design.runs > kMaxRuns ||
      design.points * design.runs * design.stages > kMaxRuns) {
    throw UsageError("the calibration would take " + std::to_string(design.points) + " points x " +
                     std::to_string(design.runs) + " runs x " + std::to_string(design.stages) +
                     " stages, more than " + FormatInt(static_cast<long long>(kMaxRuns)) +
                     " runs; split it into calibrations of fewer points or runs");
  }
}

// ---------------------------------------------------------------------------------------
// The command line, checked.

std::vector<std::string> ParseMeasures(const std::string& text, bool placement) {
  std::vector<std::string> measures;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string name = text.substr(start, comma - start);
    start = comma + 1;
    if (name.empty()) {
      throw UsageError("--measures '" + text + "' holds an empty name; give A,B,... without " +
                       "a stray comma");
    }
    if (IsPlacementMeasure(name) && !placement) {
      throw UsageError("--measures: " + name +
                       " compares every run with where the town grew; "
                       "give --start and --reference");
    }
    const std::optional<std::string> measure =
        IsPlacementMeasure(name) ? std::optional<std::string>(name) : CanonicalMeasureName(name);
    if (!measure) {
      std::string known;
      for (const std::string& each : CalibrationMeasureNames()) {
        known += (known.empty() ? "" : ", ") + each;
      }
      for (const std::string& each : PlacementMeasureNames()) {
        known += ", " + each;
      }
      throw UsageError("--measures: unknown measure '" + name + "'; known: " + known +
                       " (IS for IS_developed_cells)");
    }
    if (std::find(measures.begin(), measures.end(), *measure) != measures.end()) {
      throw UsageError("--measures: " + *measure + " is named twice");
    }
    measures.push_back(*measure);
  }
  return measures;
}

double ParseBound(const std::string& text, const std::string& pair) {
  try {
    return ParseDecimal(text);
  } catch (const ConversionError& e) {
    throw UsageError("--vary " + pair + ": " + e.what());
  }
}

VariedSetting ParseVary(const std::string& pair) {
  const std::size_t eq = pair.find('=');
  const std::size_t colon = pair.find(':', eq == std::string::npos ? 0 : eq);
  if (eq == std::string::npos || eq == 0 || colon == std::string::npos) {
    throw UsageError("--vary expects NAME=FROM:TO, got '" + pair + "'");
  }
  VariedSetting setting;
  setting.name = pair.substr(0, eq);
  const SettingDef* def = SimulationSettings().Find(SettingName{setting.name});
  if (def == nullptr) {
    throw UsageError("--vary: unknown setting '" + setting.name + "'");
  }
  const bool decimal = def->kind == ControlKind::EditBox && NumberIn(def->default_text);
  setting.whole = def->kind == ControlKind::SpinEdit || def->kind == ControlKind::TrackBar;
  if (!decimal && !setting.whole) {
    throw UsageError("--vary: " + setting.name + " does not hold a number to vary");
  }
  setting.from = ParseBound(pair.substr(eq + 1, colon - eq - 1), pair);
  setting.to = ParseBound(pair.substr(colon + 1), pair);
  if (!(setting.from < setting.to)) {
    throw UsageError("--vary " + pair + ": FROM must be less than TO");
  }
  if (setting.whole) {
    if (setting.from != Round(setting.from) || setting.to != Round(setting.to)) {
      throw UsageError("--vary " + pair + ": " + setting.name + " takes whole numbers");
    }
    if (def->max > def->min && (setting.from < static_cast<double>(def->min) ||
                                setting.to > static_cast<double>(def->max))) {
      throw UsageError("--vary " + pair + ": " + setting.name + " must lie in " +
                       std::to_string(def->min) + ".." + std::to_string(def->max));
    }
  }
  return setting;
}

// ---------------------------------------------------------------------------------------
// The manifest: everything that makes two processes run the same calibration.

json TargetsToJson(const std::vector<TargetValue>& targets) {
  json list = json::array();
  for (const TargetValue& t : targets) {
    list.push_back({{"Measure", t.measure}, {"Value", t.value}, {"Weight", t.weight}});
  }
  return list;
}

// Summary measures aim at the target file's values; placement measures at a perfect
// placement, which the target file cannot change.
std::vector<TargetValue> PlacementAndSummaryTargets(const CalibrateOptions& options,
                                                    const std::vector<std::string>& measures) {
  std::vector<std::string> summary;
  std::copy_if(measures.begin(), measures.end(), std::back_inserter(summary),
               [](const std::string& m) { return !IsPlacementMeasure(m); });
  std::vector<TargetValue> from_file;
  if (!summary.empty()) {
    if (options.target.empty()) {
      throw UsageError("--target is needed for " + summary.front() +
                       ": a measures.json or name -> value");
    }
    try {
      from_file = ReadTarget(ReadJsonFile(options.target), summary);
    } catch (const CalibrationInputError& e) {
      throw UsageError("--target " + options.target + ": " + e.what());
    }
  }
  std::vector<TargetValue> targets;
  targets.reserve(measures.size());
  auto next = from_file.begin();
  for (const std::string& m : measures) {
    targets.push_back(IsPlacementMeasure(m) ? TargetValue{m, PerfectPlacement(m), 1.0} : *next++);
  }
  return targets;
}

std::optional<std::vector<double>> DevelopedValues(const CalibrateOptions& options) {
  return options.developed.empty() ? std::nullopt
                                   : std::optional<std::vector<double>>(options.developed);
}

long long DevelopedLimit(const CalibrateOptions& options) {
  if (options.until_like.empty()) {
    return *options.until_developed;
  }
  const DevelopedMap start = DevelopedMapOfWorld(ReadWorldFile(options.start));
  return static_cast<long long>(ReadMapOnStart(options.until_like, "--until-like", start,
                                               options.start, DevelopedValues(options))
                                    .developed);
}

json BuildManifest(const CalibrateOptions& options) {
  if (!options.world.seed) {
    throw UsageError("--seed is required: every run's seed derives from it");
  }
  if (options.points < 1 || options.runs < 1 || options.stages < 1) {
    throw UsageError("--points, --runs and --stages must be at least 1");
  }
  const int limits = (options.steps ? 1 : 0) + (options.until_developed ? 1 : 0) +
                     (options.until_like.empty() ? 0 : 1);
  if (limits != 1) {
    throw UsageError("give exactly one of --steps N, --until-developed N and --until-like MAP");
  }
  if ((!options.reference.empty() || !options.until_like.empty()) && options.start.empty()) {
    throw UsageError("--reference and --until-like need --start: the map the town grew from");
  }
  const std::vector<std::string> measures =
      ParseMeasures(options.measures, !options.reference.empty());
  json vary = json::array();
  std::set<std::string> names;
  for (const std::string& pair : options.vary) {
    const VariedSetting setting = ParseVary(pair);
    if (!names.insert(setting.name).second) {
      throw UsageError("--vary: " + setting.name + " is varied twice");
    }
    vary.push_back({{"Name", setting.name},
                    {"From", setting.from},
                    {"To", setting.to},
                    {"Whole", setting.whole}});
  }
  if (vary.empty()) {
    throw UsageError("--vary: name at least one setting to vary, NAME=FROM:TO");
  }
  MapSettings settings;
  ApplySettingOverrides(settings, options.world.sets);
  for (const std::string& pair : options.world.sets) {
    const std::string name = pair.substr(0, pair.find('='));
    if (names.count(name) != 0) {
      throw UsageError(name + " is both --set and --vary");
    }
  }
  std::vector<TargetValue> targets = PlacementAndSummaryTargets(options, measures);

  json manifest;
  manifest["Targets"] = TargetsToJson(targets);
  manifest["Vary"] = std::move(vary);
  manifest["Settings"] = TextsToJson(ChangedTexts(settings));
  manifest["Width"] = options.world.width;
  manifest["Height"] = options.world.height;
  manifest["Seed"] = *options.world.seed;
  manifest["Limit"] = options.steps ? json{{"Steps", *options.steps}}
                                    : json{{"Developed", DevelopedLimit(options)}};
  manifest["Points"] = options.points;
  manifest["Runs"] = options.runs;
  manifest["Stages"] = options.stages;
  if (!options.start.empty()) {
    // Shards on other machines may keep the file elsewhere; its content is what must agree.
    WorldOptions check = options.world;
    LoadBatchWorld(options.start, check);
    // The world loader has bounded and checked it; a large town is larger than any file
    // of a calibration.
    manifest["Start"] = Sha256(
        json::parse(ReadRegularFile(options.start, std::numeric_limits<std::uint64_t>::max()))
            .dump());
  }
  if (!options.reference.empty()) {
    // Only the runs read the reference; a merge needs its content's digest, not the file.
    ReadPlacementMaps(options.start, options.reference, DevelopedValues(options));
    manifest["Reference"] =
        Sha256(ReadRegularFile(options.reference, std::numeric_limits<std::uint64_t>::max()));
  }
  return manifest;
}

// A calibration as the manifest describes it; one process and a merge both start here.
struct Calibration {
  json manifest;
  CalibrationDesign design;
  WorldOptions world;  // without seed: every run has its own
  GrowthLimit limit;
  std::string start;  // the saved world every run grows on, empty for a new setup
  std::optional<PlacementMaps> placement;  // with --reference
};

Calibration FromManifest(const json& manifest) {
  Calibration c;
  c.manifest = manifest;
  try {
    for (const json& t : manifest.at("Targets")) {
      c.design.targets.push_back({t.at("Measure").get<std::string>(), t.at("Value").get<double>(),
                                  t.at("Weight").get<double>()});
    }
    for (const json& v : manifest.at("Vary")) {
      c.design.settings.push_back({v.at("Name").get<std::string>(), v.at("From").get<double>(),
                                   v.at("To").get<double>(), v.at("Whole").get<bool>()});
    }
    c.design.points = manifest.at("Points").get<std::uint64_t>();
    c.design.runs = manifest.at("Runs").get<std::uint64_t>();
    c.design.stages = manifest.at("Stages").get<std::uint64_t>();
    c.design.seed = manifest.at("Seed").get<std::uint64_t>();
    c.world.width = manifest.at("Width").get<int>();
    c.world.height = manifest.at("Height").get<int>();
    c.world.sets = AsOverrides(TextsFromJson(manifest.at("Settings"), SimulationSettings()));
    c.world.picture = false;
    const json& limit = manifest.at("Limit");
    c.limit.kind =
        limit.contains("Steps") ? GrowthLimit::Kind::Steps : GrowthLimit::Kind::Developed;
    c.limit.count = limit.begin()->get<long long>();
  } catch (const json::exception& e) {
    throw UsageError(std::string("not a calibration manifest: ") + e.what());
  }
  const bool sane = !c.design.targets.empty() && !c.design.settings.empty() &&
                    c.design.points >= 1 && c.design.runs >= 1 && c.design.stages >= 1 &&
                    c.limit.count >= 1 && c.world.width >= 1 && c.world.height >= 1;
  if (!sane) {
    throw UsageError("not a calibration manifest: a count is out of range");
  }
  CheckPlanSize(c.design);
  return c;
}

// ---------------------------------------------------------------------------------------
// Runs as JSON, the form parts and earlier stages are handed on in.

json RunToJson(const CalibrationRun& run) {
  json measures = json::array();
  for (const std::optional<double>& m : run.measures) {
    measures.push_back(m ? json(*m) : json(nullptr));
  }
  return {{"Stage", run.stage},         {"Point", run.point},
          {"Replicate", run.replicate}, {"Run", run.run},
          {"Seed", run.seed},           {"Values", run.values},
          {"End", RunEndName(run.end)}, {"Steps", run.steps},
          {"Developed", run.developed}, {"Measures", std::move(measures)}};
}

json RunsToJson(const std::vector<CalibrationRun>& runs) {
  json list = json::array();
  for (const CalibrationRun& run : runs) {
    list.push_back(RunToJson(run));
  }
  return list;
}

std::vector<CalibrationRun> RunsFromJson(const json& list, const std::string& source) {
  std::vector<CalibrationRun> runs;
  try {
    for (const json& r : list) {
      CalibrationRun run;
      run.stage = r.at("Stage").get<std::uint64_t>();
      run.point = r.at("Point").get<std::uint64_t>();
      run.replicate = r.at("Replicate").get<std::uint64_t>();
      run.run = r.at("Run").get<std::uint64_t>();
      run.seed = r.at("Seed").get<std::uint64_t>();
      run.values = r.at("Values").get<std::vector<double>>();
      run.end = RunEndFromName(r.at("End").get<std::string>());
      run.steps = r.at("Steps").get<long long>();
      run.developed = r.at("Developed").get<long long>();
      for (const json& m : r.at("Measures")) {
        run.measures.push_back(m.is_null() ? std::nullopt : std::optional<double>(m.get<double>()));
      }
      runs.push_back(std::move(run));
    }
  } catch (const std::exception& e) {
    throw UsageError("'" + source + "' holds a run that is not a calibration run: " + e.what());
  }
  return runs;
}

// What GrowTown can have reported for a run under `limit`.
bool PossibleGrowth(const CalibrationRun& run, const GrowthLimit& limit) {
  if (run.steps < 0 || run.developed < 0) {
    return false;
  }
  const bool done = run.end == RunEnd::Done;
  if (limit.kind == GrowthLimit::Kind::Steps) {
    return run.end != RunEnd::Stalled && run.steps <= limit.count &&
           done == (run.steps == limit.count);
  }
  return done == (run.developed >= limit.count);
}

// The runs must be exactly those the design plans for their stages, with the planned
// points and seeds and a growth their limit allows; anything else is a file from another
// calibration or an edited one.
void CheckRuns(const Calibration& c, const std::vector<CalibrationRun>& runs, std::uint64_t stages,
               const std::string& source) {
  const CalibrationDesign& d = c.design;
  std::set<std::uint64_t> seen;
  std::map<std::uint64_t, std::vector<ParameterPoint>> points;
  for (const CalibrationRun& run : runs) {
    const bool planned = run.stage < stages && run.point < d.points && run.replicate < d.runs &&
                         run.run == RunIndex(d, run.stage, run.point, run.replicate) &&
                         run.seed == RunSeed(d.seed, run.run) &&
                         run.measures.size() == d.targets.size() && seen.insert(run.run).second;
    if (!planned) {
      throw UsageError("'" + source + "': run " + std::to_string(run.run) +
                       " is not a run of this calibration, or is there twice");
    }
    if (!PossibleGrowth(run, c.limit)) {
      throw UsageError("'" + source + "': run " + std::to_string(run.run) +
                       " grew as no run can (" + RunEndName(run.end) + " after " +
                       std::to_string(run.steps) + " steps with " + std::to_string(run.developed) +
                       " developed cells)");
    }
  }
  for (std::uint64_t stage = 0; stage < stages; ++stage) {
    std::vector<CalibrationRun> before;
    std::copy_if(runs.begin(), runs.end(), std::back_inserter(before),
                 [stage](const CalibrationRun& r) { return r.stage < stage; });
    const auto stage_points = StagePoints(d, stage, StageBox(d, stage, before));
    for (const CalibrationRun& run : runs) {
      if (run.stage == stage && run.values != stage_points[run.point]) {
        throw UsageError("'" + source + "': run " + std::to_string(run.run) +
                         " ran other settings than the calibration plans");
      }
    }
  }
}

// ---------------------------------------------------------------------------------------
// One run.

CalibrationRun RunOnce(const Calibration& c, std::uint64_t stage, std::uint64_t point,
                       std::uint64_t replicate, const ParameterPoint& values,
                       unsigned path_threads) {
  CalibrationRun run;
  run.stage = stage;
  run.point = point;
  run.replicate = replicate;
  run.run = RunIndex(c.design, stage, point, replicate);
  run.seed = RunSeed(c.design.seed, run.run);
  run.values = values;
  WorldOptions world = c.world;
  world.seed = run.seed;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const VariedSetting& setting = c.design.settings[i];
    world.sets.push_back(setting.name + "=" + SettingText(setting, values[i]));
  }
  // A saved start world keeps its own drawing area; every run continues it on its own seed.
  const std::unique_ptr<BatchSimulation> batch =
      c.start.empty() ? std::make_unique<BatchSimulation>(world) : LoadBatchWorld(c.start, world);
  Simulation& sim = *batch->sim;
  if (c.start.empty()) {
    NewSetup(sim);
  }
  StartRun(sim);
  const Growth growth = GrowTown(sim, c.limit);
  Button4Click(sim, path_threads);
  run.end = growth.end;
  run.steps = growth.steps;
  run.developed = growth.developed;
  const auto placement = c.placement ? PlacementMeasures(sim, *c.placement)
                                     : std::map<std::string, std::optional<double>>();
  const MapScale scale = ScaleOfWorld(sim.world.CellSize, sim.map.Height(), batch->georeference);
  for (const TargetValue& target : c.design.targets) {
    run.measures.push_back(IsPlacementMeasure(target.measure)
                               ? placement.at(target.measure)
                               : ReadMeasure(sim, target.measure, &scale));
  }
  return run;
}

std::string PointText(const CalibrationDesign& design, const ParameterPoint& values) {
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) {
    text += (i == 0 ? "" : " ") + design.settings[i].name + "=" +
            SettingText(design.settings[i], values[i]);
  }
  return text;
}

// A shard holds only some replicates of its points, so its best is among the points of
// the stages before, which are complete.
void ReportProgress(const Calibration& c, std::uint64_t stage, std::uint64_t point,
                    const std::vector<CalibrationRun>& runs, const std::optional<Shard>& shard,
                    std::ostream& err) {
  const CalibrationSummary summary = Summarise(c.design, runs);
  err << "calibrate" << (shard ? " (shard " + shard->Text() + ")" : "") << ": stage " << stage + 1
      << "/" << c.design.stages << ", point " << point + 1 << "/" << c.design.points << " done";
  if (summary.best) {
    const PointSummary& best = summary.points[*summary.best];
    err << (shard ? "; best in this shard " : "; best so far ")
        << FormatNumber(RoundTo4(*best.distance)) << " at " << PointText(c.design, best.values);
  }
  err << "\n";
}

// ---------------------------------------------------------------------------------------
// What lands in --out.

std::string PngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) {
    throw std::runtime_error("cannot encode a chart picture");
  }
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Every file of a result, made in memory before the first is written.
struct Outputs {
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<std::pair<std::string, std::unique_ptr<chart::Chart>>> charts;

  // Into the unit's staging folder; the unit swaps it in as a whole.
  void WriteTo(OutputUnit& unit) const {
    const fs::path& folder = unit.Staging();
    for (const auto& [name, content] : files) {
      WriteFileAtomically((folder / name).string(), content);
    }
    for (const auto& [name, chart] : charts) {
      chart::SaveChartFile(*chart, (folder / name).string());
    }
    unit.Commit();
  }
};

Outputs WholeOutputs(const Calibration& c, std::vector<CalibrationRun> runs,
                     std::uint64_t stages_done, const CalibrationSummary& summary) {
  std::sort(runs.begin(), runs.end(),
            [](const CalibrationRun& a, const CalibrationRun& b) { return a.run < b.run; });
  Outputs out;
  out.files.emplace_back("runs.csv", RunsCsv(c.design, runs));
  out.files.emplace_back("points.csv", PointsCsv(c.design, summary));
  out.files.emplace_back("best.json",
                         BestJson(c.design, summary, runs, stages_done).dump(2) + "\n");
  for (std::size_t i = 0; i < c.design.settings.size(); ++i) {
    auto chart = DistanceChart(c.design, summary, i);
    const std::string base = "distance_" + c.design.settings[i].name;
    out.files.emplace_back(base + ".png", PngBytes(PaintChart(*chart, kChartWidth, kChartHeight)));
    out.charts.emplace_back(base + ".tee", std::move(chart));
  }
  json state = {{"Format", kCalibrationFormat},
                {"Calibration", c.manifest},
                {"StagesDone", stages_done},
                {"Runs", RunsToJson(runs)}};
  state["RunsSha256"] = RunsDigest(state["Runs"]);
  out.files.emplace_back(kStateFile, state.dump(1) + "\n");
  return out;
}

// Writes a whole result; 1 when no point could be judged.
int WriteWhole(const Calibration& c, const std::vector<CalibrationRun>& runs,
               std::uint64_t stages_done, OutputUnit& unit, std::ostream& err) {
  const fs::path folder = unit.Folder();
  const CalibrationSummary summary = Summarise(c.design, runs);
  WholeOutputs(c, runs, stages_done, summary).WriteTo(unit);
  if (!summary.best) {
    err << "veltmoor-batch: no point had all its runs reach the target's size with every "
           "measure; see runs.csv\n";
    return 1;
  }
  if (stages_done < c.design.stages) {
    err << "calibrate: stage " << stages_done << " of " << c.design.stages
        << " done; run the next with --previous " << folder.string() << "\n";
  }
  return 0;
}

// The text of the first difference between two manifests, for a message a user can act on.
std::string FirstDifference(const json& a, const json& b) {
  for (const auto& [key, value] : a.items()) {
    if (!b.contains(key) || b[key] != value) {
      return key;
    }
  }
  for (const auto& [key, value] : b.items()) {
    if (!a.contains(key)) {
      return key;
    }
  }
  return {};
}

struct Earlier {
  std::uint64_t stages_done = 0;
  std::vector<CalibrationRun> runs;
};

Earlier ReadPrevious(const Calibration& c, const std::string& folder) {
  if (folder.empty()) {
    return {};
  }
  const fs::path path = fs::path(folder) / kStateFile;
  const json state = ReadJsonFile(path);
  if (!state.is_object() || state.value("Format", "") != kCalibrationFormat ||
      !state.contains("Runs") || !state.contains("StagesDone") ||
      !state["StagesDone"].is_number_unsigned()) {
    throw UsageError("'" + path.string() + "' is not the output of a calibration");
  }
  CheckRunsDigest(state, "Runs", path.string());
  if (state.value("Calibration", json()) != c.manifest) {
    throw UsageError("--previous " + folder + " is another calibration: " +
                     FirstDifference(state.value("Calibration", json::object()), c.manifest) +
                     " differs");
  }
  Earlier earlier{state["StagesDone"].get<std::uint64_t>(),
                  RunsFromJson(state["Runs"], path.string())};
  if (earlier.stages_done >= c.design.stages) {
    throw UsageError("--previous " + folder + " has all " + std::to_string(c.design.stages) +
                     " stages already");
  }
  CheckRuns(c, earlier.runs, earlier.stages_done, path.string());
  if (earlier.runs.size() != earlier.stages_done * RunsPerStage(c.design)) {
    throw UsageError("'" + path.string() + "' lacks runs of its stages");
  }
  return earlier;
}

// A resubmitted array redoes only the shards that did not finish: a part of this very
// stage and shard whose runs verify as merge verifies them is kept.
bool HoldsCompletePart(const Calibration& c, const std::string& out, std::uint64_t stage,
                       const Shard& shard, const std::vector<CalibrationRun>& previous) {
  const fs::path path = fs::path(out) / kCalibrationPart;
  if (!fs::exists(path)) {
    return false;
  }
  try {
    const json part = ReadJsonFile(path);
    if (!part.is_object() || part.value("Format", "") != kCalibrationPartFormat ||
        part.value("Calibration", json()) != c.manifest || part.value("Stage", json()) != stage ||
        part.value("Shard", json()) != shard.Number() ||
        part.value("ShardCount", json()) != shard.count ||
        part.value("Previous", json()) != RunsToJson(previous) || !part.contains("Runs")) {
      return false;
    }
    CheckRunsDigest(part, "Runs", path.string());
    const std::vector<CalibrationRun> own = RunsFromJson(part["Runs"], path.string());
    const std::uint64_t per_stage = RunsPerStage(c.design);
    if (own.size() != ShardRunsBefore((stage + 1) * per_stage, shard) -
                          ShardRunsBefore(stage * per_stage, shard)) {
      return false;
    }
    for (const CalibrationRun& run : own) {
      if (run.stage != stage || !InShard(run.run, shard.index, shard.count)) {
        return false;
      }
    }
    std::vector<CalibrationRun> runs = previous;
    runs.insert(runs.end(), own.begin(), own.end());
    CheckRuns(c, runs, stage + 1, path.string());
    return true;
  } catch (const UsageError&) {
    return false;  // a damaged part is simply run again
  }
}

}  // namespace

void CheckCalibration(const CalibrateOptions& options) {
  FromManifest(BuildManifest(options));
  if (!options.reference.empty()) {
    ReadPlacementMaps(options.start, options.reference, DevelopedValues(options));
  }
}

int RunCalibration(const CalibrateOptions& options, std::ostream& err) {
  Calibration c = FromManifest(BuildManifest(options));
  c.start = options.start;
  if (!options.reference.empty()) {
    c.placement = ReadPlacementMaps(options.start, options.reference, DevelopedValues(options));
  }
  const std::optional<Shard> shard = ParseShard(options.shard);
  // The stages before must outlive this one: the other shards, and a rerun, start from them.
  if (!options.previous.empty() && FoldersNest(options.world.out, options.previous)) {
    throw UsageError("--out '" + options.world.out + "' would replace --previous '" +
                     options.previous + "'; write this stage to another folder");
  }
  Earlier earlier = ReadPrevious(c, options.previous);
  if (shard && HoldsCompletePart(c, options.world.out, earlier.stages_done, *shard, earlier.runs)) {
    ReportShardDone("calibrate", *shard, options.world.out, err);
    return 0;
  }
  // A folder the program may not replace is refused before the first run.
  OutputUnit unit(options.world.out);
  std::vector<CalibrationRun> runs = std::move(earlier.runs);
  const std::vector<CalibrationRun> previous = runs;
  const std::uint64_t first = earlier.stages_done;
  // A shard runs one stage: the next needs the runs of every shard of this one.
  const std::uint64_t end = shard ? first + 1 : c.design.stages;
  const unsigned path_threads = shard ? 1 : 0;
  for (std::uint64_t stage = first; stage < end; ++stage) {
    const auto points = StagePoints(c.design, stage, StageBox(c.design, stage, runs));
    for (std::uint64_t p = 0; p < points.size(); ++p) {
      bool ran = false;
      for (std::uint64_t r = 0; r < c.design.runs; ++r) {
        if (shard && !InShard(RunIndex(c.design, stage, p, r), shard->index, shard->count)) {
          continue;
        }
        runs.push_back(RunOnce(c, stage, p, r, points[p], path_threads));
        ran = true;
      }
      if (ran) {
        ReportProgress(c, stage, p, runs, shard, err);
      }
    }
  }
  if (!shard) {
    return WriteWhole(c, runs, end, unit, err);
  }
  const std::vector<CalibrationRun> own(runs.begin() + static_cast<std::ptrdiff_t>(previous.size()),
                                        runs.end());
  json part = {{"Format", kCalibrationPartFormat},
               {"Calibration", c.manifest},
               {"Stage", first},
               {"Shard", shard->Number()},
               {"ShardCount", shard->count},
               {"Previous", RunsToJson(previous)},
               {"Runs", RunsToJson(own)}};
  part["PreviousSha256"] = RunsDigest(part["Previous"]);
  part["RunsSha256"] = RunsDigest(part["Runs"]);
  WriteFileAtomically((unit.Staging() / kCalibrationPart).string(), part.dump(1) + "\n");
  unit.Commit();
  return 0;
}

bool IsCalibrationPart(const std::string& folder) {
  const fs::path path = fs::path(folder) / kCalibrationPart;
  if (!fs::exists(path)) {
    return false;
  }
  try {
    const json part = ReadJsonFile(path);
    return part.is_object() && part.value("Format", "") == kCalibrationPartFormat;
  } catch (const UsageError&) {
    return false;
  }
}

int RunCalibrationMerge(const MergeOptions& options, std::ostream& err) {
  CheckOutsideParts(options.out, options.parts);
  struct StagePart {
    std::string folder;
    json manifest;
    std::uint64_t shard = 0;
  };
  std::vector<StagePart> parts;
  for (const std::string& folder : options.parts) {
    const json part = ReadJsonFile(fs::path(folder) / kCalibrationPart);
    const bool well_formed =
        part.is_object() && part.value("Format", "") == kCalibrationPartFormat &&
        part.contains("Calibration") && part.contains("Stage") &&
        part["Stage"].is_number_unsigned() && part.contains("Shard") &&
        part["Shard"].is_number_unsigned() && part.contains("ShardCount") &&
        part["ShardCount"].is_number_unsigned() && part["Shard"] >= 1 &&
        part["Shard"] <= part["ShardCount"] && part.contains("Previous") && part.contains("Runs");
    if (!well_formed) {
      throw UsageError("'" + folder + "' is not a part written by calibrate --shard");
    }
    const std::string source = (fs::path(folder) / kCalibrationPart).string();
    CheckRunsDigest(part, "Previous", source);
    CheckRunsDigest(part, "Runs", source);
    parts.push_back({folder, part, part["Shard"].get<std::uint64_t>()});
  }
  const json& first = parts.front().manifest;
  for (const StagePart& part : parts) {
    for (const char* key : {"Calibration", "Stage", "ShardCount", "Previous"}) {
      if (part.manifest[key] != first[key]) {
        throw UsageError("'" + part.folder + "' and '" + parts.front().folder +
                         "' are not parts of the same calibration stage: " + key + " differs");
      }
    }
  }
  const Calibration c = FromManifest(first["Calibration"]);
  const auto stage = first["Stage"].get<std::uint64_t>();
  const auto count = first["ShardCount"].get<std::uint64_t>();
  std::map<std::uint64_t, std::string> by_shard;
  for (const StagePart& part : parts) {
    if (!by_shard.emplace(part.shard, part.folder).second) {
      throw UsageError("shard " + std::to_string(part.shard) + "/" + std::to_string(count) +
                       " is given twice");
    }
  }
  if (by_shard.size() != count) {
    throw UsageError("the calibration stage has " + std::to_string(count) + " shards; only " +
                     std::to_string(by_shard.size()) + " are given");
  }
  std::vector<CalibrationRun> runs = RunsFromJson(first["Previous"], parts.front().folder);
  const std::size_t previous_count = runs.size();
  if (stage >= c.design.stages || runs.size() != stage * RunsPerStage(c.design)) {
    throw UsageError("'" + parts.front().folder + "' does not hold the stages before its own");
  }
  for (const StagePart& part : parts) {
    const Shard shard{part.shard - 1, count};
    const std::vector<CalibrationRun> own = RunsFromJson(part.manifest["Runs"], part.folder);
    for (const CalibrationRun& run : own) {
      if (run.stage != stage || !InShard(run.run, shard.index, shard.count)) {
        throw UsageError("'" + part.folder + "' holds run " + std::to_string(run.run) +
                         ", which is not a run of shard " + shard.Text() + " of stage " +
                         std::to_string(stage));
      }
    }
    runs.insert(runs.end(), own.begin(), own.end());
  }
  CheckRuns(c, runs, stage + 1, "the parts");
  if (runs.size() != (stage + 1) * RunsPerStage(c.design)) {
    throw UsageError("the parts lack runs of stage " + std::to_string(stage));
  }
  OutputUnit unit(options.out);
  const int code = WriteWhole(c, runs, stage + 1, unit, err);
  if (code == 0) {
    err << "merge: calibration stage " << stage + 1 << "/" << c.design.stages << ", "
        << runs.size() - previous_count << " runs from " << count << " shards into " << options.out
        << "\n";
  }
  return code;
}

}  // namespace veltmoor
