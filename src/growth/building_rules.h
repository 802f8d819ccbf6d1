// Dividing developed land into built and open parts by neighbour rules, and counting what
// the rules made of it.
#pragma once

#include "simulation/simulation.h"

namespace veltmoor {

// Build neighbours (SubState 2) among the eight, or the four, neighbours of a fine cell.
int BuildCount8(const World& world, int column, int row);
int BuildCount4(const World& world, int column, int row);

// One in-place sweep of the gen A..D rule over developed cells of clusters above 4 cells.
void ApplyBuildingRules(Simulation& sim);
// Assigns build or free at random to developed cells of clusters above 4 cells.
void RandomBuildings(Simulation& sim);
// Counts the sub-types into the six line series, the neighbour histogram and the three
// percentage labels.
void BuildingStatistics(Simulation& sim);

}  // namespace veltmoor
