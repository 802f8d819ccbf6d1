// World files (world.json): a simulation's whole state as JSON, readable from Python, R or
// a GIS, and complete enough to continue a run exactly where it was saved. Reading streams
// the file straight into the grids of the world it describes, checking every value as it
// arrives, so a file costs little more memory than its world.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "simulation/random_source.h"
#include "simulation/settings.h"
#include "simulation/simulation.h"

namespace veltmoor {

// A world file that cannot be read; the message names the key or value at fault.
class WorldFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reading stopped because the progress callback asked it to; nothing was changed.
class WorldReadCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "reading the world file was cancelled"; }
};

// Told the share of the file read so far (0..1) now and then; returning false cancels.
using WorldReadProgress = std::function<bool(double fraction)>;

// Where the world lies on the earth. Pixel (x, y) of the drawing area has the map
// coordinates (OriginX + x * u, OriginY - y * u), u = FineCellSize * 3 / CellSize: north up.
struct Georeference {
  std::string crs_wkt;  // empty: pixel units, no known place
  double origin_x = 0.0;
  double origin_y = 0.0;
  double fine_cell_size = 0.0;  // metres, or the CRS's unit, per fine cell
};

// The georeference a world file may hold: map coordinates within ±1e9 units, and a fine
// cell between a micro-unit (a few centimetres in degrees) and 100 km.
inline constexpr double kMaxGeoCoordinate = 1e9;
inline constexpr double kMinFineCellSize = 1e-6;
inline constexpr double kMaxFineCellSize = 1e5;

// Map units per pixel of the drawing area.
double UnitsPerPixel(const Georeference& georeference, int cell_size);

// A synthetic world's reference: a local plane, 1 px = 1 unit, y growing northwards from
// the bottom edge of the drawing area.
Georeference LocalGeoreference(const World& world, int height);

// A checked world file: every grid has its world's shape, every value its range, every
// node a cell of its own. Turning it into a simulation cannot fail.
struct WorldDocument {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t cell_size = 0;
  std::int32_t columns = 0;
  std::int32_t rows = 0;
  std::uint32_t node_count = 0;
  std::uint32_t edge_count = 0;
  std::uint32_t time_step = 0;
  std::int32_t analysis_countdown = 0;
  std::uint8_t field_type = 0;
  bool running = false;  // the step timer: off once a run stopped itself
  double mean_length = 0.0;
  std::array<std::uint32_t, 2> fine_cell_totals{0, 0};
  std::vector<int> cluster_sizes;
  std::optional<std::uint64_t> seed;
  // Settings in force when the world was saved, by control name, in registry order.
  std::vector<std::pair<std::string, std::string>> settings;
  std::optional<RandomSource::State> random;
  // The CRS text is taken as it stands; whether it is WKT is for the GIS layer to judge.
  std::optional<Georeference> georeference;
  // Only the fields a world keeps between steps are filled.
  Grid2D<TCell> coarse;
  Grid2D<TFineCell> fine;
  std::vector<TAgent> nodes;
  std::vector<std::pair<std::int32_t, std::int32_t>> candidates;  // column, row

  // The settings as NAME=VALUE texts, the form --set takes.
  std::vector<std::string> SettingTexts() const;
};

// Writes the world as a JSON document and a line end, the grids one column at a time.
void WriteWorldJson(std::ostream& out, const Simulation& sim, std::optional<std::uint64_t> seed,
                    const std::optional<Georeference>& georeference = std::nullopt);
// The same document as text, for small worlds and tests.
std::string WorldJsonText(const Simulation& sim, std::optional<std::uint64_t> seed,
                          const std::optional<Georeference>& georeference = std::nullopt);

// Parses and checks a world file's text (hostile input). Throws WorldFileError, or
// WorldReadCancelled when `progress` returns false.
WorldDocument ParseWorldJson(std::string_view text, const WorldReadProgress& progress = nullptr);
// Reads and checks a world file, in memory bounded by the world it describes. Throws
// WorldFileError naming the file, or WorldReadCancelled.
WorldDocument ReadWorldJson(const std::string& path, const WorldReadProgress& progress = nullptr);

// Replaces the simulation's world by the document's, its grids taken over as they are. The
// simulation's settings must hold the document's settings (at least its cell size) and are
// what the world runs on; throws WorldFileError, before anything is changed, when their
// cell size differs. The layers are drawn once, from the restored cells.
void RestoreWorld(WorldDocument&& document, Simulation& sim);
// The same, for a document the caller keeps.
void RestoreWorld(const WorldDocument& document, Simulation& sim);

}  // namespace veltmoor
