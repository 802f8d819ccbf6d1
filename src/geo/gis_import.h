// An observed town brought in from GIS files: built-up land from any raster GDAL reads,
// streets from any line layer OGR reads, as a world the program can measure and grow.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
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

// The drawing area's cell size an import takes unless told otherwise or the world would be
// wider than a drawing area may be.
inline constexpr int kDefaultImportCellSize = 24;

struct ImportOptions {
  std::string landuse;  // raster
  int band = 1;
  std::vector<double> developed_values;   // a pixel is developed when it holds one of these
  std::optional<double> developed_above;  // ... or a value above this
  std::string streets;                    // line layer, optional
  std::string layer;                      // its name; empty: the first layer of lines
  std::optional<double> fine_cell;        // CRS units per fine cell; default: the pixel size
  // Drawing-area pixels per coarse cell; default kDefaultImportCellSize, or the largest
  // that keeps a large world's drawing area within what world.json holds.
  std::optional<int> cell_size;
  std::optional<std::array<double, 4>> bbox;  // xmin, ymin, xmax, ymax in the raster's CRS
};

struct ImportCounts {
  long long lines_read = 0;
  long long lines_clipped = 0;     // cut by the box or lying wholly outside it
  long long vertices_dropped = 0;  // street vertices at NaN or infinity
  long long nodes_made = 0;
  bool centre_node_planted = false;  // streets given, none inside the box
  long long developed_cells = 0;     // after the streets took their fine cells
};

// How the world's rectangle came about, for the import's summary.
struct ImportShape {
  std::int64_t fine_columns = 0;
  std::int64_t fine_rows = 0;
  int cell_size = kDefaultImportCellSize;
  bool cell_size_chosen = false;        // made smaller than the default to fit
  bool box_clipped = false;             // --bbox reached beyond the raster
  std::array<double, 4> clipped_box{};  // what was left of it
  int fine_cut_east = 0;                // fine cells short of a whole coarse cell, dropped
  int fine_cut_south = 0;
  std::uint64_t world_bytes = 0;  // the memory estimate of the world
  std::int64_t raster_width = 0;  // pixels
  std::int64_t raster_height = 0;
};

// Reports the share of the import done, 0..1, from the thread that runs it.
using ImportProgress = std::function<void(double fraction)>;

// Opens and checks the inputs and works out the world's size and place; nothing is built
// yet. Throws ImportError.
class TownImport {
 public:
  explicit TownImport(ImportOptions options);

  int Width() const { return columns_ * shape_.cell_size; }
  int Height() const { return rows_ * shape_.cell_size; }
  int CellSize() const { return shape_.cell_size; }
  const ImportShape& Shape() const { return shape_; }
  const Georeference& Reference() const { return reference_; }
  // Warnings the user should see (a raster without CRS).
  const std::vector<std::string>& Warnings() const { return warnings_; }

  // What will be read and built, and the memory the world takes, before it starts.
  std::string Plan() const;
  // The import's summary, a line each: the developed fine cells (counted after the streets
  // took theirs), the streets, and what became of the box and the grid's edges.
  std::vector<std::string> Summary(const ImportCounts& counts) const;

  // Builds the world into a simulation whose settings hold SE_cellScale = CellSize() (a
  // first node in the middle when "start with initial street" is ticked, or when streets
  // were given and none lies in the world). Throws ImportError for inputs found bad while
  // reading them.
  ImportCounts BuildInto(Simulation& sim, const ImportProgress& progress = nullptr);

 private:
  void PlaceBox(int width, int height);
  void SizeWorld();
  void ReadLand(Simulation& sim, const ImportProgress& progress);
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
  double fine_ = 0.0;  // CRS units per fine cell
  ImportShape shape_;
  Georeference reference_;
  std::vector<std::string> warnings_;
};

// The memory-fit and size test of an import, apart from GDAL so its arithmetic can be
// checked on any numbers: the cell size a world of `fine_columns` x `fine_rows` fine cells
// gets, and an ImportError naming what is needed and the largest box that fits in
// `budget` bytes when it does not. `fine` is the fine cell's size in CRS units.
int ImportCellSize(std::int64_t fine_columns, std::int64_t fine_rows, double fine,
                   std::optional<int> requested, std::uint64_t budget);

// Refuses (ImportError, starting with `option` and the path) what GDAL would hang on or
// cannot open: a missing file, a FIFO or device, standard input.
void CheckInputFile(const std::string& path, const std::string& option);

// Whether a layer of this geometry type holds street lines.
bool IsLineType(OGRwkbGeometryType type);

}  // namespace veltmoor
