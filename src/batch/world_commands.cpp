#include "batch/world_commands.h"

#include <QBuffer>
#include <QImage>
#include <optional>
#include <set>

#include "analysis/ConnTable.h"
#include "analysis/cluster.h"
#include "analysis/fractal.h"
#include "analysis/segregation.h"
#include "batch/landscape_command.h"
#include "batch/measures_json.h"
#include "batch/progress_bar.h"
#include "batch/world_load.h"
#include "geo/gis_export.h"
#include "geo/gis_import.h"
#include "io/atomic_file.h"
#include "io/output_unit.h"
#include "render/composite.h"
#include "render/map_picture.h"
#include "simulation/numbers.h"

namespace veltmoor {

namespace {

void AddFromOptions(CLI::App& command, FromWorldOptions& options) {
  command.add_option("--from", options.from, "a saved world.json")
      ->required()
      ->check(CLI::ExistingFile);
  command.add_option("--out", options.out, "output folder")->required()->check(FolderName());
  command.add_option("--set", options.sets, "NAME=VALUE: a setting of the simulation window")
      ->allow_extra_args(false);
}

std::unique_ptr<BatchSimulation> Load(const FromWorldOptions& options) {
  WorldOptions world;
  world.sets = options.sets;
  world.picture = options.picture;
  world.full_picture = options.full_picture;
  return LoadBatchWorld(options.from, world);
}

}  // namespace

const CLI::Validator& FolderName() {
  static const CLI::Validator validator(
      [](const std::string& text) {
        return text.empty() ? std::string("an output folder needs a name") : std::string();
      },
      "FOLDER");
  return validator;
}

TableTarget PlaceTable(const std::string& table, const std::string& out) {
  if (table.empty()) {
    return {};
  }
  const std::filesystem::path target = OutputFolderPath(table);
  const std::filesystem::path folder = OutputFolderPath(out);
  if (IsWithin(folder, target)) {
    throw UsageError("--table '" + table + "' is the output folder or holds it");
  }
  if (!IsWithin(target, folder)) {
    CheckWritableFile(target, "--table '" + table + "'");
    return {{}, target};
  }
  const std::filesystem::path relative = target.lexically_relative(folder);
  if (relative.begin()->string() == kOutputList) {
    throw UsageError("--table '" + table + "' is the list of the output folder's own files; " +
                     "name another file");
  }
  if (BatchOutputNames().count(relative.begin()->string()) != 0) {
    throw UsageError("--table '" + table + "' is one of the run's own outputs ('" +
                     relative.begin()->string() + "'); name another file");
  }
  return {relative, {}};
}

// A table outside the unit is written whole before the swap and renamed into place after
// it, so a table that cannot be written leaves the previous result in place.
void WriteTable(const Simulation& sim, const TableTarget& table, OutputUnit& unit) {
  const auto write_table = [&sim](std::ostream& out) { WriteConnectivityTableCsv(sim, out); };
  if (!table.in_unit.empty()) {
    WriteFileAtomically((unit.Staging() / table.in_unit).string(), write_table);
  }
  std::optional<StagedFile> outside;
  if (!table.outside.empty()) {
    outside.emplace(table.outside, write_table);
  }
  unit.Commit();
  if (outside) {
    outside->Commit();
  }
}

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

FileContent MapPictureFile(const BatchSimulation& batch, bool full_picture, std::ostream& err) {
  const Simulation& sim = *batch.sim;
  const int width = sim.map.Width();
  const int height = sim.map.Height();
  if (!DrawsBoundedPicture(full_picture, width, height)) {
    return Text(MapPngBytes(sim));
  }
  const QSize size = MapPictureSize(width, height);
  err << "veltmoor-batch: map.png drawn at " << size.width() << " x " << size.height()
      << " px for a map of " << width << " x " << height
      << " px; --full-picture draws every pixel\n";
  const QByteArray png = MapPicturePng(sim, size);
  return Text(std::string(png.constData(), static_cast<std::size_t>(png.size())));
}

FileContent Text(std::string content) {
  return [content = std::move(content)](std::ostream& out) { out << content; };
}

void AddGisFiles(const BatchSimulation& batch, OutputFiles& files) {
  for (auto& [name, content] : GisFiles(*batch.sim, ReferenceOf(*batch.sim, batch.georeference))) {
    files.emplace_back(std::move(name), Text(std::move(content)));
  }
}

CLI::App* AddAnalyseCommand(CLI::App& app, FromWorldOptions& options) {
  CLI::App* command = app.add_subcommand(
      "analyse", "run the fractal analyses on a saved world and write measures.json, map.png");
  AddFromOptions(*command, options);
  command->add_option("--table", options.table_csv,
                      "write the connectivity table as CSV to this file");
  command->add_flag("!--no-picture", options.picture, "do not draw or write map.png");
  command->add_flag("--full-picture", options.full_picture,
                    "draw map.png at the drawing area's full size even for a large world");
  command->add_flag("--geo", options.geo, "also write landuse.tif, cells.tif, network.gpkg");
  AddLandscapeRuleOptions(*command, options.landscape);
  AddDetourSampleOptions(*command, options.detour);
  return command;
}

int RunAnalyseCommand(const FromWorldOptions& options, std::ostream& err) {
  const TableTarget table = PlaceTable(options.table_csv, options.out);
  const auto batch = Load(options);
  Simulation& sim = *batch->sim;
  OutputUnit unit(options.out);
  AnalyseWorld(sim, err);
  // A grown world has these from its last periodic analysis; any world gets them now, so an
  // observed town and a grown one are measured alike.
  PeriodicSegregation(sim);
  LabelClusters(sim);
  OutputFiles files;
  if (options.picture) {
    files.emplace_back("map.png", MapPictureFile(*batch, options.full_picture, err));
  }
  nlohmann::json measures = MeasuresToJson(sim);
  measures.update(TownMeasuresOf(*batch, options.landscape, options.detour));
  files.emplace_back("network_stats.csv", Text(NetworkStatsCsv(measures["StreetNetwork"])));
  files.emplace_back("measures.json", Text(measures.dump() + "\n"));
  if (options.geo) {
    AddGisFiles(*batch, files);
  }
  for (const auto& [name, content] : files) {
    WriteFileAtomically((unit.Staging() / name).string(), content);
  }
  WriteTable(sim, table, unit);
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

CLI::App* AddImportCommand(CLI::App& app, ImportCommandOptions& options) {
  CLI::App* command = app.add_subcommand(
      "import", "build a world from a land-use raster (and street lines) of an observed town");
  command->add_option("--landuse", options.landuse, "raster GDAL reads")->required();
  AddDevelopedValueOptions(*command, options.band, options.developed, options.developed_above);
  command->add_option("--streets", options.streets, "line layer OGR reads");
  command->add_option("--layer", options.layer, "name of the line layer")->needs("--streets");
  command->add_option("--fine-cell", options.fine_cell,
                      "size of a fine cell in the raster's CRS units (default: its pixel size)");
  command
      ->add_option("--cell-size", options.cell_size,
                   "drawing-area pixels per coarse cell (default 24, less for a large world)")
      ->check(CLI::Range(3, 1000));
  command->add_option("--bbox", options.bbox, "XMIN,YMIN,XMAX,YMAX in the raster's CRS units")
      ->delimiter(',')
      ->expected(4);
  command->add_option("--seed", options.world.seed, "fixed random seed for later runs");
  command->add_option("--set", options.world.sets, "NAME=VALUE: a setting of the simulation window")
      ->allow_extra_args(false);
  command->add_option("--out", options.world.out, "output folder")->required();
  command->add_flag("!--no-picture", options.world.picture, "do not draw or write map.png");
  command->add_flag("--full-picture", options.full_picture,
                    "draw map.png at the drawing area's full size even for a large world");
  command->add_flag("--geo", options.geo, "also write landuse.tif, cells.tif, network.gpkg");
  return command;
}

int RunImportCommand(ImportCommandOptions options, const OutputWriter& write, std::ostream& err) {
  if (options.developed.empty() && !options.developed_above) {
    throw UsageError("import needs --developed V[,V...] or --developed-above X");
  }
  if (!options.bbox.empty() && options.bbox.size() != 4) {
    throw UsageError("--bbox expects XMIN,YMIN,XMAX,YMAX");
  }
  ImportOptions import;
  import.landuse = options.landuse;
  import.band = options.band;
  import.developed_values = options.developed;
  import.developed_above = options.developed_above;
  import.streets = options.streets;
  import.layer = options.layer;
  import.fine_cell = options.fine_cell;
  import.cell_size = options.cell_size;
  if (!options.bbox.empty()) {
    import.bbox =
        std::array<double, 4>{options.bbox[0], options.bbox[1], options.bbox[2], options.bbox[3]};
  }
  TownImport town(import);
  for (const std::string& warning : town.Warnings()) {
    err << "veltmoor-batch: warning: " << warning << "\n";
  }
  WorldOptions& world = options.world;
  world.width = town.Width();
  world.height = town.Height();
  // Imported streets are the network, so no first node goes in the middle; a town without
  // streets starts its network there as a new world does (unless --set says otherwise).
  if (!options.streets.empty()) {
    world.sets.insert(world.sets.begin(), "cb_centerNode=0");
  }
  world.sets.push_back("SE_cellScale=" + std::to_string(town.CellSize()));
  world.full_picture = options.full_picture;
  BatchSimulation batch(world);
  err << "veltmoor-batch: " << town.Plan() << "\n";
  ImportCounts counts;
  {
    ProgressBar bar(err, StderrIsTerminal(), "import");
    counts = town.BuildInto(*batch.sim, [&bar](double done) { bar.Update(done); });
  }
  batch.georeference = town.Reference();
  for (const std::string& line : town.Summary(counts)) {
    err << "veltmoor-batch: " << line << "\n";
  }
  OutputFiles files;
  if (world.picture) {
    files.emplace_back("map.png", MapPictureFile(batch, options.full_picture, err));
  }
  const BatchSimulation& written = batch;
  files.emplace_back("world.json", [&written, seed = world.seed](std::ostream& out) {
    WriteWorldJson(out, *written.sim, seed, written.georeference);
  });
  if (options.geo) {
    AddGisFiles(batch, files);
  }
  write(files, world.out);
  return 0;
}

}  // namespace veltmoor
