// The periodic structure measures of a run: clusters of developed land with the rank-size
// rule, potential correlations and density profiles.
#pragma once

#include <vector>

#include "simulation/simulation.h"
#include "simulation/world.h"

namespace veltmoor {

// The sums over the 3 x 3 coarse cells around each node, in NodeList order; cells off the
// grid add nothing.
std::vector<NodeNeighbourhood> NodeNeighbourhoods(const World& world);

// Potential against density (nodes with developed land around them) and against the nodes'
// Measure, with their r² in the chart titles.
void PotentialCorrelations(Simulation& sim, const std::vector<NodeNeighbourhood>& records);

// The street-and-development and the developed-cell profiles, densest neighbourhood first.
void DensityProfiles(Simulation& sim, const std::vector<NodeNeighbourhood>& records);

// Classifies developed cells, labels clusters (rank-size included), rebuilds the node
// neighbourhoods kept in the world, and charts the correlations and the profiles.
void StructureAnalysis(Simulation& sim);

}  // namespace veltmoor
