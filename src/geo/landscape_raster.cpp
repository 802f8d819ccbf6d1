#include "geo/landscape_raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "geo/gis_import.h"

namespace veltmoor {

namespace {

constexpr int kRowsPerRead = 256;

bool IsDevelopedValue(const LandscapeRasterOptions& options, double value) {
  if (options.developed_above && value > *options.developed_above) {
    return true;
  }
  return std::find(options.developed.begin(), options.developed.end(), value) !=
         options.developed.end();
}

// The side of a cell in map units; the metrics need square cells on north-up axes.
double CellSide(GDALDataset& dataset, const std::string& path) {
  std::array<double, 6> t{};
  if (dataset.GetGeoTransform(t.data()) != CE_None) {
    return 1.0;  // no geotransform: pixel units
  }
  if (t[2] != 0.0 || t[4] != 0.0) {
    throw ImportError(path + " is rotated; landscape metrics need north-up cells");
  }
  const double width = std::abs(t[1]);
  const double height = std::abs(t[5]);
  if (!(width > 0.0) || std::abs(width - height) > 1e-9 * width) {
    throw ImportError(path + " has cells of " + std::to_string(width) + " x " +
                      std::to_string(height) +
                      " map units; landscape metrics need square cells (resample first)");
  }
  return width;
}

void ReadMask(GDALRasterBand& band, const LandscapeRasterOptions& options, LandscapeMask& mask) {
  int has_nodata = 0;
  const double nodata = band.GetNoDataValue(&has_nodata);
  std::vector<double> values;
  for (int row = 0; row < mask.rows; row += kRowsPerRead) {
    const int rows = std::min(kRowsPerRead, mask.rows - row);
    values.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(mask.columns));
    if (band.RasterIO(GF_Read, 0, row, mask.columns, rows, values.data(), mask.columns, rows,
                      GDT_Float64, 0, 0, nullptr) != CE_None) {
      ThrowGdalError("cannot read " + options.path);
    }
    for (const double v : values) {
      const bool missing = std::isnan(v) || (has_nodata != 0 && v == nodata);
      mask.developed.push_back(!missing && IsDevelopedValue(options, v) ? 1 : 0);
    }
  }
}

}  // namespace

LandscapeRaster ReadLandscapeRaster(const LandscapeRasterOptions& options) {
  EnsureGdal();
  DatasetPtr dataset(GDALDataset::Open(options.path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!dataset) {
    throw ImportError("GDAL cannot read '" + options.path + "' as a raster");
  }
  if (options.band < 1 || options.band > dataset->GetRasterCount()) {
    throw ImportError(options.path + " has no band " + std::to_string(options.band));
  }
  LandscapeRaster raster;
  raster.mask.columns = dataset->GetRasterXSize();
  raster.mask.rows = dataset->GetRasterYSize();
  const auto cells =
      static_cast<double>(raster.mask.columns) * static_cast<double>(raster.mask.rows);
  if (cells > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    throw ImportError(options.path + " has more than 2^31 cells");
  }
  const double side = CellSide(*dataset, options.path);
  const OGRSpatialReference* reference = dataset->GetSpatialRef();
  char* wkt = nullptr;
  std::string crs;
  if (reference != nullptr && reference->exportToWkt(&wkt) == OGRERR_NONE && wkt != nullptr) {
    crs = wkt;
  }
  CPLFree(wkt);
  raster.units = LinearUnitsOf(crs);
  if (raster.units.metres_per_unit) {
    raster.cell_metres = side * *raster.units.metres_per_unit;
  }
  raster.mask.developed.reserve(static_cast<std::size_t>(cells));
  ReadMask(*dataset->GetRasterBand(options.band), options, raster.mask);
  return raster;
}

}  // namespace veltmoor
