#include "batch/study_part.h"

#include <QCryptographicHash>
#include <fstream>
#include <map>
#include <sstream>

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

namespace {

// The widest drawing area the command line takes.
constexpr int kMaxSide = 20000;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in) {
    throw UsageError("'" + path.string() + "' is missing or unreadable");
  }
  return bytes.str();
}

}  // namespace

Part ParsePart(const fs::path& folder, const std::string& manifest_text,
               const std::string& csv_text) {
  Part part{folder, {}, {}, {}};
  try {
    part.manifest = json::parse(manifest_text);
  } catch (const json::exception& e) {
    throw UsageError("'" + (folder / kPartFile).string() + "' is not JSON: " + e.what());
  }
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
  return ParsePart(folder, ReadBytes(folder / kPartFile), ReadBytes(folder / kCsvFile));
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
  const auto planned = first.manifest["PlannedRuns"].get<std::uint64_t>();
  for (const Part& part : parts) {
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
}

}  // namespace veltmoor
