// The landscape metrics and street-network statistics of a town, as JSON objects with the
// rules and units they were measured under, and the lookup of one number by its dotted name
// ("Landscape.ED", "StreetNetwork.circuity_avg") that calibration and comparisons use.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/landscape_metrics.h"
#include "analysis/street_network_stats.h"
#include "simulation/world.h"

namespace veltmoor {

// What the world's reference says about lengths: metres per fine cell (empty for a
// geographic coordinate system, whose degrees are no lengths), where its pixels lie, and a
// note on the units for the reader.
struct MapScale {
  std::optional<double> metres_per_fine_cell;
  PixelFrame frame;
  std::string units;
};

// A synthetic world's scale: one pixel counts as one metre.
MapScale SyntheticScale(int cell_size, int height);

nlohmann::json LandscapeJson(const LandscapeMetrics& metrics, const LandscapeRules& rules,
                             const MapScale& scale);
nlohmann::json StreetNetworkJson(const StreetNetworkStats& stats, const DetourSample& sample,
                                 const MapScale& scale);

// The StreetNetwork object of a network on a grid of `fine_cells` fine cells, the area of
// its densities.
nlohmann::json NetworkMeasuresJson(const StreetNetwork& network, std::size_t fine_cells,
                                   const MapScale& scale, const DetourSample& sample);

// {"Landscape": ..., "StreetNetwork": ...} of a world: its fine grid and its node network,
// the densities over the whole fine grid.
nlohmann::json TownMeasuresJson(const World& world, const MapScale& scale,
                                const LandscapeRules& rules, const DetourSample& sample = {});

// The metrics of a plain mask, as `compare` and other tools call them.
nlohmann::json MaskLandscapeJson(const LandscapeMask& mask, const MapScale& scale,
                                 const LandscapeRules& rules);

// The scalar statistics of a StreetNetwork object, in the order they are written.
const std::vector<std::string>& StreetStatisticNames();

// The measure names a town offers: Landscape.<metric> and StreetNetwork.<statistic>.
const std::vector<std::string>& TownMeasureNames();
bool IsTownMeasureName(std::string_view name);
// A number of `measures` (an object holding "Landscape" and "StreetNetwork") by its dotted
// name, at full precision; empty when it is undefined or missing.
std::optional<double> TownMeasure(const nlohmann::json& measures, std::string_view name);

}  // namespace veltmoor
