#include "geo/raster_overview.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cmath>

#include "geo/class_maps.h"
#include "geo/gdal_support.h"
#include "geo/gis_import.h"

namespace veltmoor {

namespace {

// More distinct values than a list of tick boxes can usefully offer.
constexpr int kMaxClasses = 1024;

[[noreturn]] void Refuse(const std::string& what) {
  const std::string gdal = CPLGetLastErrorMsg();
  CPLErrorReset();
  throw ImportError(gdal.empty() ? what : what + ": " + gdal);
}

bool WholeNumbers(GDALDataType type) {
  return type == GDT_Byte || type == GDT_Int16 || type == GDT_UInt16;
}

// The classes of a band of whole numbers from `low` to `high`, counted by GDAL's histogram
// over every pixel: a sampled count misses the rare class a user is looking for.
std::vector<RasterClass> Classes(GDALRasterBand& band, int low, int high) {
  const int buckets = high - low + 1;
  std::vector<GUIntBig> counts(static_cast<std::size_t>(buckets));
  if (band.GetHistogram(low - 0.5, high + 0.5, buckets, counts.data(), FALSE, FALSE, nullptr,
                        nullptr) != CE_None) {
    Refuse("cannot count the raster's values");
  }
  int hasNodata = 0;
  const double nodata = band.GetNoDataValue(&hasNodata);
  const GDALColorTable* colours = band.GetColorTable();
  char** names = band.GetCategoryNames();
  const int nameCount = CSLCount(names);
  std::vector<RasterClass> classes;
  for (int i = 0; i < buckets; ++i) {
    const int value = low + i;
    if (counts[static_cast<std::size_t>(i)] == 0 || (hasNodata != 0 && nodata == value)) {
      continue;
    }
    RasterClass entry;
    entry.value = value;
    entry.pixels = static_cast<long long>(counts[static_cast<std::size_t>(i)]);
    if (colours != nullptr && value >= 0 && value < colours->GetColorEntryCount()) {
      const GDALColorEntry* c = colours->GetColorEntry(value);
      entry.colour = std::array<int, 4>{c->c1, c->c2, c->c3, c->c4};
    }
    if (value >= 0 && value < nameCount && names[value] != nullptr) {
      entry.name = names[value];
    } else if (const char* name = band.GetMetadataItem(ClassNameKey(value).c_str())) {
      entry.name = name;  // a class raster veltmoor wrote
    }
    classes.push_back(std::move(entry));
  }
  return classes;
}

}  // namespace

RasterOverview DescribeRaster(const std::string& path, int band) {
  EnsureGdal();
  CheckInputFile(path, "land raster");
  CPLErrorReset();
  const DatasetPtr raster(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER));
  if (!raster) {
    Refuse(path + ": cannot read the raster");
  }
  RasterOverview overview;
  overview.width = raster->GetRasterXSize();
  overview.height = raster->GetRasterYSize();
  overview.bands = raster->GetRasterCount();
  if (band < 1 || band > overview.bands) {
    throw ImportError(path + ": has no band " + std::to_string(band) + " (it has " +
                      std::to_string(overview.bands) + ")");
  }
  std::array<double, 6> transform{};
  if (raster->GetGeoTransform(transform.data()) != CE_None) {
    // Pixel units, y growing northwards from the bottom edge, as the import takes them.
    transform = {0.0, 1.0, 0.0, static_cast<double>(overview.height), 0.0, -1.0};
  }
  CPLErrorReset();
  overview.extent = {transform[0], transform[3] + overview.height * transform[5],
                     transform[0] + overview.width * transform[1], transform[3]};
  overview.pixel_size = std::abs(transform[1]);
  if (const OGRSpatialReference* crs = raster->GetSpatialRef()) {
    if (const char* name = crs->GetName()) {
      overview.crs_name = name;
    }
  }
  GDALRasterBand& data = *raster->GetRasterBand(band);
  const GDALDataType type = data.GetRasterDataType();
  if (type == GDT_Byte) {
    overview.classes = Classes(data, 0, 255);
  } else if (WholeNumbers(type)) {
    std::array<double, 2> range{};
    if (data.ComputeRasterMinMax(TRUE, range.data()) == CE_None &&
        range[1] - range[0] < kMaxClasses) {
      overview.classes = Classes(data, static_cast<int>(range[0]), static_cast<int>(range[1]));
    }
    CPLErrorReset();
  }
  return overview;
}

std::vector<std::string> LineLayerNames(const std::string& path) {
  EnsureGdal();
  CheckInputFile(path, "street file");
  CPLErrorReset();
  const DatasetPtr vector(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
  if (!vector) {
    Refuse(path + ": cannot read the street file");
  }
  std::vector<std::string> names;
  for (OGRLayer* layer : vector->GetLayers()) {
    const OGRwkbGeometryType type = layer->GetGeomType();
    if (IsLineType(type) || wkbFlatten(type) == wkbUnknown) {
      names.emplace_back(layer->GetName());
    }
  }
  if (names.empty()) {
    throw ImportError(path + ": has no layer of lines");
  }
  return names;
}

}  // namespace veltmoor
