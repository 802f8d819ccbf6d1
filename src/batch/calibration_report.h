// What a calibration writes about its runs: the table of runs, the table of points, the best
// point with its accepted set, and a chart of the distance against each varied setting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "chart/chart.h"
#include "studies/calibration_search.h"

namespace veltmoor {

// `value` as the setting's text: whole for a whole-number setting.
std::string SettingText(const VariedSetting& setting, double value);

// runs.csv: a row per run, in the order given.
std::string RunsCsv(const CalibrationDesign& d, const std::vector<CalibrationRun>& runs);
// points.csv: a row per parameter point with its means, distance and noise.
std::string PointsCsv(const CalibrationDesign& d, const CalibrationSummary& summary);
// best.json: the best point, its measures and the ranges of the accepted set.
nlohmann::json BestJson(const CalibrationDesign& d, const CalibrationSummary& summary,
                        const std::vector<CalibrationRun>& runs, std::uint64_t stages_done);
// The distance of every point against varied setting `i`, accepted and best marked.
std::unique_ptr<chart::Chart> DistanceChart(const CalibrationDesign& d,
                                            const CalibrationSummary& summary, std::size_t i);

}  // namespace veltmoor
