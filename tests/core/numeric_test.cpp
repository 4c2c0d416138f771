#include "core/numeric.h"

#include <gtest/gtest.h>

namespace vs {
namespace {

TEST(Numeric, RoundsHalvesToEven) {
  EXPECT_EQ(round_half_even(0.5), 0);
  EXPECT_EQ(round_half_even(1.5), 2);
  EXPECT_EQ(round_half_even(2.5), 2);
  EXPECT_EQ(round_half_even(-0.5), 0);
  EXPECT_EQ(round_half_even(-1.5), -2);
  EXPECT_EQ(round_half_even(-2.5), -2);
  EXPECT_EQ(round_half_even(716.8), 717);
  EXPECT_EQ(round_half_even(111.5), 112);
  EXPECT_EQ(round_half_even(112.5), 112);
  EXPECT_EQ(round_half_even(0.49999999999999994), 0);
  EXPECT_EQ(round_half_even(1e300), INT64_MAX);
  EXPECT_EQ(round_half_even(-1e300), INT64_MIN);
}

TEST(Numeric, IntegerDivisionRoundsOperandsThenTruncates) {
  EXPECT_EQ(int_div(-127, 2), -63);
  EXPECT_EQ(int_div(101, 2), 50);
  EXPECT_EQ(int_div(51.2, 2), 25);     // 768 - 716.8 rounds to 51 first
  EXPECT_EQ(int_div(-128.5, 2), -64);  // -128.5 rounds to -128
  EXPECT_EQ(int_div(7, 2.5), 3);       // 2.5 rounds to 2
  EXPECT_EQ(int_div(5, 0.4), std::nullopt);
}

TEST(Numeric, SixteenBitOverflowIsDetected) {
  EXPECT_EQ(to_int16(32767), 32767);
  EXPECT_EQ(to_int16(-32768), -32768);
  EXPECT_EQ(to_int16(32768), std::nullopt);
  EXPECT_EQ(to_int16(-32769), std::nullopt);
}

TEST(Numeric, SettingsReadingTakesTheFloor) {
  EXPECT_EQ(parse_floor_int16("1"), 1);
  EXPECT_EQ(parse_floor_int16(" 1"), 1);
  EXPECT_EQ(parse_floor_int16("\t1 "), 1);
  EXPECT_EQ(parse_floor_int16("1.9"), 1);
  EXPECT_EQ(parse_floor_int16("-0.5"), -1);
  EXPECT_EQ(parse_floor_int16("-1"), -1);
  EXPECT_EQ(parse_floor_int16("+2"), 2);
  EXPECT_EQ(parse_floor_int16(".5"), 0);
  EXPECT_EQ(parse_floor_int16("1e2"), 100);
  EXPECT_EQ(parse_floor_int16("32767.9"), 32767);
  EXPECT_EQ(parse_floor_int16("-32768"), -32768);
  EXPECT_EQ(parse_floor_int16("abc"), std::nullopt);
  EXPECT_EQ(parse_floor_int16("40000"), std::nullopt);
  EXPECT_EQ(parse_floor_int16("-32768.5"), std::nullopt);
  EXPECT_EQ(parse_floor_int16(""), std::nullopt);
  EXPECT_EQ(parse_floor_int16("1 2"), std::nullopt);
  EXPECT_EQ(parse_floor_int16("1x"), std::nullopt);
  EXPECT_EQ(parse_floor_int16("-"), std::nullopt);
  EXPECT_EQ(parse_floor_int16("1e"), std::nullopt);
  EXPECT_EQ(parse_floor_int16("1e999"), std::nullopt);
}

TEST(Numeric, LeadingNumberReadsAsFarAsItCan) {
  EXPECT_EQ(leading_number("1234"), 1234);
  EXPECT_EQ(leading_number(" 1234"), 1234);
  EXPECT_EQ(leading_number("12 34"), 1234);  // blanks are skipped anywhere
  EXPECT_EQ(leading_number("1234abc"), 1234);
  EXPECT_EQ(leading_number("abc"), 0);
  EXPECT_EQ(leading_number(""), 0);
  EXPECT_EQ(leading_number("-5"), -5);
  EXPECT_EQ(leading_number("12.5x"), 12.5);
  EXPECT_EQ(leading_number("3e2"), 300);
  EXPECT_EQ(leading_number("3e"), 3);
}

}  // namespace
}  // namespace vs
