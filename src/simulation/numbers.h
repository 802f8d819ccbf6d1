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

// Nearest integer, halves to even (the rounding the program uses throughout).
double Round(double value);
int RoundToInt(double value);

// Rounds to `decimals` places by dividing by the double nearest to 10^-decimals in extended
// precision. That double lies slightly above 10^-decimals, so 0.875 becomes 0.87.
double RoundToDecimals(double value, int decimals);
inline double RoundTo2(double value) {
  return RoundToDecimals(value, 2);
}
inline double RoundTo4(double value) {
  return RoundToDecimals(value, 4);
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
