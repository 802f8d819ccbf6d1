#include "analysis/analysis_values.h"

#include "simulation/numbers.h"

namespace veltmoor {

std::string ShownValue(long double value) {
  return FormatNumber(RoundTo2(value));
}

float SquaredCorrelation(chart::Series& correlation) {
  correlation.Recompute();
  if (correlation.Count() == 0) {
    return 0.0f;
  }
  const double r = correlation.YValue(0);
  return static_cast<float>(static_cast<long double>(r) * r);
}

}  // namespace veltmoor
