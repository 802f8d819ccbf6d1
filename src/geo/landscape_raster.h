// Any raster GDAL reads as a developed/free landscape, for measuring an observed town's
// land without importing it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/landscape_metrics.h"
#include "geo/map_scale.h"

namespace veltmoor {

struct LandscapeRasterOptions {
  std::string path;
  int band = 1;
  std::vector<double> developed;          // values of developed land
  std::optional<double> developed_above;  // ... or values above this
};

struct LandscapeRaster {
  LandscapeMask mask;  // nodata is free land
  LinearUnits units;
  std::optional<double> cell_metres;  // empty in a geographic coordinate system
};

// Throws ImportError for a raster the user has to fix: unreadable, no such band, rotated or
// with cells that are not square.
LandscapeRaster ReadLandscapeRaster(const LandscapeRasterOptions& options);

}  // namespace veltmoor
