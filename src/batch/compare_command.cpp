#include "batch/compare_command.h"

#include <limits>

#include "batch/batch_options.h"
#include "batch/compare_measures.h"
#include "batch/compare_report.h"
#include "batch/world_commands.h"
#include "io/atomic_file.h"
#include "io/output_unit.h"
#include "render/raster_image.h"
#include "studies/run_plan.h"

namespace veltmoor {

namespace {

std::string Coordinate(double value) {
  std::ostringstream text;
  text.precision(12);
  text << value;
  return text.str();
}

std::optional<std::vector<double>> DevelopedValues(const CompareOptions& options) {
  if (options.developed.empty()) {
    return std::nullopt;
  }
  return options.developed;
}

void Release(std::vector<std::uint8_t>& cells) {
  std::vector<std::uint8_t>().swap(cells);
}

// A map handed over for its measures: the mask moves, the world's grids are let go.
MeasuredMap Measured(DevelopedMap&& map, std::optional<WorldDocument>& world) {
  MeasuredMap measured;
  measured.scale = ScaleOfMap(map, world);
  measured.fine_cells = map.mask.size();
  measured.land = {map.frame.columns, map.frame.rows, std::move(map.mask)};
  if (world) {
    measured.streets = NetworkOfNodes(world->nodes, measured.scale.frame);
    world.reset();
  }
  return measured;
}

}  // namespace

void CheckSameFrame(const GridFrame& map, const std::string& label, const GridFrame& frame,
                    const std::string& frame_label) {
  const std::optional<std::string> difference = FrameDifference(frame, map);
  if (!difference) {
    return;
  }
  const double bottom = frame.origin_y - frame.rows * frame.cell_height;
  const double right = frame.origin_x + frame.columns * frame.cell_width;
  throw MapInputError(
      label + " does not lie on the grid of " + frame_label + "; the " + *difference +
      ". Bring both onto one grid: import them with the same --bbox and --fine-cell, or warp " +
      label + " onto it with gdalwarp -te " + Coordinate(frame.origin_x) + " " +
      Coordinate(bottom) + " " + Coordinate(right) + " " + Coordinate(frame.origin_y) + " -tr " +
      Coordinate(frame.cell_width) + " " + Coordinate(frame.cell_height) +
      " -r mode and the same coordinate system");
}

void CheckComparableSize(const GridFrame& frame, const std::string& label) {
  const auto cells =
      static_cast<std::uint64_t>(frame.columns) * static_cast<std::uint64_t>(frame.rows);
  if (cells == 0) {
    throw MapInputError(label + " has no cells");
  }
  if (cells >= std::numeric_limits<std::uint32_t>::max()) {
    throw MapInputError(label + " has " + std::to_string(cells) +
                        " cells; compare takes fewer than 2^32");
  }
}

MaskView ViewOf(const DevelopedMap& map) {
  return {map.frame.columns, map.frame.rows, map.mask};
}

const std::vector<ClassColour>& OutcomeColours() {
  // The colour-blind-safe palette of Okabe and Ito; free land stays white.
  static const std::vector<ClassColour> colours = {
      {255, 255, 255, OutcomeName(Outcome::kCorrectRejection)},
      {0, 158, 115, OutcomeName(Outcome::kHit)},
      {213, 94, 0, OutcomeName(Outcome::kMiss)},
      {0, 114, 178, OutcomeName(Outcome::kFalseAlarm)},
      {190, 190, 190, OutcomeName(Outcome::kPersistence)},
      {230, 159, 0, OutcomeName(Outcome::kObservedLoss)},
      {204, 121, 167, OutcomeName(Outcome::kSimulatedLoss)},
      {0, 0, 0, OutcomeName(Outcome::kBothLoss)}};
  return colours;
}

std::string OutcomeGeoTiff(const GridFrame& frame, const std::vector<std::uint8_t>& outcome) {
  return ClassRasterGeoTiff(frame, outcome, OutcomeColours(), "Outcome");
}

std::string OutcomePng(const GridFrame& frame, const std::vector<std::uint8_t>& outcome,
                       const JointCounts& counts) {
  const std::array<std::uint64_t, kOutcomeCount> by_outcome = {counts.CorrectRejections(),
                                                               counts.Hits(),
                                                               counts.Misses(),
                                                               counts.FalseAlarms(),
                                                               counts.At(true, true, true),
                                                               counts.At(true, false, true),
                                                               counts.At(true, true, false),
                                                               counts.At(true, false, false)};
  std::vector<QRgb> palette;
  std::vector<LegendEntry> legend;
  for (std::size_t i = 0; i < OutcomeColours().size(); ++i) {
    const ClassColour& c = OutcomeColours()[i];
    palette.push_back(qRgb(c.red, c.green, c.blue));
    legend.push_back(
        {palette.back(), QString::fromStdString(c.name + ": " + std::to_string(by_outcome[i]))});
  }
  return PngBytes(ClassMapImage(frame.columns, frame.rows, outcome, palette, legend));
}

void AddSeedOption(CLI::App& command, std::function<void(std::uint64_t)> set,
                   const std::string& help) {
  command.add_option_function<std::string>(
      "--seed",
      [set = std::move(set)](const std::string& text) {
        try {
          set(ParseSeed(text));
        } catch (const UsageError& e) {
          throw CLI::ValidationError(e.what());
        }
      },
      help);
}

CLI::App* AddCompareCommand(CLI::App& app, CompareOptions& options) {
  CLI::App* command = app.add_subcommand(
      "compare", "three-map comparison of a simulated map with an original and a later map");
  command->add_option("--original", options.original, "T0: world.json or class raster")->required();
  command->add_option("--reference", options.reference, "T1, observed: world.json or raster")
      ->required();
  command->add_option("--simulated", options.simulated, "S: world.json or class raster")
      ->required();
  command
      ->add_option("--developed", options.developed,
                   "V[,V...]: the values of developed land in class rasters")
      ->delimiter(',');
  command
      ->add_option("--baseline-runs", options.baseline_runs,
                   "random allocations of the simulated change (default 20)")
      ->check(CLI::Range(0, 10000));
  AddSeedOption(
      *command, [&options](std::uint64_t seed) { options.seed = seed; },
      "seed of the random allocations (default 1)");
  command->add_flag("--no-measures", options.no_measures,
                    "leave out the landscape and street measures of S and T1");
  command->add_option("--out", options.out, "output folder (without it: compare.json on stdout)");
  return command;
}

int RunCompareCommand(const CompareOptions& options, std::ostream& out, std::ostream& err) {
  const auto developed = DevelopedValues(options);
  DevelopedMap original = ReadDevelopedMap(options.original, developed, "--original");
  CheckComparableSize(original.frame, "--original");
  const std::string t0 = "--original '" + options.original + "'";
  std::optional<WorldDocument> reference_world;
  DevelopedMap reference =
      ReadDevelopedMap(options.reference, developed, "--reference", reference_world);
  CheckSameFrame(reference.frame, "--reference '" + options.reference + "'", original.frame, t0);
  if (reference.developed == 0) {
    throw MapInputError("--reference '" + options.reference +
                        "' has no developed cell: there is nothing to compare against");
  }
  std::optional<WorldDocument> simulated_world;
  DevelopedMap simulated =
      ReadDevelopedMap(options.simulated, developed, "--simulated", simulated_world);
  CheckSameFrame(simulated.frame, "--simulated '" + options.simulated + "'", original.frame, t0);
  std::optional<OutputUnit> unit;
  if (!options.out.empty()) {
    unit.emplace(options.out);
  }

  std::vector<std::uint64_t> seeds;
  seeds.reserve(static_cast<std::size_t>(options.baseline_runs));
  for (int k = 0; k < options.baseline_runs; ++k) {
    seeds.push_back(RunSeed(options.seed, static_cast<std::uint64_t>(k)));
  }
  std::vector<std::uint8_t> outcome(options.out.empty() ? 0 : original.mask.size());
  const ThreeMapComparison comparison =
      CompareThreeMaps(ViewOf(original), ViewOf(reference), ViewOf(simulated), seeds, outcome);
  const CompareSources sources{options.original, options.reference, options.simulated,
                               options.seed};
  nlohmann::json report = CompareJson(comparison, sources);
  // The measures label each map in turn: T0's mask and the outcome map, no longer needed
  // once the maps are encoded, go first, and S goes before T1 is labelled.
  Release(original.mask);
  std::string outcome_tif;
  std::string outcome_png;
  if (unit) {
    outcome_tif = OutcomeGeoTiff(original.frame, outcome);
    outcome_png = OutcomePng(original.frame, outcome, comparison.model.counts);
    Release(outcome);
  }
  std::optional<nlohmann::json> measures;
  if (!options.no_measures) {
    const MapMeasures s = MeasureMap(Measured(std::move(simulated), simulated_world));
    const MapMeasures t1 = MeasureMap(Measured(std::move(reference), reference_world));
    measures = SideBySideJson(s, t1);
    report["Measures"] = *measures;
  }
  if (!unit) {
    out << report.dump(2) << "\n";
    return 0;
  }
  OutputFiles files;
  files.emplace_back("compare.json", Text(report.dump(2) + "\n"));
  files.emplace_back("compare.csv", Text(CompareCsv(comparison, sources)));
  files.emplace_back("resolution.csv", Text(ResolutionCsv(comparison)));
  if (measures) {
    files.emplace_back("measures.csv", Text(SideBySideCsv(*measures)));
  }
  files.emplace_back("outcome.tif", Text(std::move(outcome_tif)));
  files.emplace_back("outcome.png", Text(std::move(outcome_png)));
  for (const auto& [name, content] : files) {
    WriteFileAtomically((unit->Staging() / name).string(), content);
  }
  unit->Commit();
  err << "compare: FoM " << report["Statistics"]["FoM"]["Model"].dump() << ", hits "
      << comparison.model.counts.Hits() << ", misses " << comparison.model.counts.Misses()
      << ", false alarms " << comparison.model.counts.FalseAlarms() << "\n";
  return 0;
}

}  // namespace veltmoor
