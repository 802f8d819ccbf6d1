// The simulated town: grids, street network, candidate lists and counters. Built only by
// NewSetup and freed only by ClearWorld; what the map shows of it lives in MapLayers.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "display/canvas.h"
#include "simulation/agent.h"
#include "simulation/candidate_bookkeeping.h"
#include "simulation/cell.h"
#include "simulation/edge.h"
#include "simulation/grid.h"
#include "simulation/path_table.h"

namespace veltmoor {

enum FieldTypeCode : std::uint8_t {
  kFieldStopped = 0,
  kFieldNetworkOnly = 1,
  kFieldBoom = 2,
  kFieldInterlink = 3,
  kFieldCluster = 4,
};

// Sums over the 3 x 3 coarse cells around one node, made by the structure analysis.
struct NodeNeighbourhood {
  std::int32_t DevelopedSum = 0;
  std::int32_t StreetSum = 0;
  std::int32_t IsDevelopedSum = 0;
  std::int32_t DevelopedStreetSum = 0;
  float PotentialSum = 0.0f;
};

struct World {
  // Grid geometry.
  std::int32_t CellSize = 0;
  std::int32_t ColumnCount = 0;
  std::int32_t RowCount = 0;

  Grid2D<TCell> CellGrid;
  Grid2D<TFineCell> FineGrid;
  Grid2D<float> PotentialGrid;

  // Nodes live behind pointers so references held by searches stay valid as the list grows.
  std::vector<std::unique_ptr<TAgent>> NodeList;
  std::vector<TCell*> CandidateList;
  FineCellList HwmCandidateList;
  FineCellList ClusterCandidateList;
  // Kept up to date as cells change, so the lists above are found without rescanning;
  // KeptFrontier builds it first where it is not built for this grid.
  FineFrontier Frontier;
  CandidateSites Sites;
  // Benchmarks and tests set this to find every candidate list by rescanning the grids, the
  // yardstick the bookkeeping above is measured and checked against.
  bool RescanGrids = false;
  // One TEdge per linked pair (a, b), a < b, keyed by the pair.
  std::map<std::pair<std::int32_t, std::int32_t>, TEdge> EdgeMatrix;
  // Hop distance and first-discoverer parent of every ordered pair of nodes, filled by
  // ComputeAllPaths; a pair's path list is rebuilt from it on demand.
  PathTable PathMatrix;

  std::uint32_t NodeCount = 0;
  std::uint32_t EdgeCount = 0;
  std::uint32_t TimeStep = 0;
  std::int32_t AnalysisCountdown = 0;
  std::uint8_t FieldType = kFieldStopped;

  double MeanLength = 0.0;
  std::array<std::uint32_t, 2> FineCellTotals{0, 0};
  // One record per node, in NodeList order, from the last structure analysis.
  std::vector<NodeNeighbourhood> NodeNeighbourhoods;
  // Sizes of the clusters found by the last cluster labelling, largest first.
  std::vector<int> ClusterSizes;
  double ColourExponent = 1.0;

  // Between a NewSetup and the next ClearWorld; a world read from a file or imported is set
  // up first too. The map layers say nothing about it.
  bool Exists() const { return Created; }
  bool Created = false;

  bool InGrid(int column, int row) const {
    return column >= 0 && column <= ColumnCount - 1 && row >= 0 && row <= RowCount - 1;
  }
  bool InFineGrid(int column, int row) const {
    return column >= 0 && column <= 3 * ColumnCount - 1 && row >= 0 && row <= 3 * RowCount - 1;
  }

  TAgent& Node(std::size_t index) { return *NodeList[index]; }
  const TAgent& Node(std::size_t index) const { return *NodeList[index]; }

  // Pixel and cell conversions.
  int PixelToColumn(int x) const;
  int PixelToRow(int y) const;
  int PixelToFineColumn(int x) const;
  int PixelToFineRow(int y) const;
  int CellCentre(int index) const;  // centre x of a column, or centre y of a row
  // Centre offset of fine cell d in {-1, 0, 1} from its coarse cell's centre.
  int FineOffset(int d) const;
  TCell& CoarseOfFine(const TFineCell& fine) {
    return CellGrid(ColumnOf(fine) / 3, RowOf(fine) / 3);
  }
  TFineCell& FineOfNode(const TAgent& node) {
    return FineGrid(3 * node.Column + 1, 3 * node.Row + 1);
  }

  // Where a cell of CellGrid or FineGrid lies: its indices, and its pixel centre.
  int ColumnOf(const TCell& cell) const { return CellGrid.ColumnOf(cell); }
  int RowOf(const TCell& cell) const { return CellGrid.RowOf(cell); }
  int ColumnOf(const TFineCell& fine) const { return FineGrid.ColumnOf(fine); }
  int RowOf(const TFineCell& fine) const { return FineGrid.RowOf(fine); }
  int CentreX(const TCell& cell) const { return CellCentre(ColumnOf(cell)); }
  int CentreY(const TCell& cell) const { return CellCentre(RowOf(cell)); }
  int CentreX(const TFineCell& fine) const { return FineCentre(ColumnOf(fine)); }
  int CentreY(const TFineCell& fine) const { return FineCentre(RowOf(fine)); }
  // Centre x of a fine column, or centre y of a fine row.
  int FineCentre(int fineIndex) const;

  // Paints a cell of CellGrid (MapImage) or FineGrid (FineImage) as its square in its Color:
  // Floor(CellSize / 2) pixels from the centre for a cell, Floor(CellSize / 2 / 3) for a
  // fine cell.
  void DrawCell(Canvas& canvas, const TCell& cell) const;
  void DrawCell(Canvas& canvas, const TFineCell& fine) const;

  // The one way a fine cell's LandUse changes during a run, so the frontier follows it.
  void SetFineLandUse(TFineCell& fine, LandUseCode landUse);
  FineFrontier& KeptFrontier();
  // Whether the kept frontier, if any, equals one built afresh from the grid: false when a
  // land use changed around SetFineLandUse. A full scan, for debug-build checks.
  bool FrontierMatchesGrid() const;
};

}  // namespace veltmoor
