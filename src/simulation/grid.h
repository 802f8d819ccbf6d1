// Dense grids indexed [column][row] like the world's cell grids, stored row by row so the
// program's row-outer scans walk memory in order.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace veltmoor {

template <typename T>
class Grid2D {
 public:
  Grid2D() = default;
  Grid2D(int columns, int rows) { Resize(columns, rows); }

  void Resize(int columns, int rows) {
    columns_ = columns < 0 ? 0 : columns;
    rows_ = rows < 0 ? 0 : rows;
    cells_.assign(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_), T{});
  }
  void Clear() {
    cells_.clear();
    cells_.shrink_to_fit();
    columns_ = rows_ = 0;
  }

  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  bool Empty() const { return cells_.empty(); }

  T& operator()(int column, int row) { return cells_[Index(column, row)]; }
  const T& operator()(int column, int row) const { return cells_[Index(column, row)]; }

  // Where a cell of this grid lies; `cell` must be one of this grid's own.
  std::size_t IndexOf(const T& cell) const {
    assert(!cells_.empty() && &cell >= cells_.data() && &cell < cells_.data() + cells_.size());
    return static_cast<std::size_t>(&cell - cells_.data());
  }
  int ColumnOf(const T& cell) const {
    return static_cast<int>(IndexOf(cell) % static_cast<std::size_t>(columns_));
  }
  int RowOf(const T& cell) const {
    return static_cast<int>(IndexOf(cell) / static_cast<std::size_t>(columns_));
  }

  // Row by row, columns inner: the program's scan order.
  std::vector<T>& Cells() { return cells_; }
  const std::vector<T>& Cells() const { return cells_; }

 private:
  std::size_t Index(int column, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(column);
  }

  int columns_ = 0;
  int rows_ = 0;
  std::vector<T> cells_;
};

// Three-dimensional array of counts, [a][b][k], used for the tile counts of the fine grid.
class TDreierArray {
 public:
  void Resize(int n1, int n2, int n3) {
    n1_ = n1;
    n2_ = n2;
    n3_ = n3;
    values_.assign(static_cast<std::size_t>(n1) * n2 * n3, 0);
  }
  std::uint32_t& operator()(int a, int b, int k) { return values_[Index(a, b, k)]; }
  std::uint32_t operator()(int a, int b, int k) const { return values_[Index(a, b, k)]; }
  int Size1() const { return n1_; }
  int Size2() const { return n2_; }
  int Size3() const { return n3_; }

 private:
  std::size_t Index(int a, int b, int k) const {
    return (static_cast<std::size_t>(a) * n2_ + b) * n3_ + k;
  }
  int n1_ = 0;
  int n2_ = 0;
  int n3_ = 0;
  std::vector<std::uint32_t> values_;
};

}  // namespace veltmoor
