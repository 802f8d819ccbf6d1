#include "geo/map_scale.h"

#include "geo/gdal_support.h"

namespace veltmoor {

LinearUnits LinearUnitsOf(const std::string& crs_wkt) {
  if (crs_wkt.empty()) {
    return {1.0, "no coordinate system: 1 map unit counts as 1 metre"};
  }
  OGRSpatialReference reference;
  if (reference.importFromWkt(crs_wkt.c_str()) != OGRERR_NONE) {
    throw GeoError("the coordinate reference system is not valid WKT");
  }
  if (reference.IsGeographic() != 0) {
    return {std::nullopt,
            "a geographic coordinate system (degrees): areas and distances are not measured; "
            "reproject to a projected system first"};
  }
  const char* name = nullptr;
  const double metres = reference.GetLinearUnits(&name);
  if (!(metres > 0.0)) {
    return {std::nullopt,
            "a coordinate system without a linear unit: areas and distances are "
            "not measured"};
  }
  return {metres, std::string("metres (the coordinate system's unit: ") +
                      (name != nullptr ? name : "unnamed") + ")"};
}

MapScale ScaleOfWorld(int cell_size, int height, const std::optional<Georeference>& georeference) {
  if (!georeference) {
    return SyntheticScale(cell_size, height);
  }
  const LinearUnits units = LinearUnitsOf(georeference->crs_wkt);
  MapScale scale;
  scale.units = units.units;
  const double per_pixel = UnitsPerPixel(*georeference, cell_size);
  const double metres = units.metres_per_unit.value_or(1.0);
  scale.frame = {georeference->origin_x * metres, georeference->origin_y * metres,
                 per_pixel * metres};
  if (units.metres_per_unit) {
    scale.metres_per_fine_cell = georeference->fine_cell_size * metres;
  }
  return scale;
}

}  // namespace veltmoor
