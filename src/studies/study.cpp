#include "studies/study.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "analysis/ConnTable.h"
#include "analysis/dijkstra.h"
#include "growth/run_control.h"
#include "simulation/numbers.h"
#include "simulation/setup.h"

namespace veltmoor {

Labels ProgressLabels() {
  Labels labels;
  for (const LabelName name :
       {label::study::kSteps, label::study::kRunsDone, label::study::kRunsPlanned}) {
    labels.Register(name);
  }
  return labels;
}

std::string Study::TakeMessage() {
  std::string text = std::move(message_);
  message_.clear();
  return text;
}

void Study::FreshWorld(std::uint64_t run) {
  if (base_seed_) {
    sim().random.SetFixedSeed(RunSeed(*base_seed_, run));
  }
  ClearWorld(sim());
  NewSetup(sim());
}

void Study::SelectNetworkOnly() {
  controls().SetChecked(setting::kNetworkOnly, true);
  ReadFieldType(sim().world, sim().settings);
}

void Study::AnalyseNetwork() {
  if (sim().TableWindowNeeded) {
    sim().TableWindowNeeded();
  }
  ComputeAllPaths(sim(), path_threads_);
  FillConnectivityTable(sim());
  ShowDegreeHistogram(sim());
}

void Study::AddPoint(chart::Series& series, double x, std::optional<double> y, std::uint64_t run,
                     std::uint64_t value_index) {
  if (!y || !std::isfinite(*y) || !std::isfinite(x)) {
    return;
  }
  series.Add(x, *y);
  measurements_.push_back({series.Name(), x, *y, run, value_index});
}

void Study::ReplayPoints(chart::Chart& chart, const std::vector<chart::SeriesName>& data_series,
                         const std::vector<Measurement>& records) {
  // A record names its series in a file, so its name is checked against the study's own.
  std::vector<chart::Series*> targets;
  for (const Measurement& m : records) {
    const auto named =
        std::find_if(data_series.begin(), data_series.end(),
                     [&m](chart::SeriesName name) { return name.View() == m.series; });
    if (named == data_series.end()) {
      throw std::invalid_argument("'" + m.series + "' is not a measurement series of " +
                                  chart.Name());
    }
    targets.push_back(&chart.Get(*named));
  }
  for (const chart::SeriesName name : data_series) {
    chart.Get(name).Clear();
  }
  measurements_.clear();
  for (std::size_t i = 0; i < records.size(); ++i) {
    const Measurement& m = records[i];
    AddPoint(*targets[i], m.x, m.y, m.run, m.value_index);
  }
}

void Study::StopWithMessage(const std::string& text) {
  running_ = false;
  message_ += message_.empty() ? text : "\n" + text;
}

bool Study::WriteStudyFile(const std::string& path, const std::function<void()>& write) {
  std::string problem;
  try {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) {
      std::filesystem::create_directories(parent);
    }
    write();
    return true;
  } catch (const std::exception& e) {
    problem = e.what();
  }
  // Writers name the path in their own words; say it here too when one does not.
  if (problem.find(path) == std::string::npos) {
    problem = "cannot write '" + path + "': " + problem;
  }
  StopWithMessage(problem + " - the study has stopped.");
  return false;
}

std::optional<double> NumberIn(std::string_view text) {
  try {
    return ParseDecimal(text);
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

std::optional<double> FirstY(const chart::Series& series) {
  if (series.Count() == 0) {
    return std::nullopt;
  }
  return series.YValue(0);
}

std::optional<double> LastY(const chart::Series& series) {
  if (series.Count() == 0) {
    return std::nullopt;
  }
  return series.YValue(series.Count() - 1);
}

}  // namespace veltmoor
