// TEdge: one street segment seen as an edge, with its midpoint and length, as the radial
// analysis counts them.
#pragma once

#include <cstdint>

namespace veltmoor {

struct TEdge {
  std::int32_t NodeA = 0;  // the smaller NodeList index
  std::int32_t NodeB = 0;
  std::int32_t MidX = 0;
  std::int32_t MidY = 0;
  float Length = 0.0f;
};

}  // namespace veltmoor
