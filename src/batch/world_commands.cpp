#include "batch/world_commands.h"

#include <QBuffer>
#include <QImage>

#include "analysis/ConnTable.h"
#include "analysis/fractal.h"
#include "batch/measures_json.h"
#include "batch/progress_bar.h"
#include "batch/world_load.h"
#include "geo/gis_export.h"
#include "io/atomic_file.h"
#include "render/composite.h"

namespace veltmoor {

namespace {

void AddFromOptions(CLI::App& command, FromWorldOptions& options) {
  command.add_option("--from", options.from, "a saved world.json")
      ->required()
      ->check(CLI::ExistingFile);
  command.add_option("--out", options.out, "output folder")->required();
  command.add_option("--set", options.sets, "NAME=VALUE: a setting of the simulation window")
      ->allow_extra_args(false);
}

std::unique_ptr<BatchSimulation> Load(const FromWorldOptions& options) {
  WorldOptions world;
  world.sets = options.sets;
  world.picture = options.picture;
  return LoadBatchWorld(options.from, world);
}

}  // namespace

void AnalyseWorld(Simulation& sim, std::ostream& err) {
  ProgressBar bar(err, StderrIsTerminal(), "paths");
  sim.PathProgress = [&bar](int percent) { bar.Update(percent / 100.0); };
  Button4Click(sim);
  sim.PathProgress = nullptr;
  bar.Update(1.0);
}

std::string MapPngBytes(const Simulation& sim) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!ComposeMap(sim).save(&buffer, "PNG")) {
    throw std::runtime_error("cannot encode the map picture");
  }
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void AddGisFiles(const BatchSimulation& batch, OutputFiles& files) {
  for (auto& file : GisFiles(*batch.sim, ReferenceOf(*batch.sim, batch.georeference))) {
    files.push_back(std::move(file));
  }
}

CLI::App* AddAnalyseCommand(CLI::App& app, FromWorldOptions& options) {
  CLI::App* command = app.add_subcommand(
      "analyse", "run the fractal analyses on a saved world and write measures.json, map.png");
  AddFromOptions(*command, options);
  command->add_option("--table", options.table_csv,
                      "write the connectivity table as CSV to this file");
  command->add_flag("!--no-picture", options.picture, "do not draw or write map.png");
  command->add_flag("--geo", options.geo, "also write landuse.tif, cells.tif, network.gpkg");
  return command;
}

int RunAnalyseCommand(FromWorldOptions options, const OutputWriter& write, std::ostream& err) {
  const auto batch = Load(options);
  Simulation& sim = *batch->sim;
  AnalyseWorld(sim, err);
  OutputFiles files;
  if (options.picture) {
    files.emplace_back("map.png", MapPngBytes(sim));
  }
  files.emplace_back("measures.json", MeasuresToJson(sim).dump() + "\n");
  if (options.geo) {
    AddGisFiles(*batch, files);
  }
  write(files, options.out);
  if (!options.table_csv.empty()) {
    WriteFileAtomically(options.table_csv,
                        [&sim](std::ostream& out) { WriteConnectivityTableCsv(sim, out); });
  }
  return 0;
}

CLI::App* AddExportCommand(CLI::App& app, FromWorldOptions& options) {
  CLI::App* command = app.add_subcommand(
      "export", "write a saved world as GIS files: landuse.tif, cells.tif, network.gpkg");
  AddFromOptions(*command, options);
  return command;
}

int RunExportCommand(FromWorldOptions options, const OutputWriter& write) {
  options.picture = false;
  const auto batch = Load(options);
  OutputFiles files;
  AddGisFiles(*batch, files);
  write(files, options.out);
  return 0;
}

}  // namespace veltmoor
