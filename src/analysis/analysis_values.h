// How the structure analyses turn their results into the numbers they show: values rounded
// to two decimals in the program's number format, and r² read back from a correlation
// series.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "chart/chart.h"
#include "simulation/output_models.h"

namespace veltmoor {

// The value rounded to two decimals in the shortest general form: 0.875 -> "0,87".
std::string ShownValue(long double value);

// Writes a measure into the value list: its number as computed, shown rounded; no value
// shows "-".
void ShowMeasure(ValueList& list, ValueKey key, std::optional<long double> value);

// Replaces the points of `series` with `points`, in their order.
void ShowPoints(chart::Series& series, const std::vector<chart::Point>& points);

// Recomputes the correlation series and returns the square of its r as a 32-bit float.
// Without points to correlate it gives 0; points whose r is undefined (one point, no spread
// in x or y) give 1.
float SquaredCorrelation(chart::Series& correlation);

}  // namespace veltmoor
