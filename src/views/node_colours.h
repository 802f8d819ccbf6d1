// Nodes coloured by a measure an analysis took: the colour on the gradient bar that the
// scaled value points at, drawn on the node layer at once.
#pragma once

#include <vector>

#include "simulation/map_layers.h"
#include "simulation/world.h"

namespace veltmoor {

// Gives node i the gradient colour of scaled[i] (0..1; beyond it the bar's nearer end) and
// redraws it; nodes without a value keep their colour.
void ColourNodesOnGradient(World& world, const MapLayers& map, const std::vector<double>& scaled);

}  // namespace veltmoor
