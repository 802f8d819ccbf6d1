// Dividing developed land into built and open parts by neighbour rules, and counting what
// the rules made of it.
#pragma once

#include "simulation/growth_sink.h"
#include "simulation/world.h"

namespace veltmoor {

// Build neighbours (SubState 2) among the eight, or the four, neighbours of a fine cell.
int BuildCount8(const World& world, int column, int row);
int BuildCount4(const World& world, int column, int row);

// One in-place sweep of the gen A..D rule over developed cells of clusters above 4 cells.
void ApplyBuildingRules(const GrowthContext& growth);
// Assigns build or free at random to developed cells of clusters above 4 cells.
void RandomBuildings(const GrowthContext& growth);
// Counts the sub-types into the six line series, the neighbour histogram and the three
// percentage labels, told to `sink`.
void BuildingStatistics(const World& world, GrowthSink& sink);

}  // namespace veltmoor
