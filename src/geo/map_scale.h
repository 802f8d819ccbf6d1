// Lengths and areas in metres from a world's or a raster's reference: the scale the
// landscape metrics and street statistics measure in.
#pragma once

#include <optional>
#include <string>

#include <ogr_spatialref.h>

#include "analysis/town_measures.h"
#include "geo/world_file.h"

namespace veltmoor {

// Metres per map unit of a coordinate system and a note on its units; empty for a
// geographic one (degrees are no lengths). An empty WKT is a synthetic world's plane, one
// unit a metre. Throws GeoError for WKT GDAL cannot read.
struct LinearUnits {
  std::optional<double> metres_per_unit;
  std::string units;
};
LinearUnits LinearUnitsOf(const std::string& crs_wkt);

// The scale of a world of `cell_size` pixels a coarse cell and a drawing area `height`
// pixels high, lying where `georeference` says (a synthetic world when empty).
MapScale ScaleOfWorld(int cell_size, int height, const std::optional<Georeference>& georeference);

}  // namespace veltmoor
