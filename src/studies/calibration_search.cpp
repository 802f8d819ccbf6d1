#include "studies/calibration_search.h"

#include <algorithm>
#include <boost/random/sobol.hpp>
#include <cmath>
#include <map>
#include <utility>

#include "simulation/numbers.h"

namespace veltmoor {

namespace {

struct Moments {
  std::uint64_t n = 0;
  double mean = 0.0;
  double sum_squares = 0.0;  // of the deviations from the mean

  static Moments Of(const std::vector<double>& values) {
    Moments m;
    m.n = values.size();
    if (m.n == 0) {
      return m;
    }
    for (double v : values) {
      m.mean += v;
    }
    m.mean /= static_cast<double>(m.n);
    for (double v : values) {
      m.sum_squares += (v - m.mean) * (v - m.mean);
    }
    return m;
  }
  std::optional<double> Sd() const {
    if (n < 2) {
      return std::nullopt;
    }
    return std::sqrt(sum_squares / static_cast<double>(n - 1));
  }
};

using PointKey = std::pair<std::uint64_t, std::uint64_t>;  // stage, point

// Each point's runs in replicate order, points by stage and number, whatever order the
// runs came in.
std::map<PointKey, std::vector<const CalibrationRun*>> RunsByPoint(
    const std::vector<CalibrationRun>& runs) {
  std::map<PointKey, std::vector<const CalibrationRun*>> by_point;
  for (const CalibrationRun& run : runs) {
    by_point[{run.stage, run.point}].push_back(&run);
  }
  for (auto& [key, list] : by_point) {
    std::sort(list.begin(), list.end(), [](const CalibrationRun* a, const CalibrationRun* b) {
      return a->replicate < b->replicate;
    });
  }
  return by_point;
}

// The values of one measure over the runs of a point that reached the target's size.
std::vector<double> MeasureValues(const std::vector<const CalibrationRun*>& runs,
                                  std::size_t measure) {
  std::vector<double> values;
  for (const CalibrationRun* run : runs) {
    if (run->end == RunEnd::Done && measure < run->measures.size() && run->measures[measure]) {
      values.push_back(*run->measures[measure]);
    }
  }
  return values;
}

std::vector<double> PooledScales(const CalibrationDesign& design,
                                 const std::vector<std::vector<std::vector<double>>>& complete) {
  std::vector<double> scales;
  for (std::size_t m = 0; m < design.targets.size(); ++m) {
    double pooled_squares = 0.0;
    double pooled_df = 0.0;
    std::vector<double> all;
    for (const auto& point : complete) {
      const Moments moments = Moments::Of(point[m]);
      pooled_squares += moments.sum_squares;
      pooled_df += static_cast<double>(moments.n) - 1.0;
      all.insert(all.end(), point[m].begin(), point[m].end());
    }
    std::optional<double> scale;
    if (pooled_df > 0.0) {
      scale = std::sqrt(pooled_squares / pooled_df);
    } else {
      scale = Moments::Of(all).Sd();  // one run per point: no replicates to pool
    }
    scales.push_back(scale && *scale > 0.0 ? *scale : 1.0);
  }
  return scales;
}

// The value the setting will hold: the text a run writes into it, read back.
double RoundedValue(const VariedSetting& setting, double value) {
  return setting.whole ? Round(value) : ParseDecimal(FormatNumber(RoundTo4(value)));
}

SearchBox WholeBox(const CalibrationDesign& design) {
  SearchBox box;
  for (const VariedSetting& setting : design.settings) {
    box.low.push_back(setting.from);
    box.high.push_back(setting.to);
  }
  return box;
}

SearchBox ShrunkBox(const CalibrationDesign& design, const SearchBox& previous,
                    const CalibrationSummary& summary) {
  const SearchBox whole = WholeBox(design);
  const double per_axis = std::pow(static_cast<double>(design.points),
                                   1.0 / static_cast<double>(design.settings.size()));
  SearchBox box;
  for (std::size_t i = 0; i < design.settings.size(); ++i) {
    const double pad = 0.5 * (previous.high[i] - previous.low[i]) / per_axis;
    double low = std::max(whole.low[i], summary.accepted_low[i] - pad);
    double high = std::min(whole.high[i], summary.accepted_high[i] + pad);
    if (design.settings[i].whole) {
      low = std::floor(low);
      high = std::ceil(high);
    }
    box.low.push_back(low);
    box.high.push_back(high);
  }
  return box;
}

}  // namespace

std::uint64_t RunsPerStage(const CalibrationDesign& design) {
  return design.points * design.runs;
}

std::uint64_t RunIndex(const CalibrationDesign& design, std::uint64_t stage, std::uint64_t point,
                       std::uint64_t replicate) {
  return stage * RunsPerStage(design) + point * design.runs + replicate;
}

SearchBox StageBox(const CalibrationDesign& design, std::uint64_t stage,
                   const std::vector<CalibrationRun>& earlier) {
  SearchBox box = WholeBox(design);
  for (std::uint64_t next = 1; next <= stage; ++next) {
    std::vector<CalibrationRun> before;
    for (const CalibrationRun& run : earlier) {
      if (run.stage < next) {
        before.push_back(run);
      }
    }
    const CalibrationSummary summary = Summarise(design, before);
    if (summary.best) {
      box = ShrunkBox(design, box, summary);
    }
  }
  return box;
}

std::vector<ParameterPoint> StagePoints(const CalibrationDesign& design, std::uint64_t stage,
                                        const SearchBox& box) {
  boost::random::sobol sequence(static_cast<std::size_t>(design.settings.size()));
  sequence.seed(stage * design.points);
  // The engine's values span the 64-bit range; dividing by 2^64 maps them into [0, 1).
  const double span = static_cast<double>(sequence.max()) + 1.0;
  std::vector<ParameterPoint> points;
  for (std::uint64_t p = 0; p < design.points; ++p) {
    ParameterPoint point;
    for (std::size_t i = 0; i < design.settings.size(); ++i) {
      const double unit = static_cast<double>(sequence()) / span;
      const double value = box.low[i] + unit * (box.high[i] - box.low[i]);
      point.push_back(RoundedValue(design.settings[i], value));
    }
    points.push_back(std::move(point));
  }
  return points;
}

CalibrationSummary Summarise(const CalibrationDesign& design,
                             const std::vector<CalibrationRun>& runs) {
  CalibrationSummary summary;
  const std::size_t measures = design.targets.size();
  std::vector<std::vector<std::vector<double>>> complete_values;
  std::vector<std::size_t> complete_points;
  for (const auto& [key, point_runs] : RunsByPoint(runs)) {
    PointSummary point;
    point.stage = key.first;
    point.point = key.second;
    point.values = point_runs.front()->values;
    point.runs = point_runs.size();
    point.stopped = static_cast<std::uint64_t>(
        std::count_if(point_runs.begin(), point_runs.end(),
                      [](const CalibrationRun* run) { return run->end != RunEnd::Done; }));
    bool complete = point.runs == design.runs && point.stopped == 0;
    std::vector<std::vector<double>> values;
    for (std::size_t m = 0; m < measures; ++m) {
      values.push_back(MeasureValues(point_runs, m));
      const Moments moments = Moments::Of(values.back());
      point.mean.push_back(moments.n > 0 ? std::optional<double>(moments.mean) : std::nullopt);
      point.sd.push_back(moments.Sd());
      complete = complete && moments.n == design.runs;
    }
    if (complete) {
      complete_values.push_back(std::move(values));
      complete_points.push_back(summary.points.size());
    }
    summary.points.push_back(std::move(point));
  }

  summary.scales = PooledScales(design, complete_values);
  double weight_sum = 0.0;
  double weight_squares = 0.0;
  for (const TargetValue& target : design.targets) {
    weight_sum += target.weight;
    weight_squares += target.weight * target.weight;
  }
  const double inflation = 1.0 + 1.0 / static_cast<double>(design.runs);
  summary.at_truth = {inflation * weight_sum, inflation * std::sqrt(2.0 * weight_squares)};

  for (std::size_t index : complete_points) {
    PointSummary& point = summary.points[index];
    const double n = static_cast<double>(point.runs);
    double distance = 0.0;
    double variance = 0.0;
    for (std::size_t m = 0; m < measures; ++m) {
      const TargetValue& target = design.targets[m];
      const double z = (*point.mean[m] - target.value) / summary.scales[m];
      distance += target.weight * z * z;
      variance += target.weight * target.weight * (4.0 * z * z / n + 2.0 / (n * n));
    }
    point.distance = distance;
    point.noise = std::sqrt(variance);
    if (!summary.best || distance < *summary.points[*summary.best].distance) {
      summary.best = index;
    }
  }
  if (!summary.best) {
    return summary;
  }
  const PointSummary& best = summary.points[*summary.best];
  summary.accepted_low = best.values;
  summary.accepted_high = best.values;
  for (std::size_t index : complete_points) {
    PointSummary& point = summary.points[index];
    const double band = 2.0 * std::sqrt(point.noise * point.noise + best.noise * best.noise);
    point.accepted = *point.distance - *best.distance <= band;
    if (!point.accepted) {
      continue;
    }
    ++summary.accepted_count;
    for (std::size_t i = 0; i < point.values.size(); ++i) {
      summary.accepted_low[i] = std::min(summary.accepted_low[i], point.values[i]);
      summary.accepted_high[i] = std::max(summary.accepted_high[i], point.values[i]);
    }
  }
  return summary;
}

}  // namespace veltmoor
