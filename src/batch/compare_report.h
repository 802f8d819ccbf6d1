// The three-map comparison as compare writes it: compare.json, one row of compare.csv and
// the resolution table, every figure beside its null-model and random-allocation baselines.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "validation/three_map.h"

namespace veltmoor {

struct CompareSources {
  std::string original;
  std::string reference;
  std::string simulated;
  std::uint64_t seed = 0;  // of the random baselines
};

// A figure of the model beside its baselines: Model, Null, RandomMean, RandomSd. An
// undefined value is null, with the reason under the same key and "Why" ("ModelWhy").
nlohmann::json FigureWithBaselines(const Figure& model, const Figure& null_model,
                                   const Spread& random);

// A figure under `key` in a JSON object: its value, or null and the reason under key + "Why".
void PutFigure(nlohmann::json& object, const std::string& key, const Figure& figure);
// A figure as a CSV field: the shortest text that reads back as the value; empty without one.
std::string FigureCsv(const Figure& figure);

nlohmann::json CompareJson(const ThreeMapComparison& comparison, const CompareSources& sources);
// A header line and one row: the counts, then each cell figure with its baselines.
std::string CompareCsv(const ThreeMapComparison& comparison, const CompareSources& sources);
// A header line and a row per block size.
std::string ResolutionCsv(const ThreeMapComparison& comparison);

}  // namespace veltmoor
