// TCell: one coarse or fine cell of the land-use grids.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "display/canvas.h"

namespace veltmoor {

// Network State of a coarse cell.
enum CellState : std::int32_t {
  kStateFree = 0,
  kStateNode = 1,
  kStateNextToNode = 2,
  kStateCandidate = 3,
};

// LandUse of a fine cell (a coarse cell only ever holds 0 or 2).
enum LandUseCode : std::int32_t { kLandFree = 0, kLandStreet = 1, kLandDeveloped = 2 };

// SubState of a fine cell.
enum SubStateCode : std::int32_t {
  kSubNone = 0,
  kSubStreet = 1,
  kSubBuild = 2,
  kSubOpen = 3,
};

class TCell {
 public:
  TCell() = default;
  TCell(int x, int y, int size, int fillColor) : X(x), Y(y), Size(size), FillColor(fillColor) {}

  // Paints the cell as a filled square of 2 * Size pixels in Color.
  void DrawCell(Canvas& canvas) const;

  Colour Color = 0;
  float Potential = 0.0f;
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::int32_t Column = 0;
  std::int32_t Row = 0;
  std::int32_t DevelopedCount = 0;
  std::int32_t StreetCount = 0;
  std::int32_t IsDevelopedCount = 0;
  bool IsDeveloped = false;
  bool ClusterVisited = false;
  std::int32_t ClusterIndex = 0;
  std::int32_t ClusterSize = 0;
  std::vector<std::pair<std::int32_t, std::int32_t>> ClusterLinks;
  std::int32_t NodeIndex = 0;
  std::int32_t Size = 0;
  std::int32_t FillColor = 0;
  std::int32_t State = kStateFree;
  std::int32_t LandUse = kLandFree;
  std::int32_t SubState = kSubNone;
};

}  // namespace veltmoor
