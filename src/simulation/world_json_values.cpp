#include "simulation/internal/world_json_values.h"

#include <array>
#include <cstdio>

#include <nlohmann/json.hpp>

namespace veltmoor::world_json {

using json = nlohmann::json;

std::string Quoted(const std::string& key) {
  return "'" + key + "'";
}

std::string Indexed(std::uint64_t i) {
  return "[" + std::to_string(i) + "]";
}

std::string Limit(double value) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%g", value);
  return text.data();
}

std::string RangeText(long long min, long long max) {
  return " must be an integer in " + std::to_string(min) + ".." + std::to_string(max);
}

long long CheckInteger(const Scalar& v, long long min, long long max, const std::string& what) {
  return CheckInteger(v, min, max, [&what] { return what; });
}

float CheckFloat(const Scalar& v, const std::string& what) {
  return CheckFloat(v, [&what] { return what; });
}

bool IsJsonNumber(std::string_view t, bool& integral) {
  std::size_t i = 0;
  auto digits = [&t, &i] {
    const std::size_t start = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
      ++i;
    }
    return i - start;
  };
  if (i < t.size() && t[i] == '-') {
    ++i;
  }
  const std::size_t whole = i;
  if (digits() == 0 || (t[whole] == '0' && i - whole > 1)) {
    return false;
  }
  integral = i == t.size();
  if (i < t.size() && t[i] == '.') {
    ++i;
    if (digits() == 0) {
      return false;
    }
  }
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
      ++i;
    }
    if (digits() == 0) {
      return false;
    }
  }
  return i == t.size();
}

Scalar ScalarOf(const json& value) {
  Scalar s;
  if (value.is_number_unsigned()) {
    s.kind = Scalar::Kind::kUnsigned;
    s.unsigned_value = value.get<std::uint64_t>();
  } else if (value.is_number_integer()) {
    s.kind = Scalar::Kind::kInteger;
    s.integer = value.get<std::int64_t>();
  } else if (value.is_number_float()) {
    s.kind = Scalar::Kind::kFloat;
    s.number = value.get<double>();
  } else if (value.is_boolean()) {
    s.kind = Scalar::Kind::kBool;
    s.boolean = value.get<bool>();
  } else if (!value.is_null()) {
    s.kind = Scalar::Kind::kOther;
  }
  return s;
}

long long Integer(const json& value, long long min, long long max, const std::string& what) {
  return CheckInteger(ScalarOf(value), min, max, what);
}

double Finite(const json& value, double min, double max, const std::string& what) {
  const Scalar s = ScalarOf(value);
  const double d = AsDouble(s);
  if (!IsNumber(s) || !std::isfinite(d) || d < min || d > max) {
    Fail(what + " must be a finite number in " + Limit(min) + ".." + Limit(max));
  }
  return d;
}

std::uint64_t Unsigned(const json& value, const std::string& what) {
  if (!value.is_number_unsigned() &&
      !(value.is_number_integer() && value.get<std::int64_t>() >= 0)) {
    Fail(what + " must be a non-negative integer");
  }
  return value.get<std::uint64_t>();
}

const json& Member(const json& object, const std::string& key, const std::string& where) {
  const auto it = object.find(key);
  if (it == object.end()) {
    Fail(Quoted(where + key) + " is missing");
  }
  return *it;
}

}  // namespace veltmoor::world_json
