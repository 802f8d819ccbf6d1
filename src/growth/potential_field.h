// The potential field and the development of land it drives: potentials spread from
// developed land, and the resulting force picks the fine cell to develop next.
#pragma once

#include "simulation/growth_sink.h"
#include "simulation/row_splitter.h"
#include "simulation/world.h"

namespace veltmoor {

// `passes` smoothing rounds of the coarse potentials (own term plus four neighbours, a
// fifth), the same as as many single rounds.
// Cost: O(passes x cells) time; no memory beyond PotentialGrid.
// With `rows`, each pass shares its rows with that splitter's helper thread; the result is
// the same either way.
void UpdatePotential(World& world, int passes = 1, RowSplitter* rows = nullptr);
void SpreadPotentialToFineGrid(World& world, RowSplitter* rows = nullptr);

bool HasOccupiedNeighbour(const World& world, int column, int row);
bool HasDevelopedNeighbour(const World& world, int column, int row);
bool IsHwmCandidate(const GrowthContext& growth, int column, int row);

// Makes a fine cell developed land, counted in its coarse cell.
void Develop(const GrowthContext& growth, TFineCell& fine);

void CollectHwmCandidates(const GrowthContext& growth);
void DevelopBestHwmCandidate(const GrowthContext& growth);
void CollectClusterCandidates(const GrowthContext& growth);
void DevelopBestClusterCandidate(const GrowthContext& growth);

// The same lists found by rescanning the whole fine grid, as before the frontier kept them;
// for tests and benchmarks to hold the frontier against.
void CollectHwmCandidatesByRescan(const GrowthContext& growth);
void CollectClusterCandidatesByRescan(const GrowthContext& growth);

// Ties an isolated development to the network with a straight street from the nearest node.
// A world without any node gets a node in the fine cell's cell and no street.
void ConnectToNearestNode(const GrowthContext& growth, TFineCell& fine);

}  // namespace veltmoor
