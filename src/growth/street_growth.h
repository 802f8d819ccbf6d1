// Growing the street network: a new node on the best candidate site, linked to the nearest
// nearby node and, where the network only reaches them by a detour, to further ones; and
// straight streets of evenly spaced nodes between two cells.
#pragma once

#include <vector>

#include "simulation/growth_sink.h"
#include "simulation/world.h"

namespace veltmoor {

// One node on the best candidate site (potential plus weighted noise), linked into the
// network. Switches the step timer off when there is no candidate site.
void GrowNetwork(const GrowthContext& growth);

// Nodes of the State-1 cells in the 5 x 5 block around (column, row), centre excluded,
// column offsets outer.
void CollectNearbyNodes(const World& world, int column, int row, std::vector<TAgent*>& list);

// Links the node of `cell` to the nearest node of `list` (which loses it) and, in field
// types 1 and 3, interlinks it with the rest; redraws the streets.
void LinkNewNode(const GrowthContext& growth, TCell& cell, std::vector<TAgent*>& list);

// A direct segment from n to every node of `list` that the network reaches from n only by
// more than SE_minDist segments, or not at all.
void InterlinkNodes(const GrowthContext& growth, TAgent& n, const std::vector<TAgent*>& list);

// One segment between a and b, recorded at both ends and traced on the fine grid from b to a;
// a node is never linked to itself.
void LinkNodes(const GrowthContext& growth, TAgent& a, TAgent& b);

// A street's direction angle, kept as the whole-number step (columns, rows) whose atan2 it
// is, so that the staircase can compare bearings exactly.
struct StreetDirection {
  int columns = 0;
  int rows = 0;
};

// Marks the four-connected staircase from `current` to `goal` as street.
void TraceStreet(const GrowthContext& growth, TFineCell& current, TFineCell& goal,
                 StreetDirection direction);

// A chain of nodes about SE_strStep cells apart from cell a to cell b.
void BuildStraightStreet(const GrowthContext& growth, TCell& a, TCell& b);

}  // namespace veltmoor
