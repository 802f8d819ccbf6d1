// Rounding and number texts shared by every part of the program: one rounding rule, one
// decimal parser and one formatter, so a value looks the same wherever it is shown.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace veltmoor {

// Raised when a decimal setting does not parse; the message names the offending text.
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Nearest integer, halves to even (the rounding the program uses throughout). The argument
// is extended so that a value computed in extended precision is rounded as it stands: taken
// to a double first, 29.4999999999999999 would become 29.5 and round up.
double Round(long double value);
int RoundToInt(long double value);
// The same rounding for a value that is a double already, where widening changes nothing:
// the per-cell shading calls it millions of times a step, and the extended-precision
// rounding costs several times the double one.
int RoundToInt(double value);
// Single-precision values are exactly doubles; this keeps their calls unambiguous.
inline int RoundToInt(float value) {
  return RoundToInt(static_cast<double>(value));
}

// Rounds to `decimals` places by dividing by the double nearest to 10^-decimals in extended
// precision. That double lies slightly above 10^-decimals, so 0.875 becomes 0.87.
double RoundToDecimals(long double value, int decimals);
inline double RoundTo2(long double value) {
  return RoundToDecimals(value, 2);
}
inline double RoundTo4(long double value) {
  return RoundToDecimals(value, 4);
}
// numerator / denominator to two decimals, the quotient formed in extended precision: a
// mean such as 173 / 40 = 4.325 must not become the double 4.32500000000000018 first, which
// would round up where the exact quotient rounds down.
inline double RoundQuotientTo2(long double numerator, long double denominator) {
  return RoundTo2(numerator / denominator);
}

// The program's decimal separator: a comma unless a front end changes it.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// Shortest general form with up to 15 significant digits, no trailing zeros, the program's
// decimal separator: 0.85 -> "0,85", 2.0 -> "2", 1/3 -> "0,333333333333333".
std::string FormatNumber(double value);
std::string FormatInt(long long value);

// Parses a decimal text written with the program's separator (surrounding blanks allowed).
// Throws ConversionError("'<text>' is not a valid floating point value").
double ParseDecimal(std::string_view text);
// Parses an integer text; throws ConversionError("'<text>' is not a valid integer value").
long long ParseInteger(std::string_view text);

}  // namespace veltmoor
