// What a user picking the inputs of an import needs to see of them: a raster's extent, pixel
// size and the classes its pixels hold (with the colour table's colours and names), and the
// line layers of a vector file.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace veltmoor {

struct RasterClass {
  double value = 0.0;
  std::optional<std::array<int, 4>> colour;  // red, green, blue, alpha of the colour table
  std::string name;                          // the band's category name, if any
  long long pixels = 0;
};

struct RasterOverview {
  int width = 0;  // pixels
  int height = 0;
  int bands = 0;
  std::array<double, 4> extent{};  // xmin, ymin, xmax, ymax in the raster's CRS
  double pixel_size = 0.0;         // CRS units, across
  std::string crs_name;            // empty for a raster without CRS
  // The values present in the band, nodata left out; empty for a band of continuous values
  // (anything but whole numbers of at most 16 bits), which only a threshold can classify.
  std::vector<RasterClass> classes;
};

// Throws ImportError naming the file when GDAL cannot read it or the band is missing.
RasterOverview DescribeRaster(const std::string& path, int band = 1);

// The names of the layers that may hold lines (line types, or geometry of unknown type);
// throws ImportError when the file is no vector file or has none.
std::vector<std::string> LineLayerNames(const std::string& path);

}  // namespace veltmoor
