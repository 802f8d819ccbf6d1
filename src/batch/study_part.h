// The parts a study run with --shard leaves, as merge reads and checks them. Their files
// come from other machines and may be damaged or hostile: every check here refuses with
// UsageError rather than trusting a field.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "studies/measurements.h"

namespace veltmoor {

inline constexpr const char* kPartFile = "part.json";
inline constexpr const char* kCsvFile = "study.csv";
inline constexpr const char* kPartFormat = "veltmoor study part 1";

struct Part {
  std::filesystem::path folder;
  nlohmann::json manifest;
  std::vector<Measurement> records;
  std::string csv_sha256;
};

// Hex SHA-256 of `bytes`: ties a part's manifest to the very rows of its study.csv, so a
// part that lost or changed rows is found at merge time.
std::string Sha256(const std::string& bytes);

// JSON from a file another machine or a user wrote, refused with UsageError naming `source`
// when it is no JSON, nests deeper than any file of the program, or holds more values than
// `max_values`: a small hostile file must not cost gigabytes of memory.
nlohmann::json ParseFileJson(const std::string& text, const std::string& source,
                             std::uint64_t max_values);

// A part from the texts of its part.json and study.csv; `folder` names it in messages.
// Checks the manifest's layout and the rows' format.
Part ParsePart(const std::filesystem::path& folder, const std::string& manifest_text,
               const std::string& csv_text);
// The same, read from the folder.
Part ReadPart(const std::filesystem::path& folder);

// A part holds exactly the rows its manifest promises: none lost, none changed.
void CheckPartRows(const Part& part);

// A part holds only runs of its own shard, each exactly as its manifest promises.
void CheckPartsOwnRuns(const Part& part);

// Every part must come from the same command line but for --shard and --out, every shard
// must be there once and hold only its own runs, each exactly as its manifest promises.
void CheckPartsBelongTogether(const std::vector<Part>& parts);

}  // namespace veltmoor
