#include "chart/chart_set.h"

#include <stdexcept>

namespace veltmoor::chart {

Chart& ChartSet::Add(ChartName name, std::string title) {
  charts_.push_back(std::make_unique<Chart>(name.Str(), std::move(title)));
  return *charts_.back();
}

Chart& ChartSet::Get(ChartName name) {
  for (auto& chart : charts_) {
    if (chart->Name() == name.View()) {
      return *chart;
    }
  }
  throw std::out_of_range("the window has no chart '" + name.Str() + "'");
}

const Chart& ChartSet::Get(ChartName name) const {
  return const_cast<ChartSet*>(this)->Get(name);
}

Series& ChartSet::GetSeries(SeriesName name) {
  for (auto& chart : charts_) {
    if (Series* series = chart->Find(name.Str())) {
      return *series;
    }
  }
  throw std::out_of_range("the window has no series '" + name.Str() + "'");
}

const Series& ChartSet::GetSeries(SeriesName name) const {
  return const_cast<ChartSet*>(this)->GetSeries(name);
}

}  // namespace veltmoor::chart
