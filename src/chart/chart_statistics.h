// The statistics behind a chart's derived series: a least-squares trend, Pearson's r,
// standard deviation, mean, group averages and a least-squares polynomial, each over the
// points of a source series and returned as the points the derived series shows.
#pragma once

#include <vector>

#include "chart/chart.h"

namespace veltmoor::chart {

using PointList = std::vector<Point>;

// The points whose x and y are both finite, in their order.
PointList FinitePoints(const PointList& points);

// The least-squares line over the source's x extent.
PointList Trend(const PointList& source);
// Pearson's r as a flat line; none when it is undefined.
PointList Correlation(const PointList& source);
// The sample standard deviation of y as a flat line.
PointList StdDeviation(const PointList& source);
// The mean of y as a flat line.
PointList Mean(const PointList& source);
// The mean point of each complete group of `period` points; the mean for period <= 0.
PointList Average(const PointList& source, int period);
// A least-squares polynomial of `degree` evaluated at each distinct x.
PointList CurveFit(const PointList& source, int degree);

}  // namespace veltmoor::chart
