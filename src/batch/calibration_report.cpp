#include "batch/calibration_report.h"

#include <algorithm>
#include <sstream>
#include <utility>

#include "simulation/numbers.h"
#include "studies/measurements.h"

namespace veltmoor {

using nlohmann::json;

namespace {

std::string Number(const std::optional<double>& value) {
  return value ? ShortestText(*value) : std::string();
}

}  // namespace

std::string SettingText(const VariedSetting& setting, double value) {
  return setting.whole ? FormatInt(static_cast<long long>(value)) : FormatNumber(value);
}

std::string RunsCsv(const CalibrationDesign& d, const std::vector<CalibrationRun>& runs) {
  std::ostringstream out;
  out << "stage,point,replicate,run,seed";
  for (const VariedSetting& s : d.settings) {
    out << ',' << s.name;
  }
  out << ",end,steps,developed";
  for (const TargetValue& t : d.targets) {
    out << ',' << t.measure;
  }
  out << '\n';
  for (const CalibrationRun& run : runs) {
    out << run.stage << ',' << run.point << ',' << run.replicate << ',' << run.run << ','
        << run.seed;
    for (double v : run.values) {
      out << ',' << ShortestText(v);
    }
    out << ',' << RunEndName(run.end) << ',' << run.steps << ',' << run.developed;
    for (const std::optional<double>& m : run.measures) {
      out << ',' << Number(m);
    }
    out << '\n';
  }
  return out.str();
}

std::string PointsCsv(const CalibrationDesign& d, const CalibrationSummary& summary) {
  std::ostringstream out;
  out << "stage,point";
  for (const VariedSetting& s : d.settings) {
    out << ',' << s.name;
  }
  out << ",runs,stopped";
  for (const TargetValue& t : d.targets) {
    out << ',' << t.measure << "_mean," << t.measure << "_sd";
  }
  out << ",distance,noise,accepted\n";
  for (const PointSummary& p : summary.points) {
    out << p.stage << ',' << p.point;
    for (double v : p.values) {
      out << ',' << ShortestText(v);
    }
    out << ',' << p.runs << ',' << p.stopped;
    for (std::size_t m = 0; m < d.targets.size(); ++m) {
      out << ',' << Number(p.mean[m]) << ',' << Number(p.sd[m]);
    }
    out << ',' << Number(p.distance) << ',' << (p.distance ? ShortestText(p.noise) : "") << ','
        << (p.accepted ? 1 : 0) << '\n';
  }
  return out.str();
}

json BestJson(const CalibrationDesign& d, const CalibrationSummary& summary,
              const std::vector<CalibrationRun>& runs, std::uint64_t stages_done) {
  json best;
  best["Stages"] = d.stages;
  best["StagesDone"] = stages_done;
  best["Runs"] = runs.size();
  best["StoppedEarly"] = std::count_if(
      runs.begin(), runs.end(), [](const CalibrationRun& r) { return r.end != RunEnd::Done; });
  best["DistanceAtTruth"] = {{"Expected", summary.at_truth.expected}, {"Sd", summary.at_truth.sd}};
  if (!summary.best) {
    best["Set"] = nullptr;
    return best;
  }
  const PointSummary& point = summary.points[*summary.best];
  json set = json::array();
  json ranges = json::object();
  for (std::size_t i = 0; i < d.settings.size(); ++i) {
    set.push_back(d.settings[i].name + "=" + SettingText(d.settings[i], point.values[i]));
    ranges[d.settings[i].name] = {summary.accepted_low[i], summary.accepted_high[i]};
  }
  best["Set"] = std::move(set);
  best["Stage"] = point.stage;
  best["Point"] = point.point;
  best["Distance"] = *point.distance;
  best["Noise"] = point.noise;
  json measures = json::object();
  for (std::size_t m = 0; m < d.targets.size(); ++m) {
    measures[d.targets[m].measure] = {{"Target", d.targets[m].value},
                                      {"Weight", d.targets[m].weight},
                                      {"Mean", *point.mean[m]},
                                      {"Sd", point.sd[m] ? json(*point.sd[m]) : json(nullptr)},
                                      {"Scale", summary.scales[m]}};
  }
  best["Measures"] = std::move(measures);
  best["Accepted"] = {{"Points", summary.accepted_count}, {"Ranges", std::move(ranges)}};
  return best;
}

std::unique_ptr<chart::Chart> DistanceChart(const CalibrationDesign& d,
                                            const CalibrationSummary& summary, std::size_t i) {
  const std::string& name = d.settings[i].name;
  auto chart = std::make_unique<chart::Chart>("Chart_distance_" + name, "distance against " + name);
  chart->SetAxisTitles(name, "distance");
  chart::Series& all = chart->AddSeries("ser_points", "points", chart::SeriesKind::Point);
  all.SetColor(0x909090);
  chart::Series& accepted =
      chart->AddSeries("ser_accepted", "accepted set", chart::SeriesKind::Point);
  accepted.SetColor(0x0000FF);
  chart::Series& best = chart->AddSeries("ser_best", "best", chart::SeriesKind::Point);
  best.SetColor(0x008000);
  for (std::size_t p = 0; p < summary.points.size(); ++p) {
    const PointSummary& point = summary.points[p];
    if (!point.distance) {
      continue;
    }
    (point.accepted ? accepted : all).Add(point.values[i], *point.distance);
    if (summary.best == p) {
      best.Add(point.values[i], *point.distance);
    }
  }
  return chart;
}

}  // namespace veltmoor
