#include "simulation/numbers.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace veltmoor {

namespace {
char g_separator = ',';

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}
}  // namespace

double Round(long double value) {
  return static_cast<double>(std::nearbyintl(value));
}

int RoundToInt(long double value) {
  return static_cast<int>(std::nearbyintl(value));
}

int RoundToInt(double value) {
  return static_cast<int>(std::nearbyint(value));
}

double RoundToDecimals(long double value, int decimals) {
  const double step = decimals == 2 ? 0.01 : decimals == 4 ? 0.0001 : std::pow(10.0, -decimals);
  const long double quotient = value / static_cast<long double>(step);
  return static_cast<double>(std::nearbyintl(quotient) * static_cast<long double>(step));
}

char DecimalSeparator() {
  return g_separator;
}
void SetDecimalSeparator(char separator) {
  g_separator = separator;
}

std::string FormatInt(long long value) {
  return std::to_string(value);
}

std::string FormatNumber(double value) {
  if (std::isnan(value)) {
    return "NAN";
  }
  if (std::isinf(value)) {
    return value > 0 ? "INF" : "-INF";
  }
  if (value == 0.0) {
    return "0";
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  std::string text(buffer);
  // %G switches to exponent form below 1e-4; the program writes small values as plain
  // decimals up to the 15 significant digits like the desktop formatter does.
  const auto e = text.find('E');
  std::string mantissa = e == std::string::npos ? text : text.substr(0, e);
  std::string exponent = e == std::string::npos ? "" : text.substr(e);
  if (mantissa.find('.') != std::string::npos) {
    while (!mantissa.empty() && mantissa.back() == '0') {
      mantissa.pop_back();
    }
    if (!mantissa.empty() && mantissa.back() == '.') {
      mantissa.pop_back();
    }
  }
  if (!exponent.empty()) {
    // "E-05" -> "E-5", "E+15" -> "E15"
    const char sign = exponent[1];
    std::string digits = exponent.substr(2);
    while (digits.size() > 1 && digits.front() == '0') {
      digits.erase(0, 1);
    }
    exponent = std::string("E") + (sign == '-' ? "-" : "") + digits;
  }
  text = mantissa + exponent;
  for (char& ch : text) {
    if (ch == '.') {
      ch = g_separator;
    }
  }
  return text;
}

double ParseDecimal(std::string_view text) {
  const std::string_view trimmed = Trim(text);
  std::string normalised(trimmed);
  bool valid = !normalised.empty();
  for (char& ch : normalised) {
    if (ch == g_separator) {
      ch = '.';
    } else if (ch == '.' && g_separator != '.') {
      valid = false;  // a dot is not the decimal separator here
    }
  }
  double value = 0.0;
  if (valid) {
    const char* begin = normalised.data();
    const char* end = begin + normalised.size();
    // from_chars reads no '+' of its own; a second sign after it ("+-1") is no number.
    if (*begin == '+' && begin + 1 != end && begin[1] != '-') {
      ++begin;
    }
    const auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::general);
    valid = ec == std::errc() && ptr == end && std::isfinite(value);
  }
  if (!valid) {
    throw ConversionError("'" + std::string(text) + "' is not a valid floating point value");
  }
  return value;
}

long long ParseInteger(std::string_view text) {
  const std::string_view trimmed = Trim(text);
  long long value = 0;
  const char* begin = trimmed.data();
  const char* end = begin + trimmed.size();
  if (begin != end && *begin == '+' && begin + 1 != end && begin[1] != '-') {
    ++begin;
  }
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  if (trimmed.empty() || ec != std::errc() || ptr != end) {
    throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
  }
  return value;
}

}  // namespace veltmoor
