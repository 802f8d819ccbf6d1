#include "batch/batch_cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "analysis/ConnTable.h"
#include "analysis/fractal.h"
#include "batch/batch_options.h"
#include "batch/calibrate_command.h"
#include "batch/compare_command.h"
#include "batch/forecast_command.h"
#include "batch/landscape_command.h"
#include "batch/measures_json.h"
#include "batch/merge_command.h"
#include "batch/progress_bar.h"
#include "batch/slurm_command.h"
#include "batch/status_command.h"
#include "batch/study_command.h"
#include "batch/study_kinds.h"
#include "batch/world_commands.h"
#include "batch/world_load.h"
#include "geo/gis_import.h"
#include "geo/world_file.h"
#include "growth/run_control.h"
#include "io/atomic_file.h"
#include "io/input_file.h"
#include "io/output_unit.h"
#include "render/composite.h"
#include "simulation/numbers.h"
#include "simulation/setup.h"
#include "studies/study_interfaces.h"

namespace veltmoor {

namespace {

namespace fs = std::filesystem;

// Everything a command writes goes into its output unit, which replaces the output folder
// as a whole.
class OutputSet {
 public:
  void Add(std::string name, FileContent content) {
    files_.emplace_back(std::move(name), std::move(content));
  }
  void WriteTo(const fs::path& folder) const {
    for (const auto& [name, content] : files_) {
      WriteFileAtomically((folder / name).string(), content);
    }
  }

 private:
  OutputFiles files_;
};

void AddWorldOptions(CLI::App& command, WorldOptions& options) {
  command.add_option("--width", options.width, "drawing area width in pixels")
      ->check(CLI::Range(1, 20000));
  command.add_option("--height", options.height, "drawing area height in pixels")
      ->check(CLI::Range(1, 20000));
  AddSeedOption(
      command, [&options](std::uint64_t seed) { options.seed = seed; },
      "fixed random seed (0 .. 2^64-1) for a reproducible run");
  command.add_option("--set", options.sets, "NAME=VALUE: a setting of the simulation window")
      ->allow_extra_args(false);
  command.add_option("--out", options.out, "output folder")->required()->check(FolderName());
}

void AddMapOptions(CLI::App& command, WorldOptions& options) {
  AddWorldOptions(command, options);
  command.add_flag("!--no-picture", options.picture, "do not draw or write map.png");
  options.full_picture = false;
  command.add_flag("--full-picture", options.full_picture,
                   "draw map.png at the drawing area's full size even for a large world");
}

void AddWorldOutputs(const BatchSimulation& batch, const WorldOptions& options, OutputSet& outputs,
                     std::ostream& err) {
  if (options.picture) {
    outputs.Add("map.png", MapPictureFile(batch, options.full_picture, err));
  }
  outputs.Add("world.json", [&batch, seed = options.seed](std::ostream& out) {
    WriteWorldJson(out, *batch.sim, seed, batch.georeference);
  });
}

int RunSetup(const WorldOptions& options, std::ostream& err) {
  BatchSimulation batch(options);
  CheckWorldFits(*batch.sim);
  OutputUnit unit(options.out);
  NewSetup(*batch.sim);
  OutputSet outputs;
  AddWorldOutputs(batch, options, outputs, err);
  outputs.WriteTo(unit.Staging());
  unit.Commit();
  return 0;
}

struct RunOptions {
  WorldOptions world;
  std::string field_type;
  long long steps = 0;
  bool analyse = false;
  std::string table_csv;
  std::string from;  // a saved world to continue
  bool geo = false;
  LandscapeRules landscape;
  DetourSample detour;
};

// The radio button behind each --field-type value.
const std::map<std::string, SettingName> kFieldTypeButtons = {{"network", setting::kNetworkOnly},
                                                              {"boom", setting::kBoom},
                                                              {"interlink", setting::kInterlink},
                                                              {"cluster", setting::kCluster}};

CLI::Option* AddFieldTypeOption(CLI::App& command, std::string& field_type) {
  return command.add_option("--field-type", field_type, "network, boom, interlink or cluster")
      ->check(CLI::IsMember({"network", "boom", "interlink", "cluster"}));
}

void AddRunOptions(CLI::App& command, RunOptions& options) {
  AddMapOptions(command, options.world);
  AddFieldTypeOption(command, options.field_type);
  command.add_option("--from", options.from, "continue the world saved in this world.json")
      ->check(CLI::ExistingFile);
  command.add_option("--steps", options.steps, "most time steps to run")
      ->required()
      ->check(CLI::Range(0LL, 100000000LL));
  command.add_flag("--analyse", options.analyse,
                   "after the run: paths, table, histogram, structure, radial and grid analyses");
  command.add_option("--table", options.table_csv,
                     "write the connectivity table as CSV to this file (needs --analyse)");
  command.add_flag("--geo", options.geo, "also write landuse.tif, cells.tif, network.gpkg");
  AddLandscapeRuleOptions(command, options.landscape);
  AddDetourSampleOptions(command, options.detour);
}

// Writes a command's files as one unit into the output folder.
void WriteOutputs(const OutputFiles& files, const std::string& folder) {
  OutputUnit unit(folder);
  OutputSet outputs;
  for (const auto& [name, content] : files) {
    outputs.Add(name, content);
  }
  outputs.WriteTo(unit.Staging());
  unit.Commit();
}

int RunRun(RunOptions options, std::ostream& err) {
  const TableTarget table = PlaceTable(options.table_csv, options.world.out);
  const std::unique_ptr<BatchSimulation> loaded =
      options.from.empty() ? std::make_unique<BatchSimulation>(options.world)
                           : LoadBatchWorld(options.from, options.world);
  BatchSimulation& batch = *loaded;
  if (!options.field_type.empty()) {
    batch.settings.SetChecked(kFieldTypeButtons.at(options.field_type), true);
  }
  Simulation& sim = *batch.sim;
  if (options.from.empty()) {
    CheckWorldFits(sim);
  }
  OutputUnit unit(options.world.out);
  if (options.from.empty()) {
    NewSetup(sim);
  }
  // A saved run continues as if never interrupted: one that had stopped stays stopped
  // unless a field type starts it again.
  if (options.from.empty() || !options.field_type.empty()) {
    StartRun(sim);
  } else if (!sim.TimerEnabled) {
    err << "veltmoor-batch: the saved run had stopped; give --field-type to start it again\n";
  }
  ProgressBar bar(err, StderrIsTerminal(), "run");
  // The run ends at the step limit, at auto-stop, or when a candidate list runs empty.
  for (long long step = 0; step < options.steps && sim.TimerEnabled; ++step) {
    SimulationStep(sim);
    bar.Update(static_cast<double>(step + 1) / static_cast<double>(options.steps));
  }
  bar.Finish();
  if (options.analyse) {
    AnalyseWorld(sim, err);
  }
  OutputSet outputs;
  AddWorldOutputs(batch, options.world, outputs, err);
  nlohmann::json measures = MeasuresToJson(sim);
  if (options.analyse) {
    measures.update(TownMeasuresOf(batch, options.landscape, options.detour));
    outputs.Add("network_stats.csv", Text(NetworkStatsCsv(measures["StreetNetwork"])));
  }
  outputs.Add("measures.json", Text(measures.dump() + "\n"));
  if (options.geo) {
    OutputFiles files;
    AddGisFiles(batch, files);
    for (auto& [name, content] : files) {
      outputs.Add(name, std::move(content));
    }
  }
  outputs.WriteTo(unit.Staging());
  WriteTable(sim, table, unit);
  return 0;
}

struct StudyCommandOptions {
  StudyOptions study;
  std::string field_type;
};

void AddStudyOptions(CLI::App& command, StudyCommandOptions& options) {
  std::string kinds;
  for (const std::string& name : StudyKindNames()) {
    kinds += (kinds.empty() ? "" : ", ") + name;
  }
  command.add_option("kind", options.study.kind, kinds)
      ->required()
      ->check(CLI::IsMember(StudyKindNames()));
  AddWorldOptions(command, options.study.world);
  options.study.world.picture = false;
  command
      .add_option("--study-set", options.study.study_sets,
                  "NAME=VALUE: a control of the study window, e.g. E_calcVals=4")
      ->allow_extra_args(false);
  AddFieldTypeOption(command, options.field_type);
  command.add_flag("--pictures", options.study.world.picture,
                   "devpara: save the map picture of every value under pictures/ "
                   "(ticks Cb_saveSnap)");
  command.add_option("--shard", options.study.shard,
                     "K/N: run only shard K of N (K counts from 1) and write a part for merge; "
                     "needs --seed");
  command.add_flag("--timing", options.study.timing,
                   "print on stderr the time of the study and the part of it spent writing files");
}

int RunStudyCommand(StudyCommandOptions options, std::ostream& err) {
  if (!options.field_type.empty()) {
    options.study.world.sets.push_back(kFieldTypeButtons.at(options.field_type).Str() + "=1");
  }
  return RunStudy(options.study, err);
}

struct CalibrateCommandOptions {
  CalibrateOptions calibrate;
  std::string field_type;
};

void AddCalibrateOptions(CLI::App& command, CalibrateCommandOptions& options) {
  CalibrateOptions& c = options.calibrate;
  AddWorldOptions(command, c.world);
  c.world.picture = false;
  command.add_option("--target", c.target, "measures.json of a run, or JSON of name -> value");
  command.add_option("--measures", c.measures, "comma-separated measures, e.g. D_grid,slope_rank")
      ->required();
  command
      .add_option("--vary", c.vary, "NAME=FROM:TO: a setting to search, e.g. E_centriPe=1,0:4,0")
      ->required()
      ->allow_extra_args(false);
  command.add_option("--field-type", options.field_type, "boom, interlink or cluster")
      ->required()
      ->check(CLI::IsMember({"boom", "interlink", "cluster"}));
  auto* steps = command.add_option("--steps", c.steps, "grow every town this many steps")
                    ->check(CLI::Range(1LL, 100000000LL));
  auto* developed = command
                        .add_option("--until-developed", c.until_developed,
                                    "grow every town until this many fine cells are developed")
                        ->check(CLI::Range(1LL, 100000000LL));
  auto* like = command.add_option("--until-like", c.until_like,
                                  "grow every town until it holds as many developed fine cells "
                                  "as this map (needs --start)");
  steps->excludes(developed)->excludes(like);
  developed->excludes(like);
  command.add_option("--reference", c.reference,
                     "an observed later map the placement measures compare every run with");
  command
      .add_option("--developed", c.developed,
                  "V[,V...]: the values of developed land in class rasters")
      ->delimiter(',');
  command.add_option("--points", c.points, "parameter points per stage")
      ->required()
      ->check(CLI::Range(1, 1000000));
  command.add_option("--runs", c.runs, "runs per point")->required()->check(CLI::Range(1, 10000));
  command.add_option("--stages", c.stages, "stages, each in a box shrunk around the best points")
      ->check(CLI::Range(1, 100));
  command.add_option("--shard", c.shard, "K/N: run only shard K of N of the next stage");
  command.add_option("--previous", c.previous,
                     "the output folder of the stages before (merged or whole)");
  command.add_option("--start", c.start, "a saved world.json every run grows on")
      ->check(CLI::ExistingFile);
}

int RunCalibrateCommand(CalibrateCommandOptions options, std::ostream& err) {
  options.calibrate.world.sets.push_back(kFieldTypeButtons.at(options.field_type).Str() + "=1");
  return RunCalibration(options.calibrate, err);
}

// The subcommands, with the options each fills when it is parsed.
struct Commands {
  WorldOptions setup_options;
  CLI::App* setup = nullptr;
  RunOptions run_options;
  CLI::App* run = nullptr;
  StudyCommandOptions study_options;
  CLI::App* study = nullptr;
  MergeOptions merge_options;
  CLI::App* merge = nullptr;
  FromWorldOptions analyse_options;
  CLI::App* analyse = nullptr;
  FromWorldOptions export_options;
  CLI::App* export_command = nullptr;
  ImportCommandOptions import_options;
  CLI::App* import_command = nullptr;
  CalibrateCommandOptions calibrate_options;
  CLI::App* calibrate = nullptr;
  LandscapeCommandOptions landscape_options;
  CLI::App* landscape = nullptr;
  CompareOptions compare_options;
  CLI::App* compare = nullptr;
  ForecastOptions forecast_options;
  CLI::App* forecast = nullptr;
  std::string status_folder;
  CLI::App* status = nullptr;
};

void AddCommands(CLI::App& app, Commands& c) {
  c.setup = app.add_subcommand("setup", "build a new world and write map.png, world.json");
  AddMapOptions(*c.setup, c.setup_options);
  c.run =
      app.add_subcommand("run", "run time steps and write map.png, world.json and measures.json");
  AddRunOptions(*c.run, c.run_options);
  c.study = app.add_subcommand(
      "study", "run a parameter study and write study.csv and study.tee (with --shard: a part)");
  AddStudyOptions(*c.study, c.study_options);
  c.merge = app.add_subcommand(
      "merge", "merge the parts of a study or of a calibration stage run with --shard");
  c.merge->add_option("out", c.merge_options.out, "output folder")->required()->check(FolderName());
  c.merge->add_option("parts", c.merge_options.parts, "the --out folders of every shard")
      ->required();

  c.analyse = AddAnalyseCommand(app, c.analyse_options);
  c.export_command = AddExportCommand(app, c.export_options);
  c.import_command = AddImportCommand(app, c.import_options);

  c.calibrate = app.add_subcommand(
      "calibrate", "search the settings that grow a town with the target's measures");
  AddCalibrateOptions(*c.calibrate, c.calibrate_options);
  c.landscape = AddLandscapeCommand(app, c.landscape_options);
  c.compare = AddCompareCommand(app, c.compare_options);
  c.forecast = AddForecastCommand(app, c.forecast_options);
  // Read apart from the others (RunSlurm): listed here for the help text.
  app.add_subcommand("slurm",
                     "write a Slurm job chain: slurm (study ...|calibrate ...|forecast ...) "
                     "--shards N [--partition P] [--time T] [--account A] [--mem-margin MIB] "
                     "--out DIR")
      ->allow_extras();
  c.status = app.add_subcommand("status",
                                "where a chain written by slurm stands, and what to "
                                "run to finish it");
  c.status->add_option("folder", c.status_folder, "the chain folder")->required();
}

int RunForecast(ForecastOptions options, std::ostream& err) {
  if (!options.field_type.empty()) {
    options.world.sets.push_back(kFieldTypeButtons.at(options.field_type).Str() + "=1");
  }
  return RunForecastCommand(options, err);
}

// What CLI11 cannot say of the run command's options by itself.
void CheckRunCommand(const Commands& c) {
  if (c.run->parsed() && !c.run_options.table_csv.empty() && !c.run_options.analyse) {
    throw CLI::ValidationError("--table", "the connectivity table needs --analyse");
  }
  if (c.run->parsed() && c.run_options.field_type.empty() && c.run_options.from.empty()) {
    throw CLI::RequiredError("--field-type");
  }
}

int RunParsedCommand(const Commands& c, std::ostream& out, std::ostream& err) {
  if (c.setup->parsed()) {
    return RunSetup(c.setup_options, err);
  }
  if (c.run->parsed()) {
    return RunRun(c.run_options, err);
  }
  if (c.study->parsed()) {
    return RunStudyCommand(c.study_options, err);
  }
  if (c.calibrate->parsed()) {
    return RunCalibrateCommand(c.calibrate_options, err);
  }
  if (c.merge->parsed() && IsForecastPart(c.merge_options.parts.front())) {
    return RunForecastMerge(c.merge_options, err);
  }
  if (c.merge->parsed() && IsCalibrationPart(c.merge_options.parts.front())) {
    return RunCalibrationMerge(c.merge_options, err);
  }
  if (c.merge->parsed()) {
    return RunMerge(c.merge_options, err);
  }
  if (c.analyse->parsed()) {
    return RunAnalyseCommand(c.analyse_options, err);
  }
  if (c.export_command->parsed()) {
    return RunExportCommand(c.export_options, WriteOutputs);
  }
  if (c.import_command->parsed()) {
    return RunImportCommand(c.import_options, WriteOutputs, err);
  }
  if (c.landscape->parsed()) {
    return RunLandscapeCommand(c.landscape_options, out, err);
  }
  if (c.compare->parsed()) {
    return RunCompareCommand(c.compare_options, out, err);
  }
  if (c.forecast->parsed()) {
    return RunForecast(c.forecast_options, err);
  }
  if (c.status->parsed()) {
    return RunStatus(c.status_folder, out);
  }
  return 2;
}

// Failures of the command line or of the files it names, which the user can mend: exit 2.
// Anything else kept the command from finishing: exit 1.
bool IsBadInput(const std::exception& e) {
  return dynamic_cast<const UsageError*>(&e) != nullptr ||
         dynamic_cast<const StudySettingsError*>(&e) != nullptr ||
         dynamic_cast<const ConversionError*>(&e) != nullptr ||
         dynamic_cast<const OutputFolderError*>(&e) != nullptr ||
         dynamic_cast<const InputFileError*>(&e) != nullptr ||
         dynamic_cast<const WorldSizeError*>(&e) != nullptr ||
         dynamic_cast<const WorldFileError*>(&e) != nullptr ||
         dynamic_cast<const ImportError*>(&e) != nullptr ||
         dynamic_cast<const MapInputError*>(&e) != nullptr;
}

// A chain's command line checked as veltmoor-batch checks it, without running it.
ChainShape ShapeOf(const std::vector<std::string>& command) {
  CLI::App app{"veltmoor-batch"};
  app.require_subcommand(1);
  Commands c;
  AddCommands(app, c);
  // Every shard writes its own folder; any name passes the check here.
  std::vector<std::string> args = command;
  args.insert(args.end(), {"--out", "part"});
  std::reverse(args.begin(), args.end());  // CLI11 takes its arguments from the back
  try {
    app.parse(args);
  } catch (const CLI::ParseError& e) {
    throw UsageError(command.front() + ": " + e.what());
  }
  const auto world_bytes = [](WorldOptions world, const std::string& start) {
    return start.empty() ? WorldBytesOf(BatchSimulation(world))
                         : WorldBytesOf(*LoadBatchWorld(start, world));
  };
  if (c.study->parsed()) {
    const StudyShape shape = ShapeOfStudy(c.study_options.study);
    return {shape.runs, 1, shape.world_bytes};
  }
  if (c.calibrate->parsed()) {
    CalibrateOptions o = c.calibrate_options.calibrate;
    o.world.sets.push_back(kFieldTypeButtons.at(c.calibrate_options.field_type).Str() + "=1");
    CheckCalibration(o);
    return {o.points * o.runs, o.stages, world_bytes(o.world, o.start)};
  }
  const ForecastOptions& o = c.forecast_options;
  return {o.runs, 1, world_bytes(o.world, o.start)};
}

int RunSlurm(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> args(argv + 2, argv + argc);
  try {
    return RunSlurmCommand(args, ShapeOf, out, err);
  } catch (const std::exception& e) {
    err << "veltmoor-batch: " << e.what() << "\n";
    return IsBadInput(e) ? 2 : 1;
  }
}

}  // namespace

int RunBatch(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  if (argc >= 2 && std::string(argv[1]) == "slurm") {
    return RunSlurm(argc, argv, out, err);
  }
  CLI::App app{"veltmoor-batch: runs the urban growth simulator without a window"};
  app.require_subcommand(1);
  Commands commands;
  AddCommands(app, commands);
  try {
    app.parse(argc, argv);
    CheckRunCommand(commands);
  } catch (const CLI::CallForHelp&) {
    // Help that never reached its reader (a full disk, a closed pipe) is no success.
    out << app.help() << std::flush;
    if (!out) {
      err << "veltmoor-batch: cannot write the help text\n";
      return 1;
    }
    return 0;
  } catch (const CLI::ParseError& e) {
    err << "veltmoor-batch: " << e.what() << "\n";
    return 2;
  }
  try {
    return RunParsedCommand(commands, out, err);
  } catch (const std::exception& e) {
    err << "veltmoor-batch: " << e.what() << "\n";
    return IsBadInput(e) ? 2 : 1;
  }
}

}  // namespace veltmoor
