#include "batch/study_command.h"

#include <QBuffer>
#include <QImage>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "batch/progress_bar.h"
#include "batch/study_part.h"
#include "chart/chart_file.h"
#include "display/null_canvas.h"
#include "io/atomic_file.h"
#include "io/file_names.h"
#include "io/output_unit.h"
#include "render/composite.h"
#include "render/qt_canvas.h"
#include "simulation/numbers.h"
#include "studies/analyseClusterGrowth.h"
#include "studies/analyseDevPara.h"
#include "studies/analyseMinDist.h"
#include "studies/building_rule_study.h"
#include "studies/measurements.h"
#include "studies/run_plan.h"
#include "studies/study.h"
#include "studies/study_interfaces.h"

namespace veltmoor {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kChartFile = "study.tee";

// ---------------------------------------------------------------------------------------
// The four studies as the command line names them.

// The building-rule study's controls sit in the simulation window's own group box.
const SettingsRegistry& BuildingRuleSettings() {
  static const SettingsRegistry registry = [] {
    const std::string& tab = SimulationSettings().Get(setting::kRoundsPerRule).tab;
    std::vector<SettingDef> table;
    for (const SettingDef& def : SimulationSettings().All()) {
      if (def.tab == tab) {
        table.push_back(def);
      }
    }
    return SettingsRegistry(std::move(table));
  }();
  return registry;
}

struct StudyKind {
  std::string name;
  std::string title;
  const SettingsRegistry& (*registry)();
  // Its controls are the simulation window's, so --study-set writes the simulation settings.
  bool in_simulation_window = false;
  // The study, with its chart shown as the window's check boxes ask.
  std::function<std::unique_ptr<Study>(StudyContext, const SettingsSource&)> make;
};

const std::vector<StudyKind>& StudyKinds() {
  static const std::vector<StudyKind> kinds = {
      {"devpara", "development-parameter study", &DevParaSettings, false,
       [](StudyContext context, const SettingsSource& own) {
         auto study = std::make_unique<DevParaStudy>(std::move(context), own);
         study->UpdateSeriesVisibility();
         return std::unique_ptr<Study>(std::move(study));
       }},
      {"mindist", "minimum-distance study", &MinDistSettings, false,
       [](StudyContext context, const SettingsSource& own) {
         auto study = std::make_unique<MinDistStudy>(std::move(context), own);
         study->UpD_polyDegSegClick();
         return std::unique_ptr<Study>(std::move(study));
       }},
      {"clustergrowth", "cluster-growth study", &ClusterGrowthSettings, false,
       [](StudyContext context, const SettingsSource& own) {
         return std::unique_ptr<Study>(
             std::make_unique<ClusterGrowthStudy>(std::move(context), own));
       }},
      {"buildrules", "building-rule study", &BuildingRuleSettings, true,
       [](StudyContext context, const SettingsSource&) {
         return std::unique_ptr<Study>(std::make_unique<BuildingRuleStudy>(std::move(context)));
       }},
  };
  return kinds;
}

const StudyKind& FindKind(const std::string& name) {
  for (const StudyKind& kind : StudyKinds()) {
    if (kind.name == name) {
      return kind;
    }
  }
  throw UsageError("unknown study '" + name + "'");
}

// ---------------------------------------------------------------------------------------
// Settings as name/text pairs, in the order of their registry.

}  // namespace

SettingTexts AllTexts(const SettingsSource& source, const SettingsRegistry& registry) {
  SettingTexts texts;
  for (const SettingDef& def : registry.All()) {
    texts.emplace_back(def.name, source.Text(def.Name()));
  }
  return texts;
}

// The settings a user changed: enough to rebuild them, and easy to read in a manifest.
SettingTexts ChangedTexts(const SettingsSource& source) {
  SettingTexts texts;
  for (const SettingDef& def : source.Registry().All()) {
    std::string text = source.Text(def.Name());
    if (text != def.default_text) {
      texts.emplace_back(def.name, std::move(text));
    }
  }
  return texts;
}

std::vector<std::string> AsOverrides(const SettingTexts& texts) {
  std::vector<std::string> overrides;
  for (const auto& [name, text] : texts) {
    overrides.push_back(name + "=" + text);
  }
  return overrides;
}

json TextsToJson(const SettingTexts& texts) {
  json object = json::object();
  for (const auto& [name, text] : texts) {
    object[name] = text;
  }
  return object;
}

// Back into registry order, so radio buttons end up as they were saved.
SettingTexts TextsFromJson(const json& object, const SettingsRegistry& registry) {
  SettingTexts texts;
  for (const auto& [name, value] : object.items()) {
    if (registry.Find(SettingName{name}) == nullptr || !value.is_string()) {
      throw UsageError("'" + name + "' is not a setting with a text");
    }
  }
  for (const SettingDef& def : registry.All()) {
    if (object.contains(def.name)) {
      texts.emplace_back(def.name, object.at(def.name).get<std::string>());
    }
  }
  return texts;
}

namespace {

// The study's controls: --study-set checked the way --set is, named as such in messages.
void ApplyStudySets(MapSettings& settings, const std::vector<std::string>& sets) {
  try {
    ApplySettingOverrides(settings, sets);
  } catch (const UsageError& e) {
    std::string message = e.what();
    if (message.rfind("--set", 0) == 0) {
      message.replace(0, 5, "--study-set");
    } else {
      message = "--study-set: " + message;
    }
    throw UsageError(message);
  }
}

// ---------------------------------------------------------------------------------------
// Shards.

}  // namespace

std::optional<Shard> ParseShard(const std::string& text) {
  if (text.empty()) {
    return std::nullopt;
  }
  const auto bad = [&text] {
    return UsageError("--shard expects K/N with 1 <= K <= N (shards count from 1), got '" + text +
                      "'");
  };
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) {
    throw bad();
  }
  std::uint64_t number = 0;
  std::uint64_t count = 0;
  const auto parse = [](std::string_view part, std::uint64_t& value) {
    const auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
    return ec == std::errc() && ptr == part.data() + part.size();
  };
  const std::string_view view(text);
  if (!parse(view.substr(0, slash), number) || !parse(view.substr(slash + 1), count) ||
      number < 1 || number > count) {
    throw bad();
  }
  return Shard{number - 1, count};
}

// Runs of `shard` among the runs [0, runs).
std::uint64_t ShardRunsBefore(std::uint64_t runs, const Shard& shard) {
  return runs / shard.count + (runs % shard.count > shard.index ? 1 : 0);
}

namespace {

// ---------------------------------------------------------------------------------------
// Pictures of the map for the development-parameter study.

std::string JpegBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "JPG", 100)) {
    throw std::runtime_error("cannot encode the map picture as JPEG");
  }
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Time spent writing files, so --timing can tell it from the simulation and analyses.
class WriteClock {
 public:
  template <typename Write>
  void Time(Write&& write) {
    const auto start = std::chrono::steady_clock::now();
    try {
      write();
    } catch (...) {
      Add(start);
      throw;
    }
    Add(start);
  }
  double Seconds() const { return seconds_; }

 private:
  void Add(std::chrono::steady_clock::time_point start) {
    seconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  double seconds_ = 0.0;
};

class MapSnapshots : public SnapshotTaker {
 public:
  MapSnapshots(const Simulation& sim, WriteClock& clock) : sim_(sim), clock_(clock) {}
  void Snapshot(const std::string& path, SnapshotKind kind) override {
    // The picture of the study window is the desktop program's; headless, the chart is
    // in study.tee.
    if (kind != SnapshotKind::Main) {
      return;
    }
    clock_.Time([&] { WriteFileAtomically(path, JpegBytes(ComposeMap(sim_))); });
  }

 private:
  const Simulation& sim_;
  WriteClock& clock_;
};

// ---------------------------------------------------------------------------------------
// A study with the simulation it drives.

class StudySession {
 public:
  // `study_texts`: the study window's controls (none for a study of the simulation window,
  // whose settings come with `world`). Files of the study go under `base_dir`.
  StudySession(const StudyKind& kind, const WorldOptions& world, const SettingTexts& study_texts,
               const fs::path& base_dir)
      : batch(world), own(kind.registry()), controls(batch.settings) {
    for (const auto& [name, text] : study_texts) {
      own.Set(SettingName{name}, text);
    }
    if (world.picture) {
      snapshots = std::make_unique<MapSnapshots>(*batch.sim, write_clock);
    }
    study = kind.make(StudyContext{*batch.sim, controls, snapshots.get(), base_dir}, own);
    study->SetBaseSeed(world.seed);
  }

  DevParaStudy* DevPara() { return dynamic_cast<DevParaStudy*>(study.get()); }

  WriteClock write_clock;
  BatchSimulation batch;
  MapSettings own;
  MapSettingsControls controls;
  std::unique_ptr<MapSnapshots> snapshots;
  std::unique_ptr<Study> study;
};

std::string CsvText(const std::vector<Measurement>& records) {
  std::ostringstream text;
  WriteMeasurementsCsv(text, records);
  return text.str();
}

// The study stops itself on a file it cannot write; that is a failure of the command.
int ReportStop(Study& study, std::ostream& err) {
  if (study.Message().empty()) {
    return 0;
  }
  err << "veltmoor-batch: " << study.TakeMessage() << "\n";
  return 1;
}

// A bar on a terminal; in a log (a cluster job, a pipe) a line per finished run instead.
void RunToEnd(Study& study, std::uint64_t planned, const std::optional<Shard>& shard,
              const std::string& label, std::ostream& err) {
  const std::uint64_t mine = shard ? ShardRunsBefore(planned, *shard) : planned;
  const bool terminal = StderrIsTerminal();
  ProgressBar bar(err, terminal, label + " (" + std::to_string(mine) + " runs)");
  std::uint64_t reported = 0;
  const auto Report = [&](std::uint64_t done) {
    for (; !terminal && reported < done; ++reported) {
      err << label << ": run " << reported + 1 << " of " << mine << " finished\n" << std::flush;
    }
  };
  study.Start();
  while (study.Running()) {
    study.Tick();
    const std::uint64_t done =
        shard ? ShardRunsBefore(study.CurrentRun(), *shard) : study.CurrentRun();
    bar.Update(mine == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(mine));
    Report(std::min(done, mine));
  }
  if (study.Message().empty()) {
    Report(mine);  // the last run ends with the study
  }
  bar.Finish();
}

json PartManifest(const StudyKind& kind, const StudySession& session, const WorldOptions& world,
                  const Shard& shard, std::uint64_t planned) {
  const SettingsSource& study_source =
      kind.in_simulation_window ? static_cast<const SettingsSource&>(session.batch.settings)
                                : session.own;
  json manifest;
  manifest["Format"] = kPartFormat;
  manifest["Study"] = kind.name;
  manifest["StudySettings"] = TextsToJson(AllTexts(study_source, kind.registry()));
  manifest["Settings"] = TextsToJson(ChangedTexts(session.batch.settings));
  manifest["Width"] = world.width;
  manifest["Height"] = world.height;
  manifest["Seed"] = world.seed ? json(*world.seed) : json(nullptr);
  manifest["Shard"] = shard.Number();
  manifest["ShardCount"] = shard.count;
  manifest["PlannedRuns"] = planned;
  manifest["ShardRuns"] = ShardRunsBefore(planned, shard);
  return manifest;
}

void AddRecordsToManifest(json& manifest, const std::string& csv,
                          const std::vector<Measurement>& records) {
  manifest["Records"] = records.size();
  manifest["RecordsSha256"] = Sha256(csv);
}

// The study's own chart file under data/ holds only this shard's points; the merge writes
// the real one.
void RemovePartialDataFile(StudySession& session) {
  if (DevParaStudy* devpara = session.DevPara()) {
    const fs::path path = devpara->DataFilePath();
    fs::remove(path);
    std::error_code ignored;
    fs::remove(path.parent_path(), ignored);  // only when empty
  }
}

// A study's texts from a manifest, checked as --study-set checks them.
SettingTexts CheckedTexts(const json& object, const SettingsRegistry& registry,
                          const std::string& manifest_name) {
  try {
    SettingTexts texts = TextsFromJson(object, registry);
    MapSettings check(registry);
    ApplySettingOverrides(check, AsOverrides(texts));
    return texts;
  } catch (const UsageError& e) {
    throw UsageError(manifest_name + ": " + e.what());
  }
}

}  // namespace

// The merge's output folder replaces what is there, so it may be no part, and neither hold
// nor lie inside one.
void CheckOutsideParts(const std::string& out, const std::vector<std::string>& parts) {
  const fs::path folder = OutputFolderPath(out);
  for (const std::string& part : parts) {
    const fs::path part_folder = OutputFolderPath(part);
    const fs::path up = folder.lexically_relative(part_folder);
    const fs::path down = part_folder.lexically_relative(folder);
    if ((!up.empty() && *up.begin() != "..") || (!down.empty() && *down.begin() != "..")) {
      throw UsageError("the merge's output folder '" + out + "' would replace the part '" + part +
                       "'; write the merged study to another folder");
    }
  }
}

namespace {

void CopyPictures(const std::vector<Part>& parts, const fs::path& out) {
  for (const Part& part : parts) {
    const fs::path pictures = part.folder / "pictures";
    if (!fs::is_directory(pictures)) {
      continue;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(pictures)) {
      if (!entry.is_regular_file() || entry.path().extension() != ".jpg") {
        continue;
      }
      std::ifstream in(entry.path(), std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      if (!in) {
        throw std::runtime_error("cannot read '" + entry.path().string() + "'");
      }
      WriteFileAtomically((out / "pictures" / entry.path().filename()).string(), bytes.str());
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------

BatchSimulation::BatchSimulation(const WorldOptions& options)
    : random(options.seed ? RandomSource(*options.seed) : RandomSource()) {
  ApplySettingOverrides(settings, options.sets);
  if (options.picture) {
    canvases = std::make_unique<QtCanvasFactory>();
  } else {
    canvases = std::make_unique<NullCanvasFactory>();
  }
  sim = std::make_unique<Simulation>(settings, random, *canvases);
  sim->PanelWidth = options.width;
  sim->PanelHeight = options.height;
}

const std::vector<std::string>& StudyKindNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const StudyKind& kind : StudyKinds()) {
      list.push_back(kind.name);
    }
    return list;
  }();
  return names;
}

int RunStudy(const StudyOptions& options, std::ostream& err) {
  const StudyKind& kind = FindKind(options.kind);
  const std::optional<Shard> shard = ParseShard(options.shard);
  if (shard && !options.world.seed) {
    throw UsageError(
        "--shard needs --seed: every shard must seed its runs from the same base seed, or "
        "the merged study would not be one study");
  }
  WorldOptions world = options.world;
  MapSettings study_settings(kind.registry());
  ApplyStudySets(study_settings, options.study_sets);
  if (kind.name == "devpara") {
    // --pictures and "save snapshot per value" ask for the same thing.
    if (world.picture) {
      study_settings.SetChecked(setting::dev_para::kSaveSnapshot, true);
    }
    world.picture = study_settings.Checked(setting::dev_para::kSaveSnapshot);
  } else if (world.picture) {
    throw UsageError("--pictures: only the development-parameter study (devpara) takes pictures");
  }
  SettingTexts study_texts;
  if (kind.in_simulation_window) {
    world.sets.insert(world.sets.end(), options.study_sets.begin(), options.study_sets.end());
  } else {
    study_texts = AllTexts(study_settings, kind.registry());
  }

  const std::string bad_name =
      kind.name == "devpara" ? FileStemFault(study_settings.Text(setting::dev_para::kBasicName))
                             : std::string();
  if (!bad_name.empty()) {
    throw UsageError("--study-set E_bName: the base name " + bad_name);
  }

  OutputUnit unit(options.world.out, BatchOutputNames());
  const fs::path out = unit.Staging();
  StudySession session(kind, world, study_texts, out);
  Study& study = *session.study;
  const RunPlan plan = study.PlanRuns();
  if (!plan.Bounded()) {
    throw UsageError("The " + kind.title +
                     " has no active row, so it would never end: tick at least one of "
                     "CB0_acti .. CB4_acti with --study-set (e.g. --study-set CB0_acti=1)");
  }
  const std::uint64_t planned = *plan.RunCount();
  json manifest;
  if (shard) {
    manifest = PartManifest(kind, session, world, *shard, planned);
    study.SetRunFilter(ShardFilter(shard->index, shard->count));
    // The other shards want the other cores.
    study.SetPathThreads(1);
  }

  const auto start = std::chrono::steady_clock::now();
  RunToEnd(study, planned, shard, kind.name, err);
  if (const int code = ReportStop(study, err); code != 0) {
    return code;
  }
  session.write_clock.Time([&] {
    const std::string csv = CsvText(study.Measurements());
    WriteFileAtomically((out / kCsvFile).string(), csv);
    if (shard) {
      RemovePartialDataFile(session);
      AddRecordsToManifest(manifest, csv, study.Measurements());
      WriteFileAtomically((out / kPartFile).string(), manifest.dump(2) + "\n");
    } else {
      chart::SaveChartFile(study.StudyChart(), (out / kChartFile).string());
    }
    unit.Commit();
  });
  if (options.timing) {
    const double total =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double writing = session.write_clock.Seconds();
    err << "study: " << (shard ? ShardRunsBefore(planned, *shard) : planned) << " runs in "
        << FormatNumber(RoundTo4(total)) << " s, writing files " << FormatNumber(RoundTo4(writing))
        << " s (" << FormatNumber(RoundTo2(total > 0.0 ? 100.0 * writing / total : 0.0)) << " %)\n";
  }
  return 0;
}

int RunMerge(const MergeOptions& options, std::ostream& err) {
  CheckOutsideParts(options.out, options.parts);
  std::vector<Part> parts;
  for (const std::string& folder : options.parts) {
    parts.push_back(ReadPart(folder));
  }
  CheckPartsBelongTogether(parts);
  const json& manifest = parts.front().manifest;
  const StudyKind& kind = FindKind(manifest["Study"].get<std::string>());

  WorldOptions world;
  world.width = manifest["Width"].get<int>();
  world.height = manifest["Height"].get<int>();
  if (!manifest["Seed"].is_null()) {
    world.seed = manifest["Seed"].get<std::uint64_t>();
  }
  const std::string manifest_name = (parts.front().folder / kPartFile).string();
  world.sets = AsOverrides(CheckedTexts(manifest["Settings"], SimulationSettings(), manifest_name));
  world.picture = false;  // the pictures come from the parts
  SettingTexts study_texts;
  if (!kind.in_simulation_window) {
    study_texts = CheckedTexts(manifest["StudySettings"], kind.registry(), manifest_name);
  }

  OutputUnit unit(options.out, BatchOutputNames());
  const fs::path out = unit.Staging();
  StudySession session(kind, world, study_texts, out);
  Study& study = *session.study;
  study.PlanRuns();  // refuses settings the study itself would refuse, the base name too
  // A new start with no run of its own sets the chart up as the study's start does.
  study.SetRunFilter([](std::uint64_t) { return false; });
  study.Start();
  study.SetRunning(false);
  std::vector<std::vector<Measurement>> records;
  for (const Part& part : parts) {
    records.push_back(part.records);
  }
  try {
    study.ReplayMeasurements(MergeMeasurements(records));
  } catch (const std::invalid_argument& e) {
    throw UsageError(std::string("the parts do not fit the ") + kind.title + ": " + e.what());
  }

  if (DevParaStudy* devpara = session.DevPara()) {
    devpara->SaveStudyData();
    if (const int code = ReportStop(study, err); code != 0) {
      return code;
    }
  }
  CopyPictures(parts, out);
  WriteFileAtomically((out / kCsvFile).string(), CsvText(study.Measurements()));
  chart::SaveChartFile(study.StudyChart(), (out / kChartFile).string());
  unit.Commit();
  return 0;
}

}  // namespace veltmoor
