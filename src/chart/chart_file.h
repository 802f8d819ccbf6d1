// Charts as JSON: the chart file that studies write beside the executable, and the chart
// part of the batch output. Both share one key layout so a saved chart reads like the
// batch output of the same chart.
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "chart/chart.h"

namespace veltmoor::chart {

// "point", "line", "bar", "area", "stacked-area".
std::string SeriesKindName(SeriesKind kind);
// Throws std::invalid_argument for a name SeriesKindName never gives.
SeriesKind SeriesKindFromName(const std::string& name);

// {"Name", "Title", "BottomAxis", "LeftAxis", "RightAxis", "Legend", "SeriesOrder": [names],
//  "Series": {name: {"Title", "Kind", "Visible", "Axis", "Color", "ShowMarks", "Order",
//                    "Derived", "Source", "Period", "Degree", "Function", "Points"}}}
// Points are [x, y] pairs; a coordinate that is not finite is written as null. "Color" is
// the colour the series is drawn in (Chart::ShownColor); files without "Legend" or with a
// "Color" of 0 (written before colours were recorded) still read.
nlohmann::json ChartToJson(const Chart& chart);
// Fills `chart`, which must have no series yet, from ChartToJson's layout: titles, then
// every series in its saved order, derived series bound again to their source by name.
// A function series keeps its saved points but has no callback until SetFunction.
// Throws std::runtime_error when the JSON does not have that layout.
void ChartFromJson(const nlohmann::json& json, Chart& chart);

// Writes to a temporary file in the same folder and renames it over `path`, so a failed
// write never leaves half a chart behind. Throws std::runtime_error naming the path.
void SaveChartFile(const Chart& chart, const std::string& path);
// Throws std::runtime_error naming the path for a missing, unreadable or malformed file.
std::unique_ptr<Chart> LoadChartFile(const std::string& path);

}  // namespace veltmoor::chart
