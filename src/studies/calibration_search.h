// The search of a calibration: which parameter points each stage runs, with which seeds, and
// what the runs say about them — distance to the target, replicate noise, the accepted set
// and the box the next stage searches. Everything here is a function of the design and the
// runs recorded so far, so shards merged in any order give what one process gives.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "studies/calibration.h"

namespace veltmoor {

// A setting searched between `from` and `to`; a whole-number setting takes whole values.
struct VariedSetting {
  std::string name;
  double from = 0.0;
  double to = 0.0;
  bool whole = false;
  bool operator==(const VariedSetting&) const = default;
};

struct CalibrationDesign {
  std::vector<VariedSetting> settings;
  std::vector<TargetValue> targets;
  std::uint64_t points = 1;  // per stage
  std::uint64_t runs = 1;    // per point
  std::uint64_t stages = 1;
  std::uint64_t seed = 0;
};

using ParameterPoint = std::vector<double>;  // one value per varied setting

struct SearchBox {
  std::vector<double> low;
  std::vector<double> high;
  bool operator==(const SearchBox&) const = default;
};

struct CalibrationRun {
  std::uint64_t stage = 0;      // from 0
  std::uint64_t point = 0;      // from 0 within its stage
  std::uint64_t replicate = 0;  // from 0 within its point
  std::uint64_t run = 0;        // from 0 over the whole calibration
  std::uint64_t seed = 0;
  ParameterPoint values;
  RunEnd end = RunEnd::Done;
  long long steps = 0;
  long long developed = 0;
  std::vector<std::optional<double>> measures;  // one per target, in the targets' order
  bool operator==(const CalibrationRun&) const = default;
};

// Run numbers: stage by stage, point by point, the replicates of a point next to each other.
std::uint64_t RunsPerStage(const CalibrationDesign& design);
std::uint64_t RunIndex(const CalibrationDesign& design, std::uint64_t stage, std::uint64_t point,
                       std::uint64_t replicate);

// The box a stage searches: the whole box for the first, then the accepted points of the
// stages before, widened by half the spacing of the previous stage's design on each side
// and kept inside the whole box. `earlier` holds the runs of the stages before `stage`.
SearchBox StageBox(const CalibrationDesign& design, std::uint64_t stage,
                   const std::vector<CalibrationRun>& earlier);
// The stage's points: the Sobol sequence continued from the previous stage, scaled into
// the box, decimals rounded to 4 places, whole settings to whole numbers.
std::vector<ParameterPoint> StagePoints(const CalibrationDesign& design, std::uint64_t stage,
                                        const SearchBox& box);

struct PointSummary {
  std::uint64_t stage = 0;
  std::uint64_t point = 0;
  ParameterPoint values;
  std::uint64_t runs = 0;                   // runs recorded
  std::uint64_t stopped = 0;                // runs that ended before the size of the target
  std::vector<std::optional<double>> mean;  // per target measure
  std::vector<std::optional<double>> sd;    // sample sd; none below two values
  // Complete points (all runs recorded, every run done with every measure) have a distance.
  std::optional<double> distance;
  double noise = 0.0;  // sd of the distance from averaging a finite number of replicates
  bool accepted = false;
};

struct DistanceAtTruth {
  double expected = 0.0;
  double sd = 0.0;
};

struct CalibrationSummary {
  std::vector<double> scales;  // per target measure
  std::vector<PointSummary> points;
  std::optional<std::size_t> best;   // index into points
  std::vector<double> accepted_low;  // per varied setting, over the accepted points
  std::vector<double> accepted_high;
  std::uint64_t accepted_count = 0;
  DistanceAtTruth at_truth;
};

// Distance of a complete point: sum of weight * ((mean - target) / scale)^2, scale the
// pooled replicate sd of the measure over every complete point (with one run per point,
// the sd over all runs; 1 when the measure never varies). A point is accepted when its
// distance exceeds the best one by at most twice the sd of the difference of the two,
// sqrt(noise^2 + noise_best^2), noise^2 = sum of weight^2 * (4 z^2 / n + 2 / n^2),
// z = (mean - target) / scale, n the point's runs.
CalibrationSummary Summarise(const CalibrationDesign& design,
                             const std::vector<CalibrationRun>& runs);

}  // namespace veltmoor
