// The Variant's numeric reading and rounding, on which every position argument of the tab
// collection depends.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "tabstrip/Variant.h"

namespace {

struct ParseCase {
  const char* name;
  const char* text;
  std::optional<double> expected;
};

class ParseNumberTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumberTable, Reads) {
  EXPECT_EQ(ParseNumber(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Variant, ParseNumberTable,
    ::testing::Values(
        ParseCase{"Whole", "2", 2.0}, ParseCase{"BlanksAndSign", "  -1.5\t", -1.5},
        ParseCase{"PlusSign", "+3", 3.0}, ParseCase{"Exponent", "3e2", 300.0},
        ParseCase{"LeadingPoint", ".5", 0.5}, ParseCase{"TrailingPoint", "5.", 5.0},
        ParseCase{"Word", "two", std::nullopt}, ParseCase{"Empty", "", std::nullopt},
        ParseCase{"OnlyBlanks", "   ", std::nullopt}, ParseCase{"Infinity", "inf", std::nullopt},
        ParseCase{"NotANumber", "nan", std::nullopt}, ParseCase{"Hex", "0x10", std::nullopt},
        ParseCase{"BareExponent", "1e", std::nullopt}, ParseCase{"TwoSigns", "--1", std::nullopt},
        ParseCase{"TwoNumbers", "1 2", std::nullopt}, ParseCase{"LonePoint", ".", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct RoundCase {
  const char* name;
  double value;
  double expected;
};

class RoundHalfEvenTable : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundHalfEvenTable, Rounds) {
  EXPECT_EQ(RoundHalfEven(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Variant, RoundHalfEvenTable,
    ::testing::Values(RoundCase{"HalfToZero", 0.5, 0}, RoundCase{"OneAndHalfToTwo", 1.5, 2},
                      RoundCase{"TwoAndHalfToTwo", 2.5, 2}, RoundCase{"BelowHalf", 2.4, 2},
                      RoundCase{"AboveHalf", 2.6, 3}, RoundCase{"MinusHalfToZero", -0.5, 0},
                      RoundCase{"MinusOneAndHalf", -1.5, -2},
                      RoundCase{"MinusTwoAndHalf", -2.5, -2}, RoundCase{"Whole", 7, 7}),
    [](const auto& info) { return std::string(info.param.name); });

struct Int32Case {
  const char* name;
  Variant value;
  std::optional<std::int32_t> expected;
};

class ToInt32Table : public ::testing::TestWithParam<Int32Case> {};

TEST_P(ToInt32Table, Converts) {
  EXPECT_EQ(ToInt32(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Variant, ToInt32Table,
    ::testing::Values(Int32Case{"True", Variant(true), -1}, Int32Case{"False", Variant(false), 0},
                      Int32Case{"NumericString", Variant("2.5"), 2},
                      Int32Case{"Word", Variant("x"), std::nullopt},
                      Int32Case{"Missing", Variant(), std::nullopt},
                      Int32Case{"Largest", Variant(2147483647.0), 2147483647},
                      Int32Case{"TooLarge", Variant(2147483647.5 + 1), std::nullopt},
                      Int32Case{"TooSmall", Variant(-3e9), std::nullopt},
                      Int32Case{"NotANumber", Variant(std::nan("")), std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

class Thing : public Object {};

TEST(Variant, KindsStayApart) {
  // A string literal must not become a Boolean, nor a number a string.
  EXPECT_TRUE(Variant("1").IsString());
  EXPECT_TRUE(Variant(1).IsNumber());
  EXPECT_TRUE(Variant(true).IsBoolean());
  EXPECT_TRUE(Variant().IsMissing());
  EXPECT_NE(Variant("1"), Variant(1));
}

TEST(Variant, ObjectsCompareByIdentityAndShareTheObject) {
  auto a = std::make_shared<Thing>();
  const Variant v(a);
  const Variant copy = v;
  EXPECT_EQ(copy, Variant(a));
  EXPECT_NE(v, Variant(std::make_shared<Thing>()));
  EXPECT_EQ(copy.ObjectAs<Thing>(), a);
  EXPECT_EQ(a.use_count(), 3);
  EXPECT_FALSE(copy.NumericValue());
}

}  // namespace
