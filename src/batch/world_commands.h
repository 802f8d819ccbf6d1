// veltmoor-batch's commands on saved worlds: analyse and export, and what run shares with
// them (the analysis sequence, the map picture, the GIS files).
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "analysis/landscape_metrics.h"
#include "analysis/street_network_stats.h"
#include "batch/batch_simulation.h"
#include "io/output_unit.h"

namespace veltmoor {

// Writes one file's content; large files are written as they are made, not held whole.
using FileContent = std::function<void(std::ostream&)>;
// Content already made.
FileContent Text(std::string content);
// Name and content of each file a command writes into its output folder.
using OutputFiles = std::vector<std::pair<std::string, FileContent>>;
// Writes a command's files into a folder as one unit.
using OutputWriter = std::function<void(const OutputFiles&, const std::string& folder)>;

// --out and the like: an empty name is refused as a bad argument.
const CLI::Validator& FolderName();

// Where --table goes. Inside the output folder it is one more file of the unit; elsewhere
// it is written beside its place before the unit is swapped in, and renamed into place
// after, to a place checked before the run.
struct TableTarget {
  std::filesystem::path in_unit;  // relative to the output folder
  std::filesystem::path outside;
};
// Checks --table against --out before any work: never the output folder, never one of the
// command's own outputs, and writable when it lies outside. Throws UsageError.
TableTarget PlaceTable(const std::string& table, const std::string& out);
// Writes the connectivity table where `table` says, and commits the unit.
void WriteTable(const Simulation& sim, const TableTarget& table, OutputUnit& unit);

// "fractal A." with its progress on stderr.
void AnalyseWorld(Simulation& sim, std::ostream& err);
// map.png as the map panel shows the world.
std::string MapPngBytes(const Simulation& sim);
// map.png of a command's world: the bounded picture for a large world unless
// `full_picture` (saying so on `err`), else as the map panel shows it.
FileContent MapPictureFile(const BatchSimulation& batch, bool full_picture, std::ostream& err);
// landuse.tif, cells.tif and network.gpkg in the world's reference.
void AddGisFiles(const BatchSimulation& batch, OutputFiles& files);

struct FromWorldOptions {
  std::string from;
  std::string out;
  std::string table_csv;
  std::vector<std::string> sets;
  bool picture = true;
  bool full_picture = false;
  bool geo = false;
  LandscapeRules landscape;  // analyse: the rules of the landscape metrics
  DetourSample detour;       // analyse: the node pairs of the detour ratios
};

// analyse --from world.json [--table F.csv] [--geo] --out DIR
CLI::App* AddAnalyseCommand(CLI::App& app, FromWorldOptions& options);
int RunAnalyseCommand(const FromWorldOptions& options, std::ostream& err);

// export --from world.json --out DIR
CLI::App* AddExportCommand(CLI::App& app, FromWorldOptions& options);
int RunExportCommand(FromWorldOptions options, const OutputWriter& write);

struct ImportCommandOptions {
  WorldOptions world;  // --seed, --set, --out, picture
  std::string landuse;
  int band = 1;
  std::vector<double> developed;
  std::optional<double> developed_above;
  std::string streets;
  std::string layer;
  std::optional<double> fine_cell;
  std::optional<int> cell_size;
  std::vector<double> bbox;
  bool full_picture = false;
  bool geo = false;
};

// import --landuse RASTER ... --out DIR: world.json (georeferenced) and map.png
CLI::App* AddImportCommand(CLI::App& app, ImportCommandOptions& options);
int RunImportCommand(ImportCommandOptions options, const OutputWriter& write, std::ostream& err);

}  // namespace veltmoor
