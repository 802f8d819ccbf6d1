// Output models of a window that are not charts: label texts and the value list. Analyses
// write them; views show them and repaint when the change counter moves.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace veltmoor {

class Labels {
 public:
  void Set(const std::string& name, std::string text);
  // The text of a label, or "" for a label never written.
  std::string Get(const std::string& name) const;
  // Where a label has moved (Lbl_half follows the colour exponent); -1 if it never moved.
  void SetTop(const std::string& name, int top);
  int Top(const std::string& name) const;
  const std::map<std::string, std::string>& All() const { return texts_; }
  std::uint64_t ChangeCount() const { return changes_; }

 private:
  std::map<std::string, std::string> texts_;
  std::map<std::string, int> tops_;
  std::uint64_t changes_ = 0;
};

// Key/value rows in display order; keys may repeat (headings, empty rows).
class ValueList {
 public:
  void AddRow(std::string key, std::string value);
  // Writes the value of the first row with this key; a key with no row throws
  // std::logic_error.
  void SetValue(const std::string& key, std::string value);
  // The value of the first row with this key, or "" when there is none.
  std::string Value(const std::string& key) const;
  const std::vector<std::pair<std::string, std::string>>& Rows() const { return rows_; }
  std::uint64_t ChangeCount() const { return changes_; }

 private:
  std::vector<std::pair<std::string, std::string>> rows_;
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
