// The named charts of one window, in the order they were created.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "chart/chart.h"

namespace veltmoor::chart {

// A window's charts are found by the constant that names them where they are created; a
// name the window lacks is a programming error, so lookups throw std::out_of_range (a
// std::logic_error) rather than answer nothing.
class ChartSet {
 public:
  Chart& Add(ChartName name, std::string title);
  Chart& Get(ChartName name);
  const Chart& Get(ChartName name) const;
  // Series names are unique within a window, so a series can be found without its chart.
  Series& GetSeries(SeriesName name);
  const Series& GetSeries(SeriesName name) const;
  const std::vector<std::unique_ptr<Chart>>& All() const { return charts_; }

 private:
  std::vector<std::unique_ptr<Chart>> charts_;
};

}  // namespace veltmoor::chart
