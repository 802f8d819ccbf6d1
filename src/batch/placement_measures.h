// Calibration measures of where a town grew: the three-map statistics of a grown town
// against an observed later map, with the start world as the original map.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "geo/class_maps.h"
#include "simulation/simulation.h"

namespace veltmoor {

// FoM, QuantityDisagreement, AllocationDisagreement, KappaSimulation, LeeSallee.
const std::vector<std::string>& PlacementMeasureNames();
bool IsPlacementMeasure(const std::string& name);
// What a perfect placement scores: 1 for FoM, Kappa Simulation and Lee-Sallee, 0 for the
// disagreements.
double PerfectPlacement(const std::string& name);

struct PlacementMaps {
  DevelopedMap original;   // the start world's developed cells
  DevelopedMap reference;  // the observed later map, on the start world's grid
};

// Reads the reference and checks it against the start world (MapInputError, exit 2): on
// its grid, with developed cells, and a raster only on a georeferenced world.
PlacementMaps ReadPlacementMaps(const std::string& start, const std::string& reference,
                                const std::optional<std::vector<double>>& developed);
// The developed cells of a map, checked against the start world as the reference is.
DevelopedMap ReadMapOnStart(const std::string& path, const std::string& label,
                            const DevelopedMap& start, const std::string& start_path,
                            const std::optional<std::vector<double>>& developed);

// The measures of the grown town; none for a figure without a value.
std::map<std::string, std::optional<double>> PlacementMeasures(const Simulation& sim,
                                                               const PlacementMaps& maps);

}  // namespace veltmoor
