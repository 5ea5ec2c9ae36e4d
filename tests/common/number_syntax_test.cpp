// The number syntax of command arguments, in the C locale and under a comma-decimal locale.
#include "common/number_syntax.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/program.h"

namespace {

// Switches the process to a German locale (decimal comma), building one in a private directory with
// localedef when the system has none installed. False when neither works.
bool useCommaLocale() {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8")) return true;
  static const bool built = [] {
    const std::string dir = testing_support::tempDir() + "/locales";
    const std::string command =
        "mkdir -p '" + dir + "' && localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return false;
    setenv("LOCPATH", dir.c_str(), 1);
    return true;
  }();
  return built && std::setlocale(LC_ALL, "de_DE.UTF-8");
}

struct DecimalCase {
  std::string token;
  std::optional<double> value;  // nothing: not a number
};

const DecimalCase decimalCases[] = {
    {"12", 12},
    {"-3.5", -3.5},
    {"+7", 7},
    {"1e2", 100},
    {"0x1p3", 8},
    {".5", 0.5},
    {"5.", 5},
    {"-0", -0.0},
    {"12px", {}},
    {"", {}},
    {" 12", {}},
    {"12 ", {}},
    {"\t12", {}},
    {"\n12", {}},
    {"1,5", {}},
    {"abc", {}},
    {"-", {}},
    {"1e", {}},
    {std::string("1\0"
                 "2",
                 3),
     {}},
};

void expectDecimalTable() {
  for (const DecimalCase& c : decimalCases) {
    const auto got = numbers::parseDecimal(c.token);
    ASSERT_EQ(got.has_value(), c.value.has_value()) << "'" << c.token << "'";
    if (c.value) {
      EXPECT_EQ(*got, *c.value) << c.token;
    }
  }
  // Infinite and NaN spellings are numbers; values beyond a double's range read as infinite.
  for (const char* token : {"inf", "-inf", "INF", "infinity"}) {
    const auto got = numbers::parseDecimal(token);
    ASSERT_TRUE(got) << token;
    EXPECT_TRUE(std::isinf(*got)) << token;
  }
  for (const char* token : {"nan", "NAN", "-nan"}) {
    const auto got = numbers::parseDecimal(token);
    ASSERT_TRUE(got) << token;
    EXPECT_TRUE(std::isnan(*got)) << token;
  }
  const auto huge = numbers::parseDecimal("1e999");
  ASSERT_TRUE(huge);
  EXPECT_TRUE(std::isinf(*huge));
}

TEST(NumberSyntax, Decimals) { expectDecimalTable(); }

TEST(NumberSyntax, DecimalsUnderCommaLocale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  if (!useCommaLocale()) {
    GTEST_SKIP() << "no German locale and localedef could not build one";
  }
  // The locale really is in effect: the C library itself now reads a comma.
  ASSERT_EQ(std::strtod("1,5", nullptr), 1.5);
  expectDecimalTable();
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(NumberSyntax, Integers) {
  struct Case {
    std::string token;
    std::optional<std::int64_t> as32;
    std::optional<std::int64_t> as64;
  };
  const Case cases[] = {
      {"12", 12, 12},
      {"+7", 7, 7},
      {"-3", -3, -3},
      {"007", 7, 7},
      {"2147483647", 2147483647, 2147483647},
      {"-2147483648", -2147483648LL, -2147483648LL},
      {"2147483648", {}, 2147483648LL},
      {"-2147483649", {}, -2147483649LL},
      {"9223372036854775807", {}, 9223372036854775807LL},
      {"-9223372036854775808", {}, -9223372036854775807LL - 1},
      {"9223372036854775808", {}, {}},
      {"99999999999999999999", {}, {}},
      {"", {}, {}},
      {"+", {}, {}},
      {"-", {}, {}},
      {"+-1", {}, {}},
      {"1.0", {}, {}},
      {"1e2", {}, {}},
      {"0x10", {}, {}},
      {" 1", {}, {}},
      {"1 ", {}, {}},
      {"two", {}, {}},
      {"\xd9\xa3", {}, {}},  // ARABIC-INDIC DIGIT THREE is not an ASCII digit
  };
  for (const Case& c : cases) {
    const auto got32 = numbers::parseInt32(c.token);
    const auto got64 = numbers::parseInt64(c.token);
    ASSERT_EQ(got32.has_value(), c.as32.has_value()) << "int32 '" << c.token << "'";
    ASSERT_EQ(got64.has_value(), c.as64.has_value()) << "int64 '" << c.token << "'";
    if (c.as32) {
      EXPECT_EQ(*got32, *c.as32) << c.token;
    }
    if (c.as64) {
      EXPECT_EQ(*got64, *c.as64) << c.token;
    }
  }
}

}  // namespace
