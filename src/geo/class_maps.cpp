#include "geo/class_maps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <sstream>

#include "geo/gdal_support.h"

namespace veltmoor {

namespace {

// Rows read at a time: a strip of a wide raster stays a few megabytes.
constexpr int kStripRows = 64;

std::string Number(double value) {
  std::ostringstream text;
  text.precision(12);
  text << value;
  return text.str();
}

bool IsIntegerType(GDALDataType type) {
  return type == GDT_Byte || type == GDT_UInt16 || type == GDT_Int16 || type == GDT_UInt32 ||
         type == GDT_Int32;
}

DatasetPtr OpenRaster(const std::string& path, const std::string& label) {
  EnsureGdal();
  DatasetPtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!dataset) {
    throw MapInputError(label + " '" + path + "' is neither a world file nor a raster GDAL reads");
  }
  if (dataset->GetRasterCount() < 1) {
    throw MapInputError(label + " '" + path + "' has no raster band");
  }
  return dataset;
}

GridFrame FrameOfRaster(GDALDataset& dataset, const std::string& label) {
  GridFrame frame;
  frame.columns = dataset.GetRasterXSize();
  frame.rows = dataset.GetRasterYSize();
  std::array<double, 6> t{0.0, 1.0, 0.0, 0.0, 0.0, -1.0};
  const bool has_transform = dataset.GetGeoTransform(t.data()) == CE_None;
  if (has_transform && (t[2] != 0.0 || t[4] != 0.0 || !(t[1] > 0.0) || !(t[5] < 0.0))) {
    throw MapInputError(label +
                        " is rotated or not north-up; warp it north-up first "
                        "(gdalwarp onto the grid of the other maps)");
  }
  frame.origin_x = t[0];
  frame.origin_y = t[3];
  frame.cell_width = t[1];
  frame.cell_height = -t[5];
  if (const OGRSpatialReference* reference = dataset.GetSpatialRef()) {
    char* wkt = nullptr;
    if (reference->exportToWkt(&wkt) == OGRERR_NONE && wkt != nullptr) {
      frame.crs_wkt = wkt;
    }
    CPLFree(wkt);
  }
  return frame;
}

bool SameCrs(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) {
    return a.empty() && b.empty();
  }
  OGRSpatialReference ra;
  OGRSpatialReference rb;
  if (ra.importFromWkt(a.c_str()) != OGRERR_NONE || rb.importFromWkt(b.c_str()) != OGRERR_NONE) {
    return a == b;
  }
  return ra.IsSame(&rb) != 0;
}

std::string CrsName(const std::string& wkt) {
  if (wkt.empty()) {
    return "none (pixel units)";
  }
  OGRSpatialReference reference;
  if (reference.importFromWkt(wkt.c_str()) != OGRERR_NONE) {
    return "an unreadable system";
  }
  const char* name = reference.GetName();
  return name == nullptr ? std::string("an unnamed system") : std::string(name);
}

DatasetPtr CreateSingleBand(const std::string& path, const GridFrame& frame, GDALDataType type) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
  if (driver == nullptr) {
    ThrowGdalError("GDAL has no GeoTIFF driver");
  }
  const char* options[] = {"COMPRESS=DEFLATE", nullptr};
  DatasetPtr dataset(driver->Create(path.c_str(), frame.columns, frame.rows, 1, type,
                                    const_cast<char**>(options)));
  if (!dataset) {
    ThrowGdalError("cannot create " + path);
  }
  std::array<double, 6> t = {frame.origin_x,    frame.cell_width, 0.0, frame.origin_y, 0.0,
                             -frame.cell_height};
  dataset->SetGeoTransform(t.data());
  Georeference georeference;
  georeference.crs_wkt = frame.crs_wkt;
  const OGRSpatialReference reference = SpatialReferenceOf(georeference);
  dataset->SetSpatialRef(&reference);
  return dataset;
}

// Written in strips, each flushed before the next, so GDAL's block cache never holds more
// than a strip of a large raster.
void WriteBand(GDALDataset& dataset, const void* values, GDALDataType type,
               const std::string& band) {
  GDALRasterBand* raster = dataset.GetRasterBand(1);
  raster->SetDescription(band.c_str());
  const int columns = dataset.GetRasterXSize();
  const auto row_bytes =
      static_cast<std::size_t>(columns) * static_cast<std::size_t>(GDALGetDataTypeSizeBytes(type));
  for (int top = 0; top < dataset.GetRasterYSize(); top += kStripRows) {
    const int rows = std::min(kStripRows, dataset.GetRasterYSize() - top);
    const auto* strip =
        static_cast<const std::uint8_t*>(values) + static_cast<std::size_t>(top) * row_bytes;
    if (raster->RasterIO(GF_Write, 0, top, columns, rows, const_cast<std::uint8_t*>(strip), columns,
                         rows, type, 0, 0, nullptr) != CE_None ||
        raster->FlushCache(false) != CE_None) {
      ThrowGdalError("cannot write band " + band);
    }
  }
}

}  // namespace

GridFrame FrameOfWorld(const WorldDocument& world) {
  const Georeference g =
      world.georeference
          ? *world.georeference
          : Georeference{"", 0.0, static_cast<double>(world.height), world.cell_size / 3.0};
  GridFrame frame;
  frame.columns = world.fine.Columns();
  frame.rows = world.fine.Rows();
  frame.origin_x = g.origin_x;
  frame.origin_y = g.origin_y;
  frame.cell_width = g.fine_cell_size;
  frame.cell_height = g.fine_cell_size;
  frame.crs_wkt = g.crs_wkt;
  return frame;
}

DevelopedMap DevelopedMapOfWorld(const WorldDocument& world) {
  DevelopedMap map;
  map.frame = FrameOfWorld(world);
  map.georeferenced = world.georeference.has_value();
  map.mask.reserve(world.fine.Cells().size());
  for (const TFineCell& cell : world.fine.Cells()) {
    const bool developed = cell.LandUse == kLandDeveloped;
    map.mask.push_back(developed ? 1 : 0);
    map.developed += developed ? 1 : 0;
  }
  return map;
}

DevelopedMap ReadDevelopedRaster(const std::string& path,
                                 const std::optional<std::vector<double>>& developed,
                                 const std::string& label) {
  const DatasetPtr dataset = OpenRaster(path, label);
  GDALRasterBand* band = dataset->GetRasterBand(1);
  if (!IsIntegerType(band->GetRasterDataType())) {
    throw MapInputError(label + " '" + path + "' holds " +
                        GDALGetDataTypeName(band->GetRasterDataType()) +
                        " values, not classes; give a class raster");
  }
  const bool land_use = std::string(band->GetDescription()) == "LandUse";
  if (!land_use && !developed) {
    throw MapInputError(label + " '" + path +
                        "' is a class raster that export did not write; say which of its values "
                        "are developed with --developed V[,V...]");
  }
  const std::vector<double> values = land_use ? std::vector<double>{2.0} : *developed;
  int has_nodata = 0;
  const double nodata = band->GetNoDataValue(&has_nodata);
  DevelopedMap map;
  map.frame = FrameOfRaster(*dataset, label);
  map.georeferenced = !map.frame.crs_wkt.empty();
  map.raster = true;
  const auto columns = static_cast<std::size_t>(map.frame.columns);
  map.mask.resize(columns * static_cast<std::size_t>(map.frame.rows));
  std::vector<std::int32_t> strip;
  for (int top = 0; top < map.frame.rows; top += kStripRows) {
    const int rows = std::min(kStripRows, map.frame.rows - top);
    strip.resize(columns * static_cast<std::size_t>(rows));
    if (band->RasterIO(GF_Read, 0, top, map.frame.columns, rows, strip.data(), map.frame.columns,
                       rows, GDT_Int32, 0, 0, nullptr) != CE_None) {
      ThrowGdalError(label + " '" + path + "' cannot be read");
    }
    std::uint8_t* out = map.mask.data() + static_cast<std::size_t>(top) * columns;
    for (std::size_t i = 0; i < strip.size(); ++i) {
      const double v = strip[i];
      const bool is = !(has_nodata != 0 && v == nodata) &&
                      std::find(values.begin(), values.end(), v) != values.end();
      out[i] = is ? 1 : 0;
      map.developed += is ? 1 : 0;
    }
  }
  if (!land_use && map.developed == 0) {
    throw MapInputError(label + " '" + path +
                        "' holds none of the classes --developed names; is it a map of "
                        "another class scheme?");
  }
  return map;
}

DevelopedMap ReadDevelopedMap(const std::string& path,
                              const std::optional<std::vector<double>>& developed,
                              const std::string& label) {
  std::optional<WorldDocument> world;
  return ReadDevelopedMap(path, developed, label, world);
}

DevelopedMap ReadDevelopedMap(const std::string& path,
                              const std::optional<std::vector<double>>& developed,
                              const std::string& label, std::optional<WorldDocument>& world) {
  world.reset();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw MapInputError(label + " '" + path + "' is missing or unreadable");
  }
  char first = 0;
  in >> std::ws;
  in.get(first);
  if (first != '{') {
    return ReadDevelopedRaster(path, developed, label);
  }
  in.close();
  try {
    world = ReadWorldFile(path);
    return DevelopedMapOfWorld(*world);
  } catch (const WorldFileError& e) {
    throw MapInputError(label + ": " + e.what());
  }
}

std::optional<std::string> FrameDifference(const GridFrame& a, const GridFrame& b) {
  if (a.columns != b.columns || a.rows != b.rows) {
    return "extent: " + std::to_string(a.columns) + " x " + std::to_string(a.rows) +
           " cells against " + std::to_string(b.columns) + " x " + std::to_string(b.rows);
  }
  // A thousandth of a cell absorbs the rounding of corners written as decimal text.
  const double tolerance = 1e-3 * std::max(a.cell_width, a.cell_height);
  if (std::abs(a.cell_width - b.cell_width) > tolerance ||
      std::abs(a.cell_height - b.cell_height) > tolerance) {
    return "cell size: " + Number(a.cell_width) + " x " + Number(a.cell_height) + " against " +
           Number(b.cell_width) + " x " + Number(b.cell_height);
  }
  if (std::abs(a.origin_x - b.origin_x) > tolerance ||
      std::abs(a.origin_y - b.origin_y) > tolerance) {
    return "origin (upper-left corner): " + Number(a.origin_x) + ", " + Number(a.origin_y) +
           " against " + Number(b.origin_x) + ", " + Number(b.origin_y);
  }
  if (!SameCrs(a.crs_wkt, b.crs_wkt)) {
    return "coordinate system: " + CrsName(a.crs_wkt) + " against " + CrsName(b.crs_wkt);
  }
  return std::nullopt;
}

std::string ClassNameKey(int value) {
  return "CLASS_" + std::to_string(value);
}

std::string ClassRasterGeoTiff(const GridFrame& frame, std::span<const std::uint8_t> classes,
                               const std::vector<ClassColour>& colours, const std::string& band) {
  EnsureGdal();
  const MemoryFolder folder;
  const std::string path = folder.Path("classes.tif");
  {
    DatasetPtr dataset = CreateSingleBand(path, frame, GDT_Byte);
    // The colour table goes in before the pixels: once a strip is written the TIFF can no
    // longer become a palette image. GeoTIFF has no place for category names (GDAL would
    // put them in a side file the in-memory write drops), so they go in the band's
    // metadata, which the file keeps, as CLASS_<value>.
    GDALColorTable table;
    GDALRasterBand* raster = dataset->GetRasterBand(1);
    for (std::size_t i = 0; i < colours.size(); ++i) {
      const GDALColorEntry entry = {static_cast<short>(colours[i].red),
                                    static_cast<short>(colours[i].green),
                                    static_cast<short>(colours[i].blue), 255};
      table.SetColorEntry(static_cast<int>(i), &entry);
      raster->SetMetadataItem(ClassNameKey(static_cast<int>(i)).c_str(), colours[i].name.c_str());
    }
    raster->SetColorTable(&table);
    WriteBand(*dataset, classes.data(), GDT_Byte, band);
  }
  return folder.Bytes("classes.tif");
}

std::string FloatRasterGeoTiff(const GridFrame& frame, std::span<const float> values,
                               const std::string& band) {
  EnsureGdal();
  const MemoryFolder folder;
  const std::string path = folder.Path("values.tif");
  {
    DatasetPtr dataset = CreateSingleBand(path, frame, GDT_Float32);
    WriteBand(*dataset, values.data(), GDT_Float32, band);
  }
  return folder.Bytes("values.tif");
}

std::vector<float> ReadFloatRaster(const std::string& path, GridFrame& frame) {
  const DatasetPtr dataset = OpenRaster(path, "raster");
  frame = FrameOfRaster(*dataset, "'" + path + "'");
  std::vector<float> values(static_cast<std::size_t>(frame.columns) *
                            static_cast<std::size_t>(frame.rows));
  if (dataset->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, frame.columns, frame.rows, values.data(),
                                          frame.columns, frame.rows, GDT_Float32, 0, 0,
                                          nullptr) != CE_None) {
    ThrowGdalError("'" + path + "' cannot be read");
  }
  return values;
}

}  // namespace veltmoor
