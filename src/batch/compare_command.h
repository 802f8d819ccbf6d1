// veltmoor-batch compare: where a model put new development against where a town grew, from
// an original map (T0), a reference map (T1) and a simulated map (S).
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "geo/class_maps.h"
#include "validation/three_map.h"

namespace veltmoor {

struct CompareOptions {
  std::string original;
  std::string reference;
  std::string simulated;
  std::vector<double> developed;  // values of developed land in class rasters; empty: none
  int baseline_runs = 20;
  std::uint64_t seed = 1;
  bool no_measures = false;  // leave out the landscape and street measures of S and T1
  std::string out;           // empty: compare.json on stdout, nothing written
};

// --seed: a whole number 0 .. 2^64-1 (ParseSeed), handed to `set` once it is checked.
void AddSeedOption(CLI::App& command, std::function<void(std::uint64_t)> set,
                   const std::string& help);

CLI::App* AddCompareCommand(CLI::App& app, CompareOptions& options);
int RunCompareCommand(const CompareOptions& options, std::ostream& out, std::ostream& err);

// Throws MapInputError unless `map` lies on `frame`, naming what differs and how to align it.
void CheckSameFrame(const GridFrame& map, const std::string& label, const GridFrame& frame,
                    const std::string& frame_label);
// Throws MapInputError for maps compare cannot take: empty, or too large to count in blocks.
void CheckComparableSize(const GridFrame& frame, const std::string& label);

MaskView ViewOf(const DevelopedMap& map);

// The outcome classes' colours and names, for the GeoTIFF's table and the picture's legend.
const std::vector<ClassColour>& OutcomeColours();
// outcome.tif and outcome.png of a comparison's outcome map.
std::string OutcomeGeoTiff(const GridFrame& frame, const std::vector<std::uint8_t>& outcome);
std::string OutcomePng(const GridFrame& frame, const std::vector<std::uint8_t>& outcome,
                       const JointCounts& counts);

}  // namespace veltmoor
