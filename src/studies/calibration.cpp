#include "studies/calibration.h"

#include <algorithm>
#include <cmath>

#include "analysis/town_measures.h"
#include "growth/run_control.h"
#include "simulation/cell.h"
#include "simulation/window_outputs.h"
#include "studies/study.h"

namespace veltmoor {

namespace {

using nlohmann::json;

// Measures kept as texts of the value list (rounded to two decimals as shown there).
constexpr ValueKey kValueListMeasures[] = {value_key::kGridDimension,   value_key::kGridSlope,
                                           value_key::kRadialDimension, value_key::kRadialSlope,
                                           value_key::kNodeDimension,   value_key::kEdgeDimension,
                                           value_key::kNodeSlope,       value_key::kEdgeSlope,
                                           value_key::kSegregation,     value_key::kRankSlope};
// Labels that show a measure of the town rather than a setting.
constexpr LabelName kLabelMeasures[] = {label::kMoreThanOneNeighbour, label::kMoreThanTwoNeighbours,
                                        label::kMoreThanThreeNeighbours};
constexpr const char* kMeanLength = "MeanLength";
constexpr const char* kValueNumbers = "ValueNumbers";
constexpr const char* kNodeCount = "NodeCount";
constexpr const char* kEdgeCount = "EdgeCount";
constexpr const char* kDevelopedShare = "DevelopedShare";

// The constant a measure's name stands for, if it is one of `names`.
template <class Name, std::size_t N>
std::optional<Name> Named(const Name (&names)[N], std::string_view name) {
  for (const Name& candidate : names) {
    if (candidate.View() == name) {
      return candidate;
    }
  }
  return std::nullopt;
}

bool IsValueListMeasure(const std::string& name) {
  return Named(kValueListMeasures, name).has_value();
}

bool IsLabelMeasure(const std::string& name) {
  return Named(kLabelMeasures, name).has_value();
}

std::optional<double> FiniteNumber(const json& value) {
  if (value.is_number() && std::isfinite(value.get<double>())) {
    return value.get<double>();
  }
  if (value.is_string()) {
    return NumberIn(value.get<std::string>());
  }
  return std::nullopt;
}

bool IsMeasuresFile(const json& target) {
  return target.is_object() && target.contains("ValueList") && target["ValueList"].is_array();
}

TargetValue TargetEntry(const std::string& measure, const json& entry) {
  TargetValue target{measure, 0.0, 1.0};
  const json* value = &entry;
  if (entry.is_object()) {
    if (!entry.contains("value")) {
      throw CalibrationInputError("the target's entry for " + measure + " has no \"value\"");
    }
    value = &entry["value"];
    if (entry.contains("weight")) {
      const std::optional<double> weight = FiniteNumber(entry["weight"]);
      if (!weight || !entry["weight"].is_number() || *weight <= 0.0) {
        throw CalibrationInputError("the target's weight for " + measure +
                                    " must be a number above 0");
      }
      target.weight = *weight;
    }
  }
  if (!value->is_number() || !FiniteNumber(*value)) {
    throw CalibrationInputError("the target's value for " + measure + " is not a number");
  }
  target.value = value->get<double>();
  return target;
}

}  // namespace

const std::vector<std::string>& CalibrationMeasureNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const ValueKey key : kValueListMeasures) {
      list.push_back(key.Str());
    }
    list.insert(list.end(), {kMeanLength, kNodeCount, kEdgeCount, kDevelopedShare});
    for (const LabelName label : kLabelMeasures) {
      list.push_back(label.Str());
    }
    const std::vector<std::string>& town = TownMeasureNames();
    list.insert(list.end(), town.begin(), town.end());
    return list;
  }();
  return names;
}

std::optional<std::string> CanonicalMeasureName(std::string_view name) {
  if (name == "IS") {
    return value_key::kSegregation.Str();
  }
  const auto& names = CalibrationMeasureNames();
  if (std::find(names.begin(), names.end(), name) == names.end() && !IsTownMeasureName(name)) {
    return std::nullopt;
  }
  return std::string(name);
}

std::optional<double> ReadMeasure(const Simulation& sim, const std::string& name,
                                  const MapScale* scale) {
  const World& world = sim.world;
  if (IsTownMeasureName(name)) {
    const MapScale synthetic = SyntheticScale(world.CellSize, sim.map.Height());
    return TownMeasure(TownMeasuresJson(world, scale != nullptr ? *scale : synthetic, {}), name);
  }
  if (const std::optional<ValueKey> key = Named(kValueListMeasures, name)) {
    const std::optional<double> number = sim.valueList.Number(*key);
    return number && std::isfinite(*number) ? number : std::nullopt;
  }
  if (const std::optional<LabelName> label = Named(kLabelMeasures, name)) {
    return NumberIn(sim.labels.Get(*label));
  }
  if (name == kMeanLength) {
    return world.MeanLength;
  }
  if (name == kNodeCount) {
    return static_cast<double>(world.NodeCount);
  }
  if (name == kEdgeCount) {
    return static_cast<double>(world.EdgeCount);
  }
  if (name == kDevelopedShare) {
    const double total =
        static_cast<double>(world.FineCellTotals[0]) + static_cast<double>(world.FineCellTotals[1]);
    if (total <= 0.0) {
      return std::nullopt;
    }
    return static_cast<double>(world.FineCellTotals[1]) / total;
  }
  return std::nullopt;
}

std::optional<double> MeasureFromJson(const json& measures, const std::string& name) {
  if (!measures.is_object()) {
    return std::nullopt;
  }
  if (IsTownMeasureName(name) && !measures.contains(name)) {
    return TownMeasure(measures, name);
  }
  // Runs since the measures travel as numbers keep them beside the rounded texts.
  if (IsValueListMeasure(name) && measures.contains(kValueNumbers) &&
      measures[kValueNumbers].is_object() && measures[kValueNumbers].contains(name)) {
    const json& number = measures[kValueNumbers][name];
    if (number.is_number() && std::isfinite(number.get<double>())) {
      return number.get<double>();
    }
    return std::nullopt;
  }
  if (IsValueListMeasure(name) && measures.contains("ValueList") &&
      measures["ValueList"].is_array()) {
    for (const json& row : measures["ValueList"]) {
      if (row.is_array() && row.size() == 2 && row[0] == name) {
        return FiniteNumber(row[1]);
      }
    }
    return std::nullopt;
  }
  if (IsLabelMeasure(name) && measures.contains("Labels") && measures["Labels"].is_object()) {
    const json& labels = measures["Labels"];
    return labels.contains(name) ? FiniteNumber(labels[name]) : std::nullopt;
  }
  if (measures.contains(name)) {
    return FiniteNumber(measures[name]);
  }
  return std::nullopt;
}

std::vector<TargetValue> ReadTarget(const json& target, const std::vector<std::string>& measures) {
  if (!target.is_object()) {
    throw CalibrationInputError(
        "the target is neither a measures.json nor an object of measure names and values");
  }
  std::vector<TargetValue> values;
  const bool from_run = IsMeasuresFile(target);
  for (const std::string& measure : measures) {
    if (from_run) {
      const std::optional<double> value = MeasureFromJson(target, measure);
      if (!value) {
        throw CalibrationInputError("the target measures.json has no number for " + measure +
                                    (measure == kDevelopedShare
                                         ? " (give it in a target of name -> value)"
                                         : " (was the run analysed?)"));
      }
      values.push_back({measure, *value, 1.0});
      continue;
    }
    // A short name in the target file stands for the measure as on the command line.
    const json* entry = nullptr;
    for (const auto& [name, value] : target.items()) {
      if (CanonicalMeasureName(name) == measure) {
        entry = &value;
      }
    }
    if (entry == nullptr) {
      throw CalibrationInputError("the target has no value for " + measure);
    }
    values.push_back(TargetEntry(measure, *entry));
  }
  return values;
}

std::string RunEndName(RunEnd end) {
  switch (end) {
    case RunEnd::Done:
      return "done";
    case RunEnd::Ended:
      return "ended";
    case RunEnd::Stalled:
      return "stalled";
  }
  return "done";
}

RunEnd RunEndFromName(const std::string& name) {
  for (RunEnd end : {RunEnd::Done, RunEnd::Ended, RunEnd::Stalled}) {
    if (RunEndName(end) == name) {
      return end;
    }
  }
  throw CalibrationInputError("'" + name + "' is not how a run ends");
}

long long DevelopedFineCells(const World& world) {
  const auto& cells = world.FineGrid.Cells();
  return std::count_if(cells.begin(), cells.end(),
                       [](const TFineCell& cell) { return cell.LandUse == kLandDeveloped; });
}

Growth GrowTown(Simulation& sim, const GrowthLimit& limit) {
  Growth growth;
  if (limit.kind == GrowthLimit::Kind::Steps) {
    for (; growth.steps < limit.count && sim.TimerEnabled; ++growth.steps) {
      SimulationStep(sim);
    }
    growth.developed = DevelopedFineCells(sim.world);
    growth.end = growth.steps < limit.count ? RunEnd::Ended : RunEnd::Done;
    return growth;
  }
  growth.developed = DevelopedFineCells(sim.world);
  long long last_growth = 0;
  std::uint32_t nodes = sim.world.NodeCount;
  while (growth.developed < limit.count) {
    if (!sim.TimerEnabled) {
      growth.end = RunEnd::Ended;
      return growth;
    }
    if (growth.steps - last_growth >= kStallSteps) {
      growth.end = RunEnd::Stalled;
      return growth;
    }
    SimulationStep(sim);
    ++growth.steps;
    const long long developed = DevelopedFineCells(sim.world);
    if (developed > growth.developed || sim.world.NodeCount != nodes) {
      last_growth = growth.steps;
    }
    growth.developed = developed;
    nodes = sim.world.NodeCount;
  }
  return growth;
}

}  // namespace veltmoor
