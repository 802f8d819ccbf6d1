// Which fine cells count as developed, the tiling of the fine grid, and the index of
// segregation of developed against undeveloped land.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "simulation/grid.h"
#include "simulation/simulation.h"
#include "simulation/world.h"

namespace veltmoor {

// The index of segregation is taken over an n x n tiling of this n.
inline constexpr int kSegregationTiles = 8;

// Marks IsDeveloped on every fine cell (developed land, and street cells with developed land
// along an edge), counts the marks per coarse cell into IsDevelopedCount and over the whole
// grid into FineCellTotals ([0] not developed, [1] developed).
void ClassifyDevelopedCells(World& world);

// Bounds of n blocks over `lineCount` fine columns (or rows): block k covers the lines
// bounds[k] + 1 .. bounds[k + 1]. n + 1 entries (none for n < 1); every line lies in exactly
// one block.
std::vector<int> TileBounds(int lineCount, int n);

// The IsDeveloped marks of the last classification summed over every top-left corner of the
// fine grid, so that any block's developed cells take four look-ups instead of a scan.
class DevelopedCellSums {
 public:
  explicit DevelopedCellSums(const World& world);

  int Columns() const { return sums_.Columns() - 1; }
  int Rows() const { return sums_.Rows() - 1; }

  // Developed fine cells in columns firstColumn..lastColumn and rows firstRow..lastRow, both
  // ends included; 0 for an empty range (last = first - 1).
  std::uint32_t Developed(int firstColumn, int lastColumn, int firstRow, int lastRow) const;

 private:
  // Entry (c, r): the developed cells in the columns before c and the rows before r.
  Grid2D<std::uint32_t> sums_;
};

// Counts the fine cells of an n x n tiling into counts(column block, row block, k), k = 0
// not developed, 1 developed, from the sums as they stand (no classification).
void CountTiles(const DevelopedCellSums& sums, TDreierArray& counts, int n);
// The same counts in one pass over the fine grid, without the sums' table of 4 bytes per
// fine cell: the cheaper way to a single tiling.
void CountTiles(const World& world, TDreierArray& counts, int n);

// The tiling of a grid classified already: CountTiles, and the 8 x 8 tiling also updates the
// index of segregation.
void PartitionClassifiedGrid(Simulation& sim, const DevelopedCellSums& sums, TDreierArray& counts,
                             int n);

// Classifies afresh, then tiles as PartitionClassifiedGrid does.
void PartitionFineGrid(Simulation& sim, TDreierArray& counts, int n);

// Index of dissimilarity (percent) and the indices of segregation of undeveloped [0] and
// developed [1] land, in extended precision.
struct SegregationResult {
  long double Diss = 0;
  long double Seg[2] = {0, 0};
};

// The indices for the tile counts of the world's last classification; none while all land
// falls in one category, where the shares would divide by zero.
std::optional<SegregationResult> ComputeSegregation(const World& world, const TDreierArray& counts);

// Index of dissimilarity and segregation indices from the tile counts of the last
// classification, into DissimiGrid, "IS_developed_cells" and ser_IS. Leaves the cluster
// marks of every fine cell cleared.
void SegregationIndex(Simulation& sim, const TDreierArray& counts);

// The index of segregation of the periodic analyses: an 8 x 8 tiling of its own.
void PeriodicSegregation(Simulation& sim);

}  // namespace veltmoor
