// A chart painted into an image without any widget, for headless commands that save charts
// as pictures beside their chart files.
#pragma once

#include <QImage>

#include "chart/chart.h"

namespace veltmoor {

// The chart's title, axis titles, the visible series (points as dots, lines joined) on
// axes that span their points, and a legend of the series titles.
QImage PaintChart(const chart::Chart& chart, int width, int height);

}  // namespace veltmoor
