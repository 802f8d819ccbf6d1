#include "batch/landscape_command.h"

#include <filesystem>

#include "analysis/town_measures.h"
#include "batch/batch_options.h"
#include "geo/landscape_raster.h"
#include "geo/map_scale.h"
#include "geo/world_file.h"
#include "studies/measurements.h"

namespace veltmoor {

namespace {

using nlohmann::json;

std::string CsvValue(const json& value) {
  if (value.is_number_float()) {
    return ShortestText(value.get<double>());
  }
  if (value.is_number() || value.is_boolean()) {
    return value.dump();
  }
  return {};  // undefined
}

struct MeasuredLand {
  LandscapeMask mask;
  MapScale scale;
};

MeasuredLand LandOfWorldFile(const LandscapeCommandOptions& options) {
  const WorldDocument document = ReadWorldFile(options.input);
  MeasuredLand land;
  land.mask = DevelopedMask(document.fine, options.rules.streets_developed);
  land.scale = ScaleOfWorld(document.cell_size, document.height, document.georeference);
  return land;
}

MeasuredLand LandOfRaster(const LandscapeCommandOptions& options) {
  if (options.developed.empty() && !options.developed_above) {
    throw UsageError("landscape needs --developed V[,V...] or --developed-above X for a raster");
  }
  LandscapeRasterOptions raster_options;
  raster_options.path = options.input;
  raster_options.band = options.band;
  raster_options.developed = options.developed;
  raster_options.developed_above = options.developed_above;
  LandscapeRaster raster = ReadLandscapeRaster(raster_options);
  MeasuredLand land;
  land.mask = std::move(raster.mask);
  land.scale.metres_per_fine_cell = raster.cell_metres;
  land.scale.units = raster.units.units;
  return land;
}

}  // namespace

void AddDevelopedValueOptions(CLI::App& command, int& band, std::vector<double>& developed,
                              std::optional<double>& developed_above) {
  command.add_option("--band", band, "band of the raster (from 1)")->check(CLI::Range(1, 100000));
  CLI::Option* values =
      command.add_option("--developed", developed, "V[,V...]: values of developed land")
          ->delimiter(',');
  CLI::Option* above =
      command.add_option("--developed-above", developed_above, "values above X are developed land");
  values->excludes(above);
  above->excludes(values);
}

void AddLandscapeRuleOptions(CLI::App& command, LandscapeRules& rules) {
  command.add_option("--patch-rule", rules.patch_rule, "8 (cells touching at a corner join) or 4")
      ->check(CLI::IsMember({4, 8}));
  command.add_flag("--boundary-edge", rules.boundary_edge,
                   "count the landscape's border as edge of developed land");
  command.add_flag("--streets-developed", rules.streets_developed,
                   "count street cells as developed land");
}

void AddDetourSampleOptions(CLI::App& command, DetourSample& sample) {
  // Each search reaches every node: a bounded sample keeps the statistics' cost bounded.
  command
      .add_option("--detour-sources", sample.sources,
                  "nodes the detour searches start from (default 100)")
      ->check(CLI::Range(1, 10000));
  command
      .add_option("--detour-targets", sample.targets_per_source,
                  "pairs drawn from each search (default 10)")
      ->check(CLI::Range(1, 1000));
  command.add_option_function<std::string>(
      "--detour-seed",
      [&sample](const std::string& text) {
        try {
          sample.seed = ParseSeed(text);
        } catch (const UsageError& e) {
          throw CLI::ValidationError("--detour-seed", e.what());
        }
      },
      "seed of the detour sample (default 1)");
}

json TownMeasuresOf(const BatchSimulation& batch, const LandscapeRules& rules,
                    const DetourSample& sample) {
  const Simulation& sim = *batch.sim;
  return TownMeasuresJson(sim.world,
                          ScaleOfWorld(sim.world.CellSize, sim.map.Height(), batch.georeference),
                          rules, sample);
}

std::string NetworkStatsCsv(const json& street_network) {
  std::string csv = "measure,value\n";
  const auto row = [&csv](const std::string& name, const json& value) {
    csv += name + "," + CsvValue(value) + "\n";
  };
  for (const std::string& name : StreetStatisticNames()) {
    row(name, street_network.value(name, json()));
  }
  for (const char* group : {"streets_per_node_counts", "streets_per_node_proportions"}) {
    if (street_network.contains(group)) {
      for (const auto& [k, value] : street_network[group].items()) {
        row(std::string(group) + "." + k, value);
      }
    }
  }
  return csv;
}

CLI::App* AddLandscapeCommand(CLI::App& app, LandscapeCommandOptions& options) {
  CLI::App* command = app.add_subcommand(
      "landscape", "print the landscape metrics of developed land in a raster or world.json (CSV)");
  command->add_option("input", options.input, "a raster GDAL reads, or a world.json")
      ->required()
      ->check(CLI::ExistingFile);
  AddDevelopedValueOptions(*command, options.band, options.developed, options.developed_above);
  AddLandscapeRuleOptions(*command, options.rules);
  return command;
}

int RunLandscapeCommand(const LandscapeCommandOptions& options, std::ostream& out,
                        std::ostream& err) {
  const bool world_file = std::filesystem::path(options.input).extension() == ".json";
  const MeasuredLand land = world_file ? LandOfWorldFile(options) : LandOfRaster(options);
  const json metrics = MaskLandscapeJson(land.mask, land.scale, options.rules);
  err << "veltmoor-batch: units: " << land.scale.units << "\n";
  if (metrics.value("NP", 0) == 0) {
    err << "veltmoor-batch: no cell of " << options.input << " is developed land\n";
  }
  std::string header = "patch_rule,boundary_edge,streets_developed,cell_metres";
  std::string row =
      std::to_string(options.rules.patch_rule) + "," + (options.rules.boundary_edge ? "1" : "0") +
      "," + (options.rules.streets_developed ? "1" : "0") + "," + CsvValue(metrics["CellMetres"]);
  for (const std::string& name : LandscapeMetricNames()) {
    header += "," + name;
    row += "," + CsvValue(metrics[name]);
  }
  out << header << "\n" << row << "\n";
  return 0;
}

}  // namespace veltmoor
