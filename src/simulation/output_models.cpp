#include "simulation/output_models.h"

#include <algorithm>
#include <stdexcept>

namespace veltmoor {

void Labels::Set(const std::string& name, std::string text) {
  auto& slot = texts_[name];
  if (slot != text) {
    slot = std::move(text);
    ++changes_;
  }
}

std::string Labels::Get(const std::string& name) const {
  const auto it = texts_.find(name);
  return it == texts_.end() ? std::string() : it->second;
}

void Labels::SetTop(const std::string& name, int top) {
  tops_[name] = top;
  ++changes_;
}

int Labels::Top(const std::string& name) const {
  const auto it = tops_.find(name);
  return it == tops_.end() ? -1 : it->second;
}

void ValueList::AddRow(std::string key, std::string value) {
  rows_.emplace_back(std::move(key), std::move(value));
  ++changes_;
}

void ValueList::SetValue(const std::string& key, std::string value) {
  for (auto& row : rows_) {
    if (row.first == key) {
      row.second = std::move(value);
      ++changes_;
      return;
    }
  }
  // A misspelt key would otherwise write a value nobody ever sees.
  throw std::logic_error("the value list has no row '" + key + "'");
}

std::string ValueList::Value(const std::string& key) const {
  for (const auto& row : rows_) {
    if (row.first == key) {
      return row.second;
    }
  }
  return {};
}

void TextGrid::SetCell(int column, int row, std::string text) {
  if (column < 0 || row < 0) {
    return;
  }
  if (row >= RowCount()) {
    rows_.resize(static_cast<std::size_t>(row) + 1);
  }
  auto& cells = rows_[static_cast<std::size_t>(row)];
  if (column >= static_cast<int>(cells.size())) {
    cells.resize(static_cast<std::size_t>(column) + 1);
  }
  columns_ = std::max(columns_, column + 1);
  cells[static_cast<std::size_t>(column)] = std::move(text);
  ++changes_;
}

std::string TextGrid::Cell(int column, int row) const {
  if (row < 0 || row >= RowCount() || column < 0) {
    return {};
  }
  const auto& cells = rows_[static_cast<std::size_t>(row)];
  return column < static_cast<int>(cells.size()) ? cells[static_cast<std::size_t>(column)]
                                                 : std::string();
}

void TextGrid::Clear() {
  rows_.clear();
  columns_ = 0;
  ++changes_;
}

}  // namespace veltmoor
