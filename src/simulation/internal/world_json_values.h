// The checks a world file's values pass on their way in: each names the value only when it
// fails, since a grid of millions of values cannot afford a name for each.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "simulation/world_json.h"

namespace veltmoor::world_json {

inline constexpr long long kMaxPixels = 20000;
inline constexpr long long kMaxCellSize = 1000;
inline constexpr long long kMaxColour = 0xFFFFFF;
inline constexpr long long kMaxInt32 = std::numeric_limits<std::int32_t>::max();
inline constexpr long long kMaxUint32 = std::numeric_limits<std::uint32_t>::max();

[[noreturn]] inline void Fail(const std::string& what) {
  throw WorldFileError(what);
}

std::string Quoted(const std::string& key);
std::string Indexed(std::uint64_t i);
std::string Limit(double value);
std::string RangeText(long long min, long long max);

// One JSON scalar as the parser reports it.
struct Scalar {
  enum class Kind : std::uint8_t { kNull, kBool, kInteger, kUnsigned, kFloat, kString, kOther };
  Kind kind = Kind::kNull;
  std::int64_t integer = 0;
  std::uint64_t unsigned_value = 0;
  double number = 0.0;
  bool boolean = false;
};

inline double AsDouble(const Scalar& v) {
  switch (v.kind) {
    case Scalar::Kind::kInteger:
      return static_cast<double>(v.integer);
    case Scalar::Kind::kUnsigned:
      return static_cast<double>(v.unsigned_value);
    default:
      return v.number;
  }
}

inline bool IsNumber(const Scalar& v) {
  return v.kind == Scalar::Kind::kInteger || v.kind == Scalar::Kind::kUnsigned ||
         v.kind == Scalar::Kind::kFloat;
}

// `what` makes the value's name for the message.
template <typename What>
long long CheckInteger(const Scalar& v, long long min, long long max, const What& what) {
  long long value = 0;
  if (v.kind == Scalar::Kind::kUnsigned &&
      v.unsigned_value <= static_cast<std::uint64_t>(std::numeric_limits<long long>::max())) {
    value = static_cast<long long>(v.unsigned_value);
  } else if (v.kind == Scalar::Kind::kInteger) {
    value = v.integer;
  } else {
    Fail(what() + RangeText(min, max));
  }
  if (value < min || value > max) {
    Fail(what() + RangeText(min, max));
  }
  return value;
}

long long CheckInteger(const Scalar& v, long long min, long long max, const std::string& what);

template <typename What>
float CheckFloat(const Scalar& v, const What& what) {
  const double d = AsDouble(v);
  if (!IsNumber(v) || !std::isfinite(d)) {
    Fail(what() + " must be a finite number");
  }
  if (std::abs(d) > std::numeric_limits<float>::max()) {
    Fail(what() + " lies outside the range of a 32-bit float");
  }
  return static_cast<float>(d);
}

float CheckFloat(const Scalar& v, const std::string& what);

// -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?; `integral` tells whether it is written
// as an integer.
bool IsJsonNumber(std::string_view t, bool& integral);

// The small members, held as JSON values until the whole file is read.
Scalar ScalarOf(const nlohmann::json& value);
long long Integer(const nlohmann::json& value, long long min, long long max,
                  const std::string& what);
double Finite(const nlohmann::json& value, double min, double max, const std::string& what);
std::uint64_t Unsigned(const nlohmann::json& value, const std::string& what);
const nlohmann::json& Member(const nlohmann::json& object, const std::string& key,
                             const std::string& where = {});

}  // namespace veltmoor::world_json
