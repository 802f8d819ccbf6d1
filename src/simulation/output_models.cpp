#include "simulation/output_models.h"

#include <algorithm>
#include <stdexcept>

namespace veltmoor {

void Labels::Register(LabelName name) {
  if (!IsRegistered(name)) {
    registered_.push_back(name);
  }
}

bool Labels::IsRegistered(LabelName name) const {
  return std::find(registered_.begin(), registered_.end(), name) != registered_.end();
}

void Labels::Check(LabelName name) const {
  if (!IsRegistered(name)) {
    throw std::logic_error("the window has no label '" + name.Str() + "'");
  }
}

void Labels::Set(LabelName name, std::string text) {
  Check(name);
  auto& slot = texts_[name.Str()];
  if (slot != text) {
    slot = std::move(text);
    ++changes_;
  }
}

std::string Labels::Get(LabelName name) const {
  Check(name);
  const auto it = texts_.find(name.View());
  return it == texts_.end() ? std::string() : it->second;
}

void Labels::SetTop(LabelName name, int top) {
  Check(name);
  tops_[name.Str()] = top;
  ++changes_;
}

int Labels::Top(LabelName name) const {
  Check(name);
  const auto it = tops_.find(name.View());
  return it == tops_.end() ? -1 : it->second;
}

void ValueList::AddRow(std::string key, std::string value) {
  rows_.emplace_back(std::move(key), std::move(value));
  numbers_.emplace_back();
  ++changes_;
}

std::size_t ValueList::RowOf(ValueKey key) const {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].first == key.View()) {
      return i;
    }
  }
  // A key without a row would otherwise write a value nobody ever sees.
  throw std::logic_error("the value list has no row '" + key.Str() + "'");
}

void ValueList::SetValue(ValueKey key, std::string value) {
  const std::size_t row = RowOf(key);
  rows_[row].second = std::move(value);
  numbers_[row].reset();
  ++changes_;
}

void ValueList::SetValue(ValueKey key, std::string value, double number) {
  const std::size_t row = RowOf(key);
  rows_[row].second = std::move(value);
  numbers_[row] = number;
  ++changes_;
}

std::string ValueList::Value(ValueKey key) const {
  return rows_[RowOf(key)].second;
}

std::optional<double> ValueList::Number(ValueKey key) const {
  return numbers_[RowOf(key)];
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
