// veltmoor-batch's commands on saved worlds: analyse and export, and what run shares with
// them (the analysis sequence, the map picture, the GIS files).
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "batch/study_command.h"

namespace veltmoor {

// Name and content of each file a command writes into its output folder.
using OutputFiles = std::vector<std::pair<std::string, std::string>>;
// Writes a command's files into a folder as one unit.
using OutputWriter = std::function<void(const OutputFiles&, const std::string& folder)>;

// "fractal A." with its progress on stderr.
void AnalyseWorld(Simulation& sim, std::ostream& err);
// map.png as the map panel shows the world.
std::string MapPngBytes(const Simulation& sim);
// landuse.tif, cells.tif and network.gpkg in the world's reference.
void AddGisFiles(const BatchSimulation& batch, OutputFiles& files);

struct FromWorldOptions {
  std::string from;
  std::string out;
  std::string table_csv;
  std::vector<std::string> sets;
  bool picture = true;
  bool geo = false;
};

// analyse --from world.json [--table F.csv] [--geo] --out DIR
CLI::App* AddAnalyseCommand(CLI::App& app, FromWorldOptions& options);
int RunAnalyseCommand(FromWorldOptions options, const OutputWriter& write, std::ostream& err);

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
  int cell_size = 24;
  std::vector<double> bbox;
  bool geo = false;
};

// import --landuse RASTER ... --out DIR: world.json (georeferenced) and map.png
CLI::App* AddImportCommand(CLI::App& app, ImportCommandOptions& options);
int RunImportCommand(ImportCommandOptions options, const OutputWriter& write, std::ostream& err);

}  // namespace veltmoor
