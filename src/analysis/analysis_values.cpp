#include "analysis/analysis_values.h"

#include <algorithm>
#include <cmath>

#include "simulation/numbers.h"

namespace veltmoor {

std::string ShownValue(long double value) {
  return FormatNumber(RoundTo2(value));
}

void ShowMeasure(ValueList& list, ValueKey key, std::optional<long double> value) {
  if (!value) {
    list.SetValue(key, "-");
    return;
  }
  list.SetValue(key, ShownValue(*value), static_cast<double>(*value));
}

float SquaredCorrelation(chart::Series& correlation) {
  correlation.Recompute();
  if (correlation.Count() == 0) {
    // The rank-size fit counts an r left undefined by zero variance as 1, and the titles of
    // the structure analyses share that reading; only points to correlate make it so.
    const chart::Series* data = correlation.Source();
    const bool measured =
        data != nullptr &&
        std::any_of(data->Points().begin(), data->Points().end(),
                    [](const chart::Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
    return measured ? 1.0f : 0.0f;
  }
  const double r = correlation.YValue(0);
  return static_cast<float>(static_cast<long double>(r) * r);
}

void ShowPoints(chart::Series& series, const std::vector<chart::Point>& points) {
  series.Clear();
  for (const chart::Point& p : points) {
    series.Add(p.x, p.y);
  }
}

}  // namespace veltmoor
