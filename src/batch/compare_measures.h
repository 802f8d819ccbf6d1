// The standard measures of the simulated and the reference map side by side in a
// comparison: the landscape metrics of developed land for any map, and the street-network
// statistics when both maps are saved worlds (a raster has no streets).
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "analysis/town_measures.h"
#include "geo/class_maps.h"

namespace veltmoor {

// One map as compare measures it.
struct MeasuredMap {
  LandscapeMask land;
  MapScale scale;
  std::optional<StreetNetwork> streets;  // a world's; empty for a raster
  std::size_t fine_cells = 0;
};

// The scale of a map read by ReadDevelopedMap: its world's, or its raster's cells in the
// raster's linear units (none for a geographic CRS or cells that are not square).
MapScale ScaleOfMap(const DevelopedMap& map, const std::optional<WorldDocument>& world);

// The measures of one map: its landscape metrics, and its street statistics when it is a
// world. Each map is measured on its own so that a comparison can let it go before the next
// one is labelled.
struct MapMeasures {
  nlohmann::json land;
  std::optional<nlohmann::json> streets;
};
MapMeasures MeasureMap(const MeasuredMap& map);

// {"Landscape": {metric: {"Simulated", "Reference", "Difference"}}, "StreetNetwork": ...}
// with "Rules" and the two maps' "Units"; an undefined value is null with the reason under
// the key + "Why". Difference is simulated less reference.
nlohmann::json SideBySideJson(const MapMeasures& simulated, const MapMeasures& reference);
// measures.csv of that object: group,measure,simulated,reference,difference; undefined
// values are empty fields.
std::string SideBySideCsv(const nlohmann::json& side_by_side);

}  // namespace veltmoor
