// The grid of the connectivity table window: the hop distance of every pair of nodes with
// the row sums and the per-node measures beside it. Cell texts are made when a view asks
// for them, so a network of thousands of nodes does not hold millions of strings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "simulation/path_table.h"

namespace veltmoor {

class ConnectivityTableModel {
 public:
  // The grid's size before it is first filled.
  static constexpr int kDesignColumns = 15;
  static constexpr int kDesignRows = 14;

  int ColumnCount() const { return columns_; }
  int RowCount() const { return rows_; }
  // The text of a cell, "" for a cell nothing wrote or outside the grid.
  std::string Cell(int column, int row) const;
  std::uint64_t ChangeCount() const { return changes_; }

  // Nodes listed by the last fill, and their measures (0 for an index outside them).
  int NodeRows() const { return static_cast<int>(rows_of_nodes_.size()); }
  std::uint64_t RowSum(int node) const;
  double ML(int node) const;
  std::string MLText(int node) const { return Cell(NodeRows() + 2, node + 1); }
  double Loc(int node) const;
  double ScaledValue(int node) const;
  std::uint64_t Total() const { return total_; }
  double MeanLength() const { return mean_length_; }

  // Starts a fill for node_count nodes: N + 5 columns, N + 2 rows, the header texts, and
  // the hop cells read from `paths` (which must stay alive until ClearHopCells) for the
  // nodes it covers.
  void Begin(int node_count, const PathTable& paths);
  void SetNodeRow(int node, std::uint64_t row_sum, double ml, double loc);
  void SetTotals(std::uint64_t total, double mean_length);
  void SetScaledValue(int node, double value);
  // Blanks the distance cells and forgets the path table; headers and measures stay.
  void ClearHopCells();

 private:
  struct NodeRow {
    std::uint64_t sum = 0;
    double ml = 0.0;
    double loc = 0.0;
    double scaled = 0.0;
    bool measures_written = false;
    bool scaled_written = false;
  };

  std::string HeaderCell(int column) const;
  std::string NodeCell(int column, int node) const;
  std::string TotalsCell(int column) const;
  const NodeRow* RowOf(int node) const;

  int columns_ = kDesignColumns;
  int rows_ = kDesignRows;
  bool filled_ = false;
  std::vector<NodeRow> rows_of_nodes_;
  const PathTable* paths_ = nullptr;
  int hop_nodes_ = 0;  // nodes whose distances the path table holds
  std::uint64_t total_ = 0;
  double mean_length_ = 0.0;
  bool totals_written_ = false;
  std::uint64_t changes_ = 0;
};

}  // namespace veltmoor
