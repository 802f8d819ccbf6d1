// Output models of a window that are not charts: label texts and the value list. Analyses
// write them; views show them and repaint when the change counter moves.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "io/typed_name.h"

namespace veltmoor {

using LabelName = TypedName<struct LabelNameKind>;
using ValueKey = TypedName<struct ValueKeyKind>;

// The labels of one window. A window registers the labels it shows; reading or writing any
// other name is a programming error and throws std::logic_error, so a label cannot be
// written where no view will ever show it.
class Labels {
 public:
  void Register(LabelName name);
  bool IsRegistered(LabelName name) const;
  void Set(LabelName name, std::string text);
  // The text of a label, or "" for a label never written.
  std::string Get(LabelName name) const;
  // Where a label has moved (Lbl_half follows the colour exponent); -1 if it never moved.
  void SetTop(LabelName name, int top);
  int Top(LabelName name) const;
  // The texts written so far, by label name.
  const std::map<std::string, std::string, std::less<>>& All() const { return texts_; }
  std::uint64_t ChangeCount() const { return changes_; }

 private:
  void Check(LabelName name) const;

  std::vector<LabelName> registered_;
  std::map<std::string, std::string, std::less<>> texts_;
  std::map<std::string, int, std::less<>> tops_;
  std::uint64_t changes_ = 0;
};

// Key/value rows in display order; keys may repeat (headings, empty rows).
class ValueList {
 public:
  void AddRow(std::string key, std::string value);
  // Writes the text of the first row with this key, which then holds no number ("-" for a
  // measure not taken); a key with no row throws std::logic_error.
  void SetValue(ValueKey key, std::string value);
  // Writes a measure: the text shown, made from `number`, and the number itself at full
  // precision, so that readers never parse the rounded text back.
  void SetValue(ValueKey key, std::string value, double number);
  // The text of the first row with this key; a key with no row throws std::logic_error.
  std::string Value(ValueKey key) const;
  // The number the first row with this key was written from, if any.
  std::optional<double> Number(ValueKey key) const;
  const std::vector<std::pair<std::string, std::string>>& Rows() const { return rows_; }
  // One entry per row, beside Rows(): the number its text was made from.
  const std::vector<std::optional<double>>& Numbers() const { return numbers_; }
  std::uint64_t ChangeCount() const { return changes_; }

 private:
  std::size_t RowOf(ValueKey key) const;

  std::vector<std::pair<std::string, std::string>> rows_;
  std::vector<std::optional<double>> numbers_;
  std::uint64_t changes_ = 0;
};

// A grid of texts addressed (column, row) like a string grid control; it grows to take any
// cell written.
class TextGrid {
 public:
  void SetCell(int column, int row, std::string text);
  std::string Cell(int column, int row) const;  // "" where nothing was written
  int ColumnCount() const { return columns_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  void Clear();
  std::uint64_t ChangeCount() const { return changes_; }

 private:
  std::vector<std::vector<std::string>> rows_;
  int columns_ = 0;
  std::uint64_t changes_ = 0;
};

}  // namespace veltmoor
