// Maps of developed land read from saved worlds or class rasters, as comparisons and
// forecasts use them: a plain mask (1 developed, 0 free) per fine cell, with the grid it
// lies on, so maps of one place can be checked to match cell for cell. And rasters written
// back on such a grid: a class map with its colours, a Float32 share.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "geo/world_file.h"

namespace veltmoor {

// A map that cannot be read or does not fit the others; exit code 2.
class MapInputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a map's cells lie: north-up, cell (0, 0) at the upper-left corner (origin_x,
// origin_y), square or rectangular cells.
struct GridFrame {
  int columns = 0;
  int rows = 0;
  double origin_x = 0.0;
  double origin_y = 0.0;
  double cell_width = 0.0;
  double cell_height = 0.0;
  std::string crs_wkt;  // empty: no coordinate system (pixel units)
};

struct DevelopedMap {
  GridFrame frame;
  std::vector<std::uint8_t> mask;  // row by row
  std::uint64_t developed = 0;
  bool georeferenced = false;  // a world with a place on the earth, or a raster with a CRS
  bool raster = false;         // read from a raster, not a world file
};

// The fine grid of a world file (LandUse 2 is developed) and the frame it lies on: its
// georeference, or for a synthetic world the local plane export uses.
DevelopedMap DevelopedMapOfWorld(const WorldDocument& world);
GridFrame FrameOfWorld(const WorldDocument& world);

// A class raster GDAL reads, band 1, in strips. An exported landuse.tif (band "LandUse") has
// land-use codes, 2 developed; any other raster needs `developed`, its developed values (it
// must hold at least one, or it is taken for a map of another class scheme). Nodata is free.
// `label` names the map in messages. Throws MapInputError.
DevelopedMap ReadDevelopedRaster(const std::string& path,
                                 const std::optional<std::vector<double>>& developed,
                                 const std::string& label);

// A world file or a raster, told apart by the file's first byte ('{' opens a world).
DevelopedMap ReadDevelopedMap(const std::string& path,
                              const std::optional<std::vector<double>>& developed,
                              const std::string& label);
// The same, keeping the world file's document in `world` when the map is one (empty for a
// raster).
DevelopedMap ReadDevelopedMap(const std::string& path,
                              const std::optional<std::vector<double>>& developed,
                              const std::string& label, std::optional<WorldDocument>& world);

// What differs between two frames ("extent: 300 x 200 cells against 310 x 200"), or none
// when they are the same grid in the same coordinate system.
std::optional<std::string> FrameDifference(const GridFrame& a, const GridFrame& b);

struct ClassColour {
  int red = 0;
  int green = 0;
  int blue = 0;
  std::string name;
};

// The band metadata item that names class `value` in a class raster: CLASS_<value>.
std::string ClassNameKey(int value);
// A one-band Byte GeoTIFF of classes 0 .. colours.size() - 1 with their colour table and
// names (ClassNameKey items of the band's metadata), on the frame. Returns the file's bytes;
// throws GeoError.
std::string ClassRasterGeoTiff(const GridFrame& frame, std::span<const std::uint8_t> classes,
                               const std::vector<ClassColour>& colours, const std::string& band);
// A one-band Float32 GeoTIFF on the frame.
std::string FloatRasterGeoTiff(const GridFrame& frame, std::span<const float> values,
                               const std::string& band);
// Reads such a raster back (tests and merges); throws MapInputError.
std::vector<float> ReadFloatRaster(const std::string& path, GridFrame& frame);

}  // namespace veltmoor
