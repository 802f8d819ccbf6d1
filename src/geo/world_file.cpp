#include "geo/world_file.h"

#include <ogr_spatialref.h>

namespace veltmoor {

namespace {

// The model reads the CRS as text; only GDAL can tell whether it is one.
void CheckCrs(const WorldDocument& document) {
  if (!document.georeference || document.georeference->crs_wkt.empty()) {
    return;
  }
  OGRSpatialReference reference;
  if (reference.importFromWkt(document.georeference->crs_wkt.c_str()) != OGRERR_NONE) {
    throw WorldFileError("'Georeference.CRS' is not a coordinate reference system in WKT");
  }
}

}  // namespace

WorldDocument ParseWorldDocument(std::string_view text) {
  WorldDocument document = ParseWorldJson(text);
  CheckCrs(document);
  return document;
}

WorldDocument ReadWorldFile(const std::string& path, const WorldReadProgress& progress) {
  WorldDocument document = ReadWorldJson(path, progress);
  try {
    CheckCrs(document);
  } catch (const WorldFileError& e) {
    throw WorldFileError(path + ": " + e.what());
  }
  return document;
}

}  // namespace veltmoor
