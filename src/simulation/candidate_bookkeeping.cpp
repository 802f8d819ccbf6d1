#include "simulation/candidate_bookkeeping.h"

namespace veltmoor {

void BitGrid::Resize(int columns, int rows) {
  columns_ = columns < 0 ? 0 : columns;
  rows_ = rows < 0 ? 0 : rows;
  const std::size_t bits = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_);
  const std::size_t words = (bits + 63) / 64;
  words_.assign(words, 0);
  summary_.assign((words + 63) / 64, 0);
}

void BitGrid::Clear() {
  columns_ = rows_ = 0;
  words_.clear();
  words_.shrink_to_fit();
  summary_.clear();
  summary_.shrink_to_fit();
}

void BitGrid::Assign(std::size_t index, bool on) {
  const std::size_t w = index / 64;
  const std::uint64_t bit = std::uint64_t{1} << (index % 64);
  std::uint64_t& word = words_[w];
  word = on ? (word | bit) : (word & ~bit);
  const std::uint64_t used = std::uint64_t{1} << (w % 64);
  std::uint64_t& summary = summary_[w / 64];
  summary = word != 0 ? (summary | used) : (summary & ~used);
}

void FineFrontier::Build(const Grid2D<TFineCell>& fine) {
  const int columns = fine.Columns();
  const int rows = fine.Rows();
  free_.Resize(columns, rows);
  frontier_.Resize(columns, rows);
  developed_.Resize(columns, rows);
  freeCount_ = 0;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const LandUseCode landUse = fine(c, r).LandUse;
      if (landUse == kLandFree) {
        free_.Assign(c, r, true);
        ++freeCount_;
      } else if (landUse == kLandDeveloped) {
        developed_.Assign(c, r, true);
      }
    }
  }
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      Refresh(c, r);
    }
  }
  built_ = true;
}

void FineFrontier::Reset() {
  built_ = false;
  freeCount_ = 0;
  free_.Clear();
  frontier_.Clear();
  developed_.Clear();
}

void FineFrontier::Update(int column, int row, LandUseCode landUse) {
  developed_.Assign(column, row, landUse == kLandDeveloped);
  const bool free = landUse == kLandFree;
  if (free_.Test(column, row) == free) {
    return;  // street over developed land: still used, nothing around it changes
  }
  free_.Assign(column, row, free);
  freeCount_ = free ? freeCount_ + 1 : freeCount_ - 1;
  Refresh(column, row);
  if (row > 0) {
    Refresh(column, row - 1);
  }
  if (row + 1 < free_.Rows()) {
    Refresh(column, row + 1);
  }
  if (column > 0) {
    Refresh(column - 1, row);
  }
  if (column + 1 < free_.Columns()) {
    Refresh(column + 1, row);
  }
}

void FineFrontier::Refresh(int column, int row) {
  bool touchesUsedLand = false;
  if (free_.Test(column, row)) {
    touchesUsedLand = (row > 0 && !free_.Test(column, row - 1)) ||
                      (row + 1 < free_.Rows() && !free_.Test(column, row + 1)) ||
                      (column > 0 && !free_.Test(column - 1, row)) ||
                      (column + 1 < free_.Columns() && !free_.Test(column + 1, row));
  }
  frontier_.Assign(column, row, touchesUsedLand);
}

}  // namespace veltmoor
