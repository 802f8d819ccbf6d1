// An observed town brought in from GIS files: built-up land from any raster GDAL reads,
// streets from any line layer OGR reads, as a world the program can measure and grow.
#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gdal_priv.h>

#include "geo/gdal_support.h"
#include "geo/world_file.h"
#include "simulation/simulation.h"

namespace veltmoor {

// An input the user has to fix (a file GDAL cannot read, a missing band, no developed
// land, a box outside the raster, a world too large); exit code 2.
class ImportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ImportOptions {
  std::string landuse;  // raster
  int band = 1;
  std::vector<double> developed_values;       // a pixel is developed when it holds one of these
  std::optional<double> developed_above;      // ... or a value above this
  std::string streets;                        // line layer, optional
  std::string layer;                          // its name; empty: the first layer of lines
  std::optional<double> fine_cell;            // map units per fine cell; default: the pixel size
  int cell_size = 24;                         // drawing-area pixels per coarse cell
  std::optional<std::array<double, 4>> bbox;  // xmin, ymin, xmax, ymax in the raster's CRS
};

struct ImportCounts {
  long long lines_read = 0;
  long long lines_clipped = 0;  // cut by the box or lying wholly outside it
  long long nodes_made = 0;
  long long developed_cells = 0;
};

// Opens and checks the inputs and works out the world's size and place; nothing is built
// yet. Throws ImportError.
class TownImport {
 public:
  explicit TownImport(ImportOptions options);

  int Width() const { return columns_ * options_.cell_size; }
  int Height() const { return rows_ * options_.cell_size; }
  const Georeference& Reference() const { return reference_; }
  // Warnings the user should see (a raster without CRS).
  const std::vector<std::string>& Warnings() const { return warnings_; }

  // Builds the world into a simulation whose settings hold SE_cellScale = cell_size (a
  // first node in the middle only when "start with initial street" is ticked).
  // Throws ImportError for inputs found bad while reading them.
  ImportCounts BuildInto(Simulation& sim);

 private:
  void ReadLand(Simulation& sim, ImportCounts& counts);
  void ReadStreets(Simulation& sim, ImportCounts& counts);
  // Nodes at the coarse cells the simplified, noded street lines pass, linked in order.
  void PlaceStreets(Simulation& sim, const std::vector<const OGRLineString*>& pieces,
                    ImportCounts& counts);
  bool Developed(double value) const;

  ImportOptions options_;
  DatasetPtr raster_;
  std::array<double, 6> transform_{};
  std::array<double, 4> box_{};  // xmin, ymin, xmax, ymax of the world
  int columns_ = 0;              // coarse
  int rows_ = 0;
  double fine_ = 0.0;  // map units per fine cell
  Georeference reference_;
  std::vector<std::string> warnings_;
};

}  // namespace veltmoor
