// The grids a world file holds: each grid's key, whether it is coarse or fine, the range
// of its values, and where a value goes in the world's cells.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "simulation/internal/world_json_values.h"
#include "simulation/world_json.h"

namespace veltmoor::world_json {

enum class ValueKind : std::uint8_t { kInteger, kFloat, kBool };

struct GridField {
  const char* key;
  bool fine;
  bool required;
  ValueKind kind;
  long long min;
  long long max;
  // Stores `count` columns from `first` on, gathered column after column in `values`.
  using Store = void (*)(WorldDocument& doc, const double* values, std::size_t first,
                         std::size_t count);
  Store store;
  // Sets a cell of a grid the file leaves out, from the grids read; null: left as it is.
  void (*fallback)(WorldDocument& doc, std::size_t index);
};

inline constexpr std::size_t kGridCount = 13;

// In the order they are checked and fallen back on: a fallback reads only grids above it.
extern const std::array<GridField, kGridCount> kGrids;

// Null when `key` names no grid.
const GridField* FindGrid(const std::string& key);

// The value of one grid cell, checked; booleans as 0 or 1.
template <typename What>
double GridValue(const GridField& field, const Scalar& v, const What& where) {
  switch (field.kind) {
    case ValueKind::kFloat:
      return CheckFloat(v, where);
    case ValueKind::kBool:
      if (v.kind != Scalar::Kind::kBool) {
        Fail(where() + " must be true or false");
      }
      return v.boolean ? 1.0 : 0.0;
    case ValueKind::kInteger:
      break;
  }
  return static_cast<double>(CheckInteger(v, field.min, field.max, where));
}

}  // namespace veltmoor::world_json
