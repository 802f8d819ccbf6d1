#include "views/node_colours.h"

#include <algorithm>

#include "simulation/colour_scale.h"

namespace veltmoor {

void ColourNodesOnGradient(World& world, const MapLayers& map, const std::vector<double>& scaled) {
  const std::size_t count = std::min(scaled.size(), world.NodeList.size());
  for (std::size_t i = 0; i < count; ++i) {
    TAgent& node = world.Node(i);
    node.Color = GradientColourAt(scaled[i]);
    if (map.AgentImage) {
      node.DrawNode(*map.AgentImage);
    }
  }
}

}  // namespace veltmoor
