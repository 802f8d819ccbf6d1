// The periodic structure measures of a run: clusters of developed land with the rank-size
// rule, potential correlations and density profiles.
#pragma once

#include <vector>

#include "chart/chart.h"
#include "simulation/simulation.h"
#include "simulation/world.h"

namespace veltmoor {

// The sums over the 3 x 3 coarse cells around each node, in NodeList order; cells off the
// grid add nothing.
std::vector<NodeNeighbourhood> NodeNeighbourhoods(const World& world);

// The mean potential of each node's neighbourhood against its developed share (nodes with
// developed land around them only) and against the node's Measure, in NodeList order.
struct PotentialPoints {
  std::vector<chart::Point> density;
  std::vector<chart::Point> connectivity;
};
PotentialPoints ComputePotentialPoints(const World& world,
                                       const std::vector<NodeNeighbourhood>& records);

// Potential against density and against connectivity, with their r² in the chart titles.
void PotentialCorrelations(Simulation& sim, const std::vector<NodeNeighbourhood>& records);

// Shares per fine cell of the neighbourhoods, densest first: developed land and streets
// ordered by the two together (equal ones keep the node order), and the developed cells of
// the last classification ordered by themselves.
struct DensityProfile {
  std::vector<chart::Point> build;
  std::vector<chart::Point> street;
  std::vector<chart::Point> developed;
};
DensityProfile ComputeDensityProfile(const std::vector<NodeNeighbourhood>& records);

// The street-and-development and the developed-cell profiles.
void DensityProfiles(Simulation& sim, const std::vector<NodeNeighbourhood>& records);

// Classifies developed cells, labels clusters (rank-size included), rebuilds the node
// neighbourhoods kept in the world, and charts the correlations and the profiles.
void StructureAnalysis(Simulation& sim);

}  // namespace veltmoor
