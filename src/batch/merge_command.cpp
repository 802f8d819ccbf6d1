#include "batch/merge_command.h"

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "batch/batch_options.h"
#include "batch/setting_texts.h"
#include "batch/shards.h"
#include "batch/study_kinds.h"
#include "batch/study_part.h"
#include "batch/study_session.h"
#include "chart/chart_file.h"
#include "io/atomic_file.h"
#include "io/input_file.h"
#include "io/output_unit.h"
#include "studies/analyseDevPara.h"
#include "studies/measurements.h"
#include "studies/study.h"

namespace veltmoor {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

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

// A map picture of the largest drawing area, with room to spare.
constexpr std::uint64_t kMaxPictureBytes = 256ULL << 20U;

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
      WriteFileAtomically((out / "pictures" / entry.path().filename()).string(),
                          ReadRegularFile(entry.path(), kMaxPictureBytes));
    }
  }
}

}  // namespace

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

  OutputUnit unit(options.out);
  const fs::path out = unit.Staging();
  StudySession session(kind, world, study_texts, out);
  Study& study = *session.study;
  study.PlanRuns();  // refuses settings the study itself would refuse, the base name too
  // A new start with no run of its own sets the chart up as the study's start does.
  study.SetRunFilter([](std::uint64_t) { return false; });
  study.Start();
  study.SetRunning(false);
  std::vector<std::vector<Measurement>> records;
  records.reserve(parts.size());
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
  err << "merge: " << kind.name << " study, " << study.Measurements().size() << " rows from "
      << parts.size() << " shards into " << options.out << "\n";
  return 0;
}

}  // namespace veltmoor
