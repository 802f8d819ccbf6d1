#include "simulation/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace veltmoor {
namespace {

TEST(RoundTest, HalvesGoToEven) {
  EXPECT_EQ(Round(0.5), 0.0);
  EXPECT_EQ(Round(1.5), 2.0);
  EXPECT_EQ(Round(2.5), 2.0);
  EXPECT_EQ(Round(-2.5), -2.0);
  EXPECT_EQ(RoundToInt(12.5), 12);
  EXPECT_EQ(RoundToInt(14.0), 14);
  EXPECT_EQ(RoundToInt(127.5), 128);
}

// The quick double rounding must give what the extended one gives for the same value, at
// halves above all, or the shading of the map would change.
TEST(RoundTest, DoubleAndExtendedRoundingAgreeOnEveryDouble) {
  std::uint64_t state = 12345;
  for (int i = 0; i < 20000; ++i) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    const double half = static_cast<double>(static_cast<int>(state >> 40) % 200001 - 100000) + 0.5;
    const double any = static_cast<double>(state >> 11) / static_cast<double>(1ull << 53) * 1e6;
    for (const double value : {half, -half, any, -any, std::nextafter(half, 0.0)}) {
      ASSERT_EQ(RoundToInt(value), RoundToInt(static_cast<long double>(value))) << value;
    }
  }
  EXPECT_EQ(RoundToInt(0.5f), 0);
  EXPECT_EQ(RoundToInt(1.5f), 2);
}

TEST(RoundTest, TwoDecimalsDivideByTheDoubleAboveOneHundredth) {
  // 0.01 as a double lies slightly above 0.01, so these halves fall below .5 and go down.
  EXPECT_DOUBLE_EQ(RoundTo2(0.875), 0.87);
  EXPECT_DOUBLE_EQ(RoundTo2(0.625), 0.62);
  EXPECT_DOUBLE_EQ(RoundTo2(0.85), 0.85);
  EXPECT_DOUBLE_EQ(RoundTo2(2.0 / 3.0), 0.67);
  EXPECT_DOUBLE_EQ(RoundTo2(-1.234), -1.23);
  EXPECT_DOUBLE_EQ(RoundTo4(1.0 / 3.0), 0.3333);
}

TEST(RoundTest, QuotientsAndExtendedValuesAreRoundedAsTheyStand) {
  // 173 / 40 and 31 / 40 end in an exact 5; the doubles 4.325 and 0.775 lie above it.
  EXPECT_DOUBLE_EQ(RoundQuotientTo2(173, 40), 4.32);
  EXPECT_DOUBLE_EQ(RoundQuotientTo2(31, 40), 0.77);
  EXPECT_DOUBLE_EQ(RoundTo2(173.0 / 40.0), 4.33);
  const long double justBelowAHalf = 59.0L / 200.0L * 100.0L;
  EXPECT_EQ(RoundToInt(justBelowAHalf), 29);
  EXPECT_EQ(RoundToInt(static_cast<double>(justBelowAHalf)), 30);
}

TEST(FormatNumberTest, ShortestFormWithDecimalComma) {
  EXPECT_EQ(FormatNumber(0.85), "0,85");
  EXPECT_EQ(FormatNumber(2.0), "2");
  EXPECT_EQ(FormatNumber(RoundTo4(1.0 / 3.0)), "0,3333");
  EXPECT_EQ(FormatNumber(1.0 / 3.0), "0,333333333333333");
  EXPECT_EQ(FormatNumber(-0.5), "-0,5");
  EXPECT_EQ(FormatNumber(0.0), "0");
  EXPECT_EQ(FormatNumber(1234567.0), "1234567");
  EXPECT_EQ(FormatInt(-12), "-12");
  EXPECT_EQ(FormatNumber(1e-5), "1E-5");
  EXPECT_EQ(FormatNumber(1e15), "1E15");
}

TEST(FormatNumberTest, FollowsTheChosenSeparator) {
  SetDecimalSeparator('.');
  EXPECT_EQ(FormatNumber(2.5), "2.5");
  EXPECT_DOUBLE_EQ(ParseDecimal("0.25"), 0.25);
  EXPECT_THROW(ParseDecimal("0,25"), ConversionError);
  SetDecimalSeparator(',');
}

TEST(ParseDecimalTest, ReadsCommaDecimalsAndRejectsOthersNamingTheText) {
  EXPECT_DOUBLE_EQ(ParseDecimal("1,7"), 1.7);
  EXPECT_DOUBLE_EQ(ParseDecimal(" 2 "), 2.0);
  EXPECT_DOUBLE_EQ(ParseDecimal("-0,1"), -0.1);
  EXPECT_DOUBLE_EQ(ParseDecimal("1E-3"), 0.001);
  EXPECT_DOUBLE_EQ(ParseDecimal("+1,5"), 1.5);
  for (const char* bad :
       {"0.x", "0.5", "", "abc", "1,2,3", "inf", "nan", "+-1", "++1", "-+1", "+"}) {
    try {
      ParseDecimal(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const ConversionError& e) {
      EXPECT_EQ(std::string(e.what()),
                "'" + std::string(bad) + "' is not a valid floating point value");
    }
  }
}

TEST(ParseIntegerTest, ReadsPlainIntegersOnly) {
  EXPECT_EQ(ParseInteger("24"), 24);
  EXPECT_EQ(ParseInteger("-3"), -3);
  EXPECT_EQ(ParseInteger("+7"), 7);
  EXPECT_THROW(ParseInteger("2,5"), ConversionError);
  EXPECT_THROW(ParseInteger("+-1"), ConversionError);
  EXPECT_THROW(ParseInteger(""), ConversionError);
}

}  // namespace
}  // namespace veltmoor
