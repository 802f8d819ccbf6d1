#include "batch/study_command.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>

#include "batch/progress_bar.h"
#include "batch/setting_texts.h"
#include "batch/shards.h"
#include "batch/study_kinds.h"
#include "batch/study_part.h"
#include "batch/study_session.h"
#include "chart/chart_file.h"
#include "io/atomic_file.h"
#include "io/file_names.h"
#include "io/output_unit.h"
#include "simulation/numbers.h"
#include "studies/analyseDevPara.h"
#include "studies/measurements.h"
#include "studies/run_plan.h"
#include "studies/study.h"

namespace veltmoor {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

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

// The simulation's options and the study's own controls as the command line sets them,
// checked before anything runs or is written.
struct StudyInput {
  WorldOptions world;
  SettingTexts study_texts;  // none for a study of the simulation window
};

StudyInput CheckedStudyInput(const StudyKind& kind, const StudyOptions& options) {
  StudyInput input{options.world, {}};
  WorldOptions& world = input.world;
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
  if (kind.in_simulation_window) {
    world.sets.insert(world.sets.end(), options.study_sets.begin(), options.study_sets.end());
  } else {
    input.study_texts = AllTexts(study_settings, kind.registry());
  }

  const std::string bad_name =
      kind.name == "devpara" ? FileStemFault(study_settings.Text(setting::dev_para::kBasicName))
                             : std::string();
  if (!bad_name.empty()) {
    throw UsageError("--study-set E_bName: the base name " + bad_name);
  }
  return input;
}

// A resubmitted array or a rerun of GNU parallel redoes only the shards that did not finish:
// a part that verifies as merge verifies it and was made by this very command line is kept.
bool HoldsCompletePart(const std::string& out, const json& expected) {
  if (!fs::exists(fs::path(out) / kPartFile)) {
    return false;
  }
  try {
    const Part part = ReadPart(out);
    for (const auto& [key, value] : expected.items()) {
      if (!part.manifest.contains(key) || part.manifest[key] != value) {
        return false;
      }
    }
    CheckPartsOwnRuns(part);
    return true;
  } catch (const UsageError&) {
    return false;  // a damaged part is simply run again
  }
}

std::uint64_t PlannedRuns(const StudyKind& kind, Study& study) {
  const RunPlan plan = study.PlanRuns();
  if (!plan.Bounded()) {
    throw UsageError("The " + kind.title +
                     " has no active row, so it would never end: tick at least one of "
                     "CB0_acti .. CB4_acti with --study-set (e.g. --study-set CB0_acti=1)");
  }
  return *plan.RunCount();
}

void ReportTiming(std::uint64_t runs, double total, double writing, std::ostream& err) {
  err << "study: " << runs << " runs in " << FormatNumber(RoundTo4(total)) << " s, writing files "
      << FormatNumber(RoundTo4(writing)) << " s ("
      << FormatNumber(RoundTo2(total > 0.0 ? 100.0 * writing / total : 0.0)) << " %)\n";
}

}  // namespace

StudyShape ShapeOfStudy(const StudyOptions& options) {
  const StudyKind& kind = FindKind(options.kind);
  const auto [world, study_texts] = CheckedStudyInput(kind, options);
  // Planning writes nothing; the folder only names where files would go.
  StudySession session(kind, world, study_texts, fs::path(options.world.out));
  return {PlannedRuns(kind, *session.study), WorldBytesOf(session.batch)};
}

int RunStudy(const StudyOptions& options, std::ostream& err) {
  const StudyKind& kind = FindKind(options.kind);
  const std::optional<Shard> shard = ParseShard(options.shard);
  if (shard && !options.world.seed) {
    throw UsageError(
        "--shard needs --seed: every shard must seed its runs from the same base seed, or "
        "the merged study would not be one study");
  }
  const auto [world, study_texts] = CheckedStudyInput(kind, options);

  OutputUnit unit(options.world.out);
  const fs::path out = unit.Staging();
  StudySession session(kind, world, study_texts, out);
  Study& study = *session.study;
  const std::uint64_t planned = PlannedRuns(kind, study);
  json manifest;
  if (shard) {
    manifest = PartManifest(kind, session, world, *shard, planned);
    if (HoldsCompletePart(options.world.out, manifest)) {
      ReportShardDone(kind.name, *shard, options.world.out, err);
      return 0;
    }
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
    ReportTiming(shard ? ShardRunsBefore(planned, *shard) : planned, total,
                 session.write_clock.Seconds(), err);
  }
  return 0;
}

}  // namespace veltmoor
