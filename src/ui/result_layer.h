// The output folders of "veltmoor-batch forecast", "compare" and "calibrate" opened over the
// town they describe: the probability map or the hit/miss/false-alarm map as a map layer
// with its legend, the calibration's distance charts as chart windows.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

#include "geo/class_maps.h"

namespace veltmoor {

enum class ResultKind { kForecast, kComparison, kCalibration };

struct ResultFolder {
  ResultKind kind = ResultKind::kForecast;
  QString folder;
};

// The folder itself, or one of its forecast.json, compare.json, calibration.json; none when
// the path is neither.
std::optional<ResultFolder> FindResultFolder(const QString& path);

struct ResultLayer {
  QString title;
  QImage image;  // a pixel per fine cell; transparent where there is nothing to show
  std::vector<std::pair<QColor, QString>> legend;
};

// The folder's map, read on the world's grid. Throws std::runtime_error naming the
// difference when the map's grid is not the world's, or the file cannot be read.
ResultLayer ReadResultLayer(const ResultFolder& result, const GridFrame& world);

// The chart files of a calibration folder, by name.
QStringList CalibrationCharts(const ResultFolder& result);

}  // namespace veltmoor
