// What a calibration compares: the measures of a grown town, the target values they are
// held against, and growing one town to a fixed time or size, recording how it ended.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/town_measures.h"
#include "simulation/simulation.h"

namespace veltmoor {

// Input a calibration cannot start from (unknown measure, incomplete target, ...).
class CalibrationInputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Names a calibration can aim at: the value-list keys, the mean length, node and edge
// counts, the labels with neighbour percentages, the developed share of the fine grid, and
// the landscape metrics and street statistics (Landscape.ED, StreetNetwork.circuity_avg ...).
const std::vector<std::string>& CalibrationMeasureNames();
// The measure's own name ("IS" is short for "IS_developed_cells"); none for an unknown name.
std::optional<std::string> CanonicalMeasureName(std::string_view name);

// A measure of a town after Button4Click; none when the analysis left no number.
// The Landscape.* and StreetNetwork.* measures are computed at full precision in `scale`'s
// units (a synthetic world's when null) under the default landscape rules.
std::optional<double> ReadMeasure(const Simulation& sim, const std::string& name,
                                  const MapScale* scale = nullptr);
// The same measure from a run's measures.json; none when the file has no number for it.
std::optional<double> MeasureFromJson(const nlohmann::json& measures, const std::string& name);

struct TargetValue {
  std::string measure;
  double value = 0.0;
  double weight = 1.0;
  bool operator==(const TargetValue&) const = default;
};

// The target values of `measures` from a measures.json or from an object of name -> number
// or name -> {"value": number, "weight": number}. Throws CalibrationInputError for a
// measure the target lacks, a weight that is not positive, or a file of neither layout.
std::vector<TargetValue> ReadTarget(const nlohmann::json& target,
                                    const std::vector<std::string>& measures);

// How long a town grows: a number of time steps, or until that many fine cells are
// developed.
struct GrowthLimit {
  enum class Kind { Steps, Developed };
  Kind kind = Kind::Steps;
  long long count = 0;
};

// How a run ended: at its limit, because the simulation stopped itself (no candidate cell
// left), or because nothing grew for kStallSteps steps before the developed size was
// reached. Only `Done` runs reached the size the target was measured at.
enum class RunEnd { Done, Ended, Stalled };
std::string RunEndName(RunEnd end);
// Throws CalibrationInputError for a name RunEndName never gives.
RunEnd RunEndFromName(const std::string& name);

constexpr long long kStallSteps = 200;

struct Growth {
  RunEnd end = RunEnd::Done;
  long long steps = 0;
  long long developed = 0;  // fine cells with developed land at the end
};

long long DevelopedFineCells(const World& world);

// Runs time steps of a started simulation until the limit, as `veltmoor-batch run` does for
// a step count. The town is then measured by "fractal A." (Button4Click).
Growth GrowTown(Simulation& sim, const GrowthLimit& limit);

}  // namespace veltmoor
