// The standard measures of a town in veltmoor-batch: the landscape metrics and street
// statistics that analyse and run --analyse add to measures.json and network_stats.csv,
// and the landscape command that measures any raster.
#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/landscape_metrics.h"
#include "analysis/street_network_stats.h"
#include "batch/batch_simulation.h"

namespace veltmoor {

// --band, --developed V[,V...] and --developed-above X: which raster values are built land.
void AddDevelopedValueOptions(CLI::App& command, int& band, std::vector<double>& developed,
                              std::optional<double>& developed_above);

// --patch-rule, --boundary-edge, --streets-developed
void AddLandscapeRuleOptions(CLI::App& command, LandscapeRules& rules);

// --detour-sources, --detour-targets, --detour-seed: the node pairs of the detour sample.
void AddDetourSampleOptions(CLI::App& command, DetourSample& sample);

// {"Landscape": ..., "StreetNetwork": ...} of the batch's world in its reference's units.
nlohmann::json TownMeasuresOf(const BatchSimulation& batch, const LandscapeRules& rules,
                              const DetourSample& sample);

// network_stats.csv of a StreetNetwork object: "measure,value" rows, undefined values empty.
std::string NetworkStatsCsv(const nlohmann::json& street_network);

struct LandscapeCommandOptions {
  std::string input;  // a raster, or a world.json
  int band = 1;
  std::vector<double> developed;
  std::optional<double> developed_above;
  LandscapeRules rules;
};

// landscape RASTER|world.json [--developed V,...] [--patch-rule 8|4] ...: a CSV header and
// one row of the metrics on `out`.
CLI::App* AddLandscapeCommand(CLI::App& app, LandscapeCommandOptions& options);
int RunLandscapeCommand(const LandscapeCommandOptions& options, std::ostream& out,
                        std::ostream& err);

}  // namespace veltmoor
