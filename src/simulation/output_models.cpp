#include "simulation/output_models.h"

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
}

std::string ValueList::Value(const std::string& key) const {
  for (const auto& row : rows_) {
    if (row.first == key) {
      return row.second;
    }
  }
  return {};
}

}  // namespace veltmoor
