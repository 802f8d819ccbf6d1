// What forecast writes from the counter grid and the runs of an ensemble, the same for one
// process and for a merge of its shards: probability.tif and .png, runs.csv, forecast.json,
// and against a reference toc.csv and toc.png.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "batch/world_commands.h"
#include "geo/class_maps.h"
#include "studies/calibration.h"
#include "validation/three_map.h"
#include "validation/toc.h"

namespace veltmoor {

// An ensemble as its manifest describes it; one process and a merge both work from this.
struct ForecastPlan {
  nlohmann::json manifest;
  std::string start;
  std::string reference;   // empty: no comparison
  std::string until_like;  // empty: another limit
  std::optional<std::vector<double>> developed;
  std::vector<std::string> sets;  // on top of the start world's settings
  std::uint64_t seed = 0;
  std::uint64_t runs = 0;
  GrowthLimit limit;
  bool measures = false;  // analyse every run and keep its summary measures
};

// The summary measures of a run that forecast --measures keeps, as run --analyse computes
// them: the value-list measures, node and edge counts, the mean length ...
const std::vector<std::string>& RunMeasureNames();

struct ForecastRun {
  std::uint64_t run = 0;
  std::uint64_t seed = 0;
  RunEnd end = RunEnd::Done;
  long long steps = 0;
  long long developed = 0;
  std::vector<Figure> figures;  // CellFigureNames() against the reference; empty without one
  std::vector<std::optional<double>> measures;  // RunMeasureNames(); empty without --measures
};

struct ForecastMaps {
  const DevelopedMap& original;
  const DevelopedMap* reference = nullptr;
};

// The share of runs in which each cell ends developed.
std::vector<float> Probabilities(const std::vector<std::uint32_t>& counts, std::uint64_t runs);

// Every output file, the runs in run order.
OutputFiles ForecastFiles(const ForecastPlan& plan, const ForecastMaps& maps,
                          const std::vector<std::uint32_t>& counts,
                          const std::vector<ForecastRun>& runs);

}  // namespace veltmoor
