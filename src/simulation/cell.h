// The cells of the two land-use grids: TCell for a coarse cell, TFineCell for one of the nine
// fine cells inside it. Neither stores where it lies: its column, row, pixel centre and
// drawn size follow from its place in its grid (World::ColumnOf, CentreX, DrawCell), which
// keeps a fine cell at 20 bytes for towns of tens of millions of fine cells.
#pragma once

#include <cstdint>

#include "display/canvas.h"

namespace veltmoor {

// Network State of a coarse cell. The codes are the numbers world.json stores.
enum class CellState : std::uint8_t {
  kStateFree = 0,
  kStateNode = 1,
  kStateNextToNode = 2,
  kStateCandidate = 3,
};
using enum CellState;

// LandUse of a fine cell (a coarse cell only ever holds 0 or 2).
enum class LandUseCode : std::uint8_t { kLandFree = 0, kLandStreet = 1, kLandDeveloped = 2 };
using enum LandUseCode;

// SubState of a fine cell.
enum class SubStateCode : std::uint8_t {
  kSubNone = 0,
  kSubStreet = 1,
  kSubBuild = 2,
  kSubOpen = 3,
};
using enum SubStateCode;

// The number a code is stored and shown as.
template <typename Code>
constexpr int CodeNumber(Code code) {
  return static_cast<int>(code);
}

// A coarse cell of CellGrid.
struct TCell {
  Colour Color = 0;
  float Potential = 0.0f;
  // A right click counts past nine, so this one is not bounded by the nine fine cells.
  std::int32_t DevelopedCount = 0;
  std::int32_t NodeIndex = 0;  // valid while State is kStateNode
  std::uint8_t StreetCount = 0;
  std::uint8_t IsDevelopedCount = 0;
  CellState State = kStateFree;
  LandUseCode LandUse = kLandFree;
};

// A fine cell of FineGrid.
struct TFineCell {
  Colour Color = 0;
  // Its coarse cell's potential as of the last spread to the fine grid.
  float Potential = 0.0f;
  std::int32_t ClusterIndex = 0;
  // Kept from the last labelling that found the cell in a cluster.
  std::int32_t ClusterSize = 0;
  LandUseCode LandUse = kLandFree;
  SubStateCode SubState = kSubNone;
  bool IsDeveloped = false;
  bool ClusterVisited = false;
};

static_assert(sizeof(TCell) == 20);
static_assert(sizeof(TFineCell) == 20);

// Paints a cell as the filled square of 2 * size pixels around (x, y) in `colour`.
void DrawCellSquare(Canvas& canvas, Colour colour, int x, int y, int size);

}  // namespace veltmoor
