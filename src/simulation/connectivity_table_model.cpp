#include "simulation/connectivity_table_model.h"

#include <algorithm>

#include "simulation/numbers.h"

namespace veltmoor {

std::string ConnectivityTableModel::Cell(int column, int row) const {
  if (!filled_ || column < 0 || row < 0 || column >= columns_ || row >= rows_) {
    return {};
  }
  const int n = NodeRows();
  if (row == 0) {
    return HeaderCell(column);
  }
  if (row <= n) {
    return NodeCell(column, row - 1);
  }
  return TotalsCell(column);
}

std::string ConnectivityTableModel::HeaderCell(int column) const {
  const int n = NodeRows();
  if (column >= 1 && column <= hop_nodes_) {
    return FormatInt(column - 1);
  }
  if (column == n + 1) {
    return "sum";
  }
  if (column == n + 2) {
    return "ML";
  }
  if (column == n + 3) {
    return "sML";
  }
  if (column == n + 4) {
    return "loc";
  }
  return {};
}

std::string ConnectivityTableModel::NodeCell(int column, int node) const {
  const int n = NodeRows();
  const NodeRow& row = rows_of_nodes_[static_cast<std::size_t>(node)];
  if (column == 0) {
    return FormatInt(node);
  }
  if (column <= n) {
    const int other = column - 1;
    if (paths_ == nullptr || node >= hop_nodes_ || other >= hop_nodes_) {
      return {};
    }
    return FormatInt(paths_->HopCount(node, other));
  }
  if (column == n + 3) {
    return row.scaled_written ? FormatNumber(row.scaled) : std::string();
  }
  if (!row.measures_written) {
    return {};
  }
  if (column == n + 1) {
    return FormatInt(static_cast<long long>(row.sum));
  }
  if (column == n + 2) {
    return FormatNumber(row.ml);
  }
  return FormatNumber(row.loc);  // column n + 4
}

std::string ConnectivityTableModel::TotalsCell(int column) const {
  const int n = NodeRows();
  if (!totals_written_) {
    return {};
  }
  if (column == n + 1) {
    return FormatInt(static_cast<long long>(total_));
  }
  if (column == n + 2) {
    return FormatNumber(mean_length_);
  }
  return {};
}

const ConnectivityTableModel::NodeRow* ConnectivityTableModel::RowOf(int node) const {
  if (node < 0 || node >= NodeRows()) {
    return nullptr;
  }
  return &rows_of_nodes_[static_cast<std::size_t>(node)];
}

std::uint64_t ConnectivityTableModel::RowSum(int node) const {
  const NodeRow* row = RowOf(node);
  return row ? row->sum : 0;
}

double ConnectivityTableModel::ML(int node) const {
  const NodeRow* row = RowOf(node);
  return row ? row->ml : 0.0;
}

double ConnectivityTableModel::Loc(int node) const {
  const NodeRow* row = RowOf(node);
  return row ? row->loc : 0.0;
}

double ConnectivityTableModel::ScaledValue(int node) const {
  const NodeRow* row = RowOf(node);
  return row ? row->scaled : 0.0;
}

void ConnectivityTableModel::Begin(int node_count, const PathTable& paths) {
  const int n = std::max(node_count, 0);
  filled_ = true;
  columns_ = n + 5;
  rows_ = n + 2;
  rows_of_nodes_.assign(static_cast<std::size_t>(n), NodeRow{});
  paths_ = &paths;
  // Nodes made after the last path computation have no distances yet.
  hop_nodes_ = std::min(paths.NodeCount(), n);
  total_ = 0;
  mean_length_ = 0.0;
  totals_written_ = false;
  ++changes_;
}

void ConnectivityTableModel::SetNodeRow(int node, std::uint64_t row_sum, double ml, double loc) {
  if (node < 0 || node >= NodeRows()) {
    return;
  }
  NodeRow& row = rows_of_nodes_[static_cast<std::size_t>(node)];
  row.sum = row_sum;
  row.ml = ml;
  row.loc = loc;
  row.measures_written = true;
  ++changes_;
}

void ConnectivityTableModel::SetTotals(std::uint64_t total, double mean_length) {
  total_ = total;
  mean_length_ = mean_length;
  totals_written_ = true;
  ++changes_;
}

void ConnectivityTableModel::SetScaledValue(int node, double value) {
  if (node < 0 || node >= NodeRows()) {
    return;
  }
  NodeRow& row = rows_of_nodes_[static_cast<std::size_t>(node)];
  row.scaled = value;
  row.scaled_written = true;
  ++changes_;
}

void ConnectivityTableModel::ClearHopCells() {
  paths_ = nullptr;
  ++changes_;
}

}  // namespace veltmoor
