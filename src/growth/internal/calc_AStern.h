// The A* search over the street network that decides whether a new node needs an extra
// link: it stops as soon as the goal is first reached.
#pragma once

#include <vector>

#include "simulation/world.h"

namespace veltmoor {

// Fills `result` with the path from goal back to start (start excluded), so its size is the
// number of segments; empty when the goal cannot be reached.
// Cost: O(N + V (d + O log O)) time, V nodes expanded (≤ N), d their links, O the open list;
// O(N) memory.
void FindNetworkPath(World& world, std::vector<TAgent*>& result, TAgent& start, TAgent& goal);

}  // namespace veltmoor
