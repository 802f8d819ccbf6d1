// What a time step needs to find its candidates without rescanning the grids: which fine
// cells are free and which of them touch used land, and which cells are candidate sites of
// the network. Both are kept up to date as cells change; a step visits only the set bits, in
// the grids' scan order, so the random draws that follow that order stay the same.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "simulation/cell.h"
#include "simulation/grid.h"

namespace veltmoor {

// One bit per cell of a grid, row by row like Grid2D, so the set bits come out in scan order.
// A second level marks the words that hold any set bit, so a walk over a sparse grid skips
// 4096 empty cells at a time.
class BitGrid {
 public:
  void Resize(int columns, int rows);  // every bit clear
  void Clear();                        // frees the memory

  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  bool Empty() const { return words_.empty(); }
  // Same shape and the same bits set.
  bool operator==(const BitGrid& other) const {
    return columns_ == other.columns_ && rows_ == other.rows_ && words_ == other.words_;
  }

  std::size_t Index(int column, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(column);
  }
  bool Test(std::size_t index) const { return (words_[index / 64] >> (index % 64)) & 1u; }
  bool Test(int column, int row) const { return Test(Index(column, row)); }
  void Assign(std::size_t index, bool on);
  void Assign(int column, int row, bool on) { Assign(Index(column, row), on); }

  // Calls visit(index) for every set bit, in increasing index.
  template <typename Visit>
  void ForEachSet(Visit visit) const {
    ForEachUsedWord([&visit](std::size_t w, std::uint64_t bits) {
      for (; bits != 0; bits &= bits - 1) {
        visit(w * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
      }
    });
  }
  // Calls visit(first, count) for every run of consecutive set bits within a word, in
  // increasing index: whole words of free land come as one run of 64.
  template <typename Visit>
  void ForEachRun(Visit visit) const {
    ForEachUsedWord([&visit](std::size_t w, std::uint64_t bits) {
      while (bits != 0) {
        const int start = std::countr_zero(bits);
        const int length = std::countr_one(bits >> start);
        visit(w * 64 + static_cast<std::size_t>(start), static_cast<std::size_t>(length));
        bits = length + start >= 64 ? 0 : bits & (~std::uint64_t{0} << (start + length));
      }
    });
  }

 private:
  template <typename Visit>
  void ForEachUsedWord(Visit visit) const {
    for (std::size_t s = 0; s < summary_.size(); ++s) {
      for (std::uint64_t used = summary_[s]; used != 0; used &= used - 1) {
        const std::size_t w = s * 64 + static_cast<std::size_t>(std::countr_zero(used));
        visit(w, words_[w]);
      }
    }
  }

  int columns_ = 0;
  int rows_ = 0;
  std::vector<std::uint64_t> words_;
  std::vector<std::uint64_t> summary_;  // bit w: words_[w] is not zero
};

// Fine cells in scan order, held either as the cells themselves or as the set bits of a
// BitGrid over the fine grid. "Every free fine cell" is of the second kind, so a town of
// millions of fine cells does not keep a pointer per free cell. A list of marks shows the
// bits as they are when it is read, so it is read before any land changes again.
class FineCellList {
 public:
  FineCellList() = default;
  FineCellList(std::initializer_list<TFineCell*> cells) : cells_(cells) {}
  FineCellList& operator=(std::initializer_list<TFineCell*> cells) {
    clear();
    cells_ = cells;
    return *this;
  }

  void clear() {
    cells_.clear();
    marked_ = nullptr;
    grid_ = nullptr;
    markedCount_ = 0;
  }
  void push_back(TFineCell* cell) { cells_.push_back(cell); }
  // The list becomes the cells of `grid` whose bits are set in `marked`, `count` of them.
  void ShowMarked(const BitGrid& marked, std::size_t count, std::vector<TFineCell>& grid) {
    clear();
    marked_ = &marked;
    grid_ = &grid;
    markedCount_ = count;
  }

  std::size_t size() const { return marked_ != nullptr ? markedCount_ : cells_.size(); }
  bool empty() const { return size() == 0; }

  // Calls visit(TFineCell&) for every cell in order.
  template <typename Visit>
  void ForEach(Visit visit) const {
    if (marked_ != nullptr) {
      std::vector<TFineCell>& grid = *grid_;
      marked_->ForEachSet([&grid, &visit](std::size_t index) { visit(grid[index]); });
      return;
    }
    for (TFineCell* cell : cells_) {
      visit(*cell);
    }
  }
  // Calls visit(first, count) for runs of cells that lie one after another in the grid,
  // in order; a list of cells comes one cell at a time.
  template <typename Visit>
  void ForEachRun(Visit visit) const {
    if (marked_ != nullptr) {
      TFineCell* grid = grid_->data();
      marked_->ForEachRun(
          [grid, &visit](std::size_t first, std::size_t count) { visit(grid + first, count); });
      return;
    }
    for (TFineCell* cell : cells_) {
      visit(cell, std::size_t{1});
    }
  }

 private:
  std::vector<TFineCell*> cells_;
  const BitGrid* marked_ = nullptr;
  std::vector<TFineCell>* grid_ = nullptr;
  std::size_t markedCount_ = 0;
};

// The free fine cells, and among them the frontier: free fine cells with a street or
// developed fine cell among their four neighbours. Only frontier cells can be HWM
// candidates. Also the developed fine cells, the only ones the building rules change.
// Built from the grid when first needed, then kept up to date by World::SetFineLandUse.
class FineFrontier {
 public:
  bool Built() const { return built_; }
  void Build(const Grid2D<TFineCell>& fine);
  // Forgets everything; the next Build starts from the grid again.
  void Reset();

  // The fine cell at (column, row) took this land use.
  void Update(int column, int row, LandUseCode landUse);

  std::size_t FreeCount() const { return freeCount_; }
  const BitGrid& Free() const { return free_; }
  const BitGrid& Frontier() const { return frontier_; }
  const BitGrid& Developed() const { return developed_; }
  // Whether both know the same free, frontier and developed cells.
  bool SameCells(const FineFrontier& other) const {
    return built_ == other.built_ && freeCount_ == other.freeCount_ && free_ == other.free_ &&
           frontier_ == other.frontier_ && developed_ == other.developed_;
  }

 private:
  void Refresh(int column, int row);

  bool built_ = false;
  std::size_t freeCount_ = 0;
  BitGrid free_;
  BitGrid frontier_;
  BitGrid developed_;
};

// The candidate sites (State 3) of the cell grid, valid while Trusted: then every cell's
// State follows from the node cells alone (2 within one cell of a node, 3 at two cells, 0
// further out), which lets a new node re-classify only the cells around it. A world read
// from a file is trusted only once a full classification has shown it so.
struct CandidateSites {
  bool Trusted = false;
  BitGrid Candidates;

  void Reset() {
    Trusted = false;
    Candidates.Clear();
  }
};

}  // namespace veltmoor
