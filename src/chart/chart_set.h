// The named charts of one window, in the order they were created.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "chart/chart.h"

namespace veltmoor::chart {

class ChartSet {
 public:
  Chart& Add(std::string name, std::string title);
  Chart* Find(const std::string& name);
  const Chart* Find(const std::string& name) const;
  Chart& Get(const std::string& name);  // throws std::out_of_range
  // Series names are unique within a window, so a series can be found without its chart.
  Series* FindSeries(const std::string& name);
  Series& GetSeries(const std::string& name);  // throws std::out_of_range
  const std::vector<std::unique_ptr<Chart>>& All() const { return charts_; }

 private:
  std::vector<std::unique_ptr<Chart>> charts_;
};

}  // namespace veltmoor::chart
