#include "net/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

std::string real(float value) {
  char text[kMaxNumberText];
  return std::string(text, writeReal(text, value));
}

std::string printfReal(float value) {
  char text[64];
  snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

// Equal as atof's result would be: the same bits, or both NaN of one sign.
void expectSameReal(float got, float want, const std::string& text) {
  if (std::isnan(want)) {
    EXPECT_TRUE(std::isnan(got)) << '"' << text << '"';
    EXPECT_EQ(std::signbit(got), std::signbit(want)) << '"' << text << '"';
  } else {
    EXPECT_EQ(memcmp(&got, &want, sizeof got), 0) << '"' << text << "\" gave " << got << ", want " << want;
  }
}

const float kReals[] = {
    0.0f, -0.0f, 1.0f, 47.0f, -47.0f, 123456789.0f, 1e9f, 16777216.0f, 0.5f, 0.1f, -12.5f,
    47.123456f, 8.1f, 3.14159265f, 1e-4f, 1e-5f, 1.5e-7f, 1e30f, -1e30f, 3.40282347e38f,
    1.17549435e-38f, 1.4e-45f, -2.8e-45f, 1e-40f, 4294967296.0f, 86400000.0f, 123456.789f,
    std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
    std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN()};

}  // namespace

TEST(WriteReal, MatchesPrintfPointNineG) {
  for (float value : kReals) EXPECT_EQ(real(value), printfReal(value)) << printfReal(value);
  // Whole values have no point; small and large magnitudes take exponent form.
  EXPECT_EQ(real(0.0f), "0");
  EXPECT_EQ(real(-0.0f), "-0");
  EXPECT_EQ(real(47.0f), "47");
  EXPECT_EQ(real(1e-5f), "9.99999975e-06");
  EXPECT_EQ(real(1e9f), "1e+09");
}

TEST(WriteReal, MatchesPrintfOnRandomBitPatterns) {
  std::mt19937 random(12345);
  for (int i = 0; i < 200000; ++i) {
    uint32_t bits = random();
    float value;
    memcpy(&value, &bits, sizeof value);
    std::string text = real(value);
    ASSERT_EQ(text, printfReal(value)) << std::hex << bits;
    ASSERT_LE(text.size(), static_cast<size_t>(kMaxNumberText));
  }
}

TEST(WriteInteger, MatchesPrintfD) {
  for (int value : {0, 1, -1, 7, 32767, -32768, 2147483647, -2147483647 - 1}) {
    char text[kMaxNumberText], expected[32];
    snprintf(expected, sizeof expected, "%d", value);
    EXPECT_EQ(std::string(text, writeInteger(text, value)), expected);
  }
}

TEST(AppendNumbers, AppendPrefixThenNumber) {
  std::string message = "12";
  appendInteger(message, "|", 1);
  appendReal(message, "|", -0.25f);
  appendReal(message, "", 47.0f);
  EXPECT_EQ(message, "12|1|-0.2547");
}

TEST(ParseReal, MatchesAtofReducedToFloat) {
  const char* texts[] = {
      "", "abc", "12.5", "  12.5", "\t\n\v\f\r7", "+3", "-0.5", "-0", "-", "+", ".", "-.",
      ".5", "5.", "1e5", "1E-3", "1e", "1e+", "1e-x", "12abc", "1,5", "1.5e3x", "00012",
      "--1", "+-1", "-+1", "- 1", "0x1p3", "0X1.8P1", "0x.8", "0x", "-0x", "0xg", "0x-1",
      "0x1p", "0x1p-", "0XDp+-6887", "0x1p-+1", "0x1p--1", "1e+-5", "0xnan", "-0xinf", "0x.8p1", "inf", "-Infinity", "INFx", "infinit", "nan", "-nan", "NaN(123)",
      "nan(", "1e400", "-1e400", "1e-400", "-1e-400", "1e99999999999999999999", "1e-45",
      "1e-46", "3.4028235e38", "3.4028236e38", "3.5e38", "1e-310", "0x1p-1074", "0x1p2000",
      "-0x1p2000", "0x1p-2000", "0.000000000000000000000000000000000000000000001",
      "47.123456789012345678901234567890", "1.00000001e-05", "9.99999975e-06",
      "-12.5|4", "4294967296"};
  for (const char* text : texts) expectSameReal(parseReal(text), static_cast<float>(atof(text)), text);

  std::string longWhole = "1" + std::string(400, '0');
  std::string longFraction = "0." + std::string(400, '0') + "1";
  std::string manyDigits = "1." + std::string(500, '3') + "e2";
  for (const std::string& text : {longWhole, longFraction, manyDigits})
    expectSameReal(parseReal(text), static_cast<float>(atof(text.c_str())), text);
}

TEST(ParseReal, MatchesAtofOnRandomTexts) {
  const char alphabet[] = "0123456789.eE+-xXpPaAfFiInN ()";
  std::mt19937 random(777);
  for (int i = 0; i < 200000; ++i) {
    std::string text;
    for (int n = random() % 14; n > 0; --n) text += alphabet[random() % (sizeof alphabet - 1)];
    expectSameReal(parseReal(text), static_cast<float>(atof(text.c_str())), text);
    if (HasFailure()) return;
  }
}

TEST(ParseReal, ReadsOnlyTheViewNotBeyondIt) {
  const char text[] = "12.5e3";
  EXPECT_EQ(parseReal(std::string_view(text, 4)), 12.5f);
  EXPECT_EQ(parseReal(std::string_view(text, 0)), 0.0f);
}

TEST(Numbers, DoNotDependOnTheLocale) {
  if (setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
  char check[16];
  snprintf(check, sizeof check, "%.1f", 1.5);
  EXPECT_STREQ(check, "1,5");  // the locale really has a decimal comma
  EXPECT_EQ(real(-12.5f), "-12.5");
  EXPECT_EQ(real(1e-5f), "9.99999975e-06");
  EXPECT_EQ(parseReal("47.25"), 47.25f);
  EXPECT_EQ(parseReal("1,5"), 1.0f);
  std::string message;
  appendReal(message, "|", 0.125f);
  EXPECT_EQ(message, "|0.125");
  setlocale(LC_ALL, "C");
}
