// TAgent: one node of the street network, with the street segments that end at it.
#pragma once

#include <cstdint>
#include <vector>

#include "display/canvas.h"

namespace veltmoor {

struct LinkEntry {
  std::int32_t OtherNode = 0;  // NodeList index of the node at the other end
  std::int32_t Length = 0;     // PixelDistance between the two node centres
};

class TAgent {
 public:
  // Disc of Radius in Color with a green outline; the pen width is left as the caller set it.
  void DrawNode(Canvas& canvas) const;

  // Work fields of the A* street search.
  std::int32_t Estimate = 0;
  std::int32_t Cost = 0;
  std::int32_t Heuristic = 0;
  TAgent* Parent = nullptr;
  bool Closed = false;

  std::vector<LinkEntry> Links;  // in creation order
  float Measure = 0.0f;
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::int32_t Column = 0;
  std::int32_t Row = 0;
  std::int32_t Radius = 0;
  Colour Color = colours::kGrey;

  // Work fields of the shortest-path search.
  std::int16_t SearchState = 0;
  std::int32_t HopCount = 0;
};

}  // namespace veltmoor
