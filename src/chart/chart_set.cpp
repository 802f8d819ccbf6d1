#include "chart/chart_set.h"

#include <stdexcept>

namespace veltmoor::chart {

Chart& ChartSet::Add(std::string name, std::string title) {
  charts_.push_back(std::make_unique<Chart>(std::move(name), std::move(title)));
  return *charts_.back();
}

Chart* ChartSet::Find(const std::string& name) {
  for (auto& chart : charts_) {
    if (chart->Name() == name) {
      return chart.get();
    }
  }
  return nullptr;
}

const Chart* ChartSet::Find(const std::string& name) const {
  return const_cast<ChartSet*>(this)->Find(name);
}

Chart& ChartSet::Get(const std::string& name) {
  Chart* chart = Find(name);
  if (chart == nullptr) {
    throw std::out_of_range("unknown chart '" + name + "'");
  }
  return *chart;
}

Series* ChartSet::FindSeries(const std::string& name) {
  for (auto& chart : charts_) {
    if (Series* series = chart->Find(name)) {
      return series;
    }
  }
  return nullptr;
}

Series& ChartSet::GetSeries(const std::string& name) {
  Series* series = FindSeries(name);
  if (series == nullptr) {
    throw std::out_of_range("unknown series '" + name + "'");
  }
  return *series;
}

}  // namespace veltmoor::chart
