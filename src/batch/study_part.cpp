#include "batch/study_part.h"

#include <QCryptographicHash>
#include <map>
#include <sstream>

#include "io/input_file.h"
#include "studies/run_plan.h"

namespace veltmoor {

namespace fs = std::filesystem;
using nlohmann::json;

std::string Sha256(const std::string& bytes) {
  return QCryptographicHash::hash(
             QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
             QCryptographicHash::Sha256)
      .toHex()
      .toStdString();
}

nlohmann::json ParseFileJson(const std::string& text, const std::string& source,
                             std::uint64_t max_values) {
  // The program's files nest a few levels; a hostile one could nest millions.
  constexpr int kMaxDepth = 32;
  std::uint64_t values = 0;
  const auto bound = [&](int depth, json::parse_event_t event, json& /*parsed*/) {
    if (depth > kMaxDepth) {
      throw UsageError("'" + source + "' nests deeper than " + std::to_string(kMaxDepth) +
                       " levels, deeper than any file veltmoor writes");
    }
    if (event != json::parse_event_t::key && ++values > max_values) {
      throw UsageError("'" + source + "' holds more than " + std::to_string(max_values) +
                       " values, more than veltmoor ever writes there");
    }
    return true;
  };
  try {
    return json::parse(text, bound);
  } catch (const json::exception& e) {
    throw UsageError("'" + source + "' is not JSON: " + e.what());
  }
}

namespace {

// A manifest holds some hundred values; its settings are texts.
constexpr std::uint64_t kMaxManifestValues = 100000;

// The widest drawing area the command line takes.
constexpr int kMaxSide = 20000;
// A manifest holds settings only; a study's rows are some tens of bytes a run.
constexpr std::uint64_t kMaxManifestBytes = 16ULL << 20U;
constexpr std::uint64_t kMaxCsvBytes = 1ULL << 30U;

std::string ReadBytes(const fs::path& path, std::uint64_t max_bytes) {
  try {
    return ReadRegularFile(path, max_bytes);
  } catch (const InputFileError& e) {
    throw UsageError(e.what());
  }
}

}  // namespace

Part ParsePart(const fs::path& folder, const std::string& manifest_text,
               const std::string& csv_text) {
  Part part{folder, {}, {}, {}};
  part.manifest = ParseFileJson(manifest_text, (folder / kPartFile).string(), kMaxManifestValues);
  const json& m = part.manifest;
  const bool well_formed =
      m.is_object() && m.contains("Format") && m["Format"] == kPartFormat && m.contains("Study") &&
      m["Study"].is_string() && m.contains("StudySettings") && m["StudySettings"].is_object() &&
      m.contains("Settings") && m["Settings"].is_object() && m.contains("Width") &&
      m["Width"].is_number_integer() && m["Width"] >= 1 && m["Width"] <= kMaxSide &&
      m.contains("Height") && m["Height"].is_number_integer() && m["Height"] >= 1 &&
      m["Height"] <= kMaxSide && m.contains("Seed") &&
      (m["Seed"].is_null() || m["Seed"].is_number_unsigned()) && m.contains("Shard") &&
      m["Shard"].is_number_unsigned() && m.contains("ShardCount") &&
      m["ShardCount"].is_number_unsigned() && m.contains("PlannedRuns") &&
      m["PlannedRuns"].is_number_unsigned() && m["Shard"] >= 1 && m["Shard"] <= m["ShardCount"];
  if (!well_formed) {
    throw UsageError("'" + (folder / kPartFile).string() + "' is not a study part manifest");
  }
  std::istringstream csv_stream(csv_text);
  try {
    part.records = ReadMeasurementsCsv(csv_stream);
  } catch (const std::runtime_error& e) {
    throw UsageError("'" + (folder / kCsvFile).string() + "': " + e.what());
  }
  part.csv_sha256 = Sha256(csv_text);
  return part;
}

Part ReadPart(const fs::path& folder) {
  if (!fs::is_directory(folder)) {
    throw UsageError("'" + folder.string() + "' is not a folder written by study --shard");
  }
  if (!fs::exists(folder / kPartFile)) {
    throw UsageError("'" + folder.string() + "' has no " + kPartFile +
                     ": it is not the output of study --shard K/N");
  }
  // The manifest first: it says what the folder is.
  const std::string manifest = ReadBytes(folder / kPartFile, kMaxManifestBytes);
  return ParsePart(folder, manifest, ReadBytes(folder / kCsvFile, kMaxCsvBytes));
}

// A part holds exactly the rows its manifest promises: none lost, none changed.
void CheckPartRows(const Part& part) {
  const json& m = part.manifest;
  if (!m.contains("Records") || !m.contains("RecordsSha256")) {
    throw UsageError("'" + (part.folder / kPartFile).string() +
                     "' does not say which rows its study.csv holds (a part of an older "
                     "veltmoor-batch?); run that shard again");
  }
  if (m["Records"] != part.records.size() || m["RecordsSha256"] != part.csv_sha256) {
    throw UsageError("'" + (part.folder / kCsvFile).string() + "' does not hold the rows its " +
                     kPartFile + " promises (" + m["Records"].dump() +
                     " rows): it was changed or cut short; run that shard again");
  }
}

namespace {

// The first difference between two manifest entries, for a message a user can act on.
std::string Difference(const json& a, const json& b) {
  if (a.is_object() && b.is_object()) {
    for (const auto& [name, value] : a.items()) {
      if (!b.contains(name)) {
        return name + " " + value.dump() + " / default";
      }
      if (b[name] != value) {
        return name + " " + value.dump() + " / " + b[name].dump();
      }
    }
    for (const auto& [name, value] : b.items()) {
      if (!a.contains(name)) {
        return name + " default / " + value.dump();
      }
    }
  }
  return a.dump() + " / " + b.dump();
}

}  // namespace

void CheckPartsBelongTogether(const std::vector<Part>& parts) {
  const Part& first = parts.front();
  for (const Part& part : parts) {
    for (const char* key : {"Study", "StudySettings", "Settings", "Width", "Height", "Seed",
                            "ShardCount", "PlannedRuns"}) {
      if (part.manifest[key] != first.manifest[key]) {
        throw UsageError("'" + part.folder.string() + "' and '" + first.folder.string() +
                         "' are not parts of the same study: " + key + " differs (" +
                         Difference(part.manifest[key], first.manifest[key]) + ")");
      }
    }
  }
  const auto count = first.manifest["ShardCount"].get<std::uint64_t>();
  std::map<std::uint64_t, const Part*> by_shard;
  for (const Part& part : parts) {
    const auto number = part.manifest["Shard"].get<std::uint64_t>();
    const auto [it, added] = by_shard.emplace(number, &part);
    if (!added) {
      throw UsageError("shard " + std::to_string(number) + "/" + std::to_string(count) +
                       " is given twice: '" + it->second->folder.string() + "' and '" +
                       part.folder.string() + "'");
    }
  }
  // A manifest may claim 2^64 shards; name the first few missing ones only.
  std::string missing;
  int named = 0;
  for (std::uint64_t number = 1; number <= count && named < 10; ++number) {
    if (!by_shard.count(number)) {
      missing += (missing.empty() ? "" : ", ") + std::to_string(number);
      ++named;
    }
  }
  if (named == 10 && count > by_shard.size() + 10) {
    missing += ", ...";
  }
  if (!missing.empty()) {
    throw UsageError("the study has " + std::to_string(count) + " shards; missing: " + missing);
  }
  for (const Part& part : parts) {
    CheckPartsOwnRuns(part);
  }
}

void CheckPartsOwnRuns(const Part& part) {
  const auto planned = part.manifest["PlannedRuns"].get<std::uint64_t>();
  const auto count = part.manifest["ShardCount"].get<std::uint64_t>();
  const auto number = part.manifest["Shard"].get<std::uint64_t>();
  for (const Measurement& m : part.records) {
    if (m.run >= planned || !InShard(m.run, number - 1, count)) {
      throw UsageError("'" + (part.folder / kCsvFile).string() + "' holds run " +
                       std::to_string(m.run) + ", which is not a run of shard " +
                       std::to_string(number) + "/" + std::to_string(count));
    }
  }
  CheckPartRows(part);
}

}  // namespace veltmoor
