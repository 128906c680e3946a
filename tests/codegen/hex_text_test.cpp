#include "codegen/hex_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace korva {
namespace {

struct NumberCase {
  const char* operand;
  bool is_number;
  const char* stored;  // the operand afterwards
};

void PrintTo(const NumberCase& c, std::ostream* os) {
  *os << "'" << c.operand << "'";
}

class CheckNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(CheckNumber, NormalisesOrLeavesUntouched) {
  const NumberCase& c = GetParam();
  std::string operand = c.operand;
  EXPECT_EQ(check_number(operand), c.is_number) << c.operand;
  EXPECT_EQ(operand, c.stored) << c.operand;
}

INSTANTIATE_TEST_SUITE_P(
    Notations, CheckNumber,
    ::testing::Values(NumberCase{"100", true, "0064"}, NumberCase{"31", true, "001f"},
                      NumberCase{"300", true, "012c"}, NumberCase{"65536", true, "0000"},
                      NumberCase{"$1F", true, "001F"}, NumberCase{"1Fh", true, "001F"},
                      NumberCase{"H'1F'", true, "001F"}, NumberCase{"h'1F'", true, "001F"},
                      NumberCase{"$1f", true, "001f"}, NumberCase{"$12345", true, "2345"},
                      NumberCase{"0FFh", true, "00FF"}, NumberCase{"h", false, "h"},
                      NumberCase{"H", false, "H"}, NumberCase{"$", true, "0000"},
                      NumberCase{"H''", true, "0000"}, NumberCase{" 12 ", true, "000c"},
                      NumberCase{"1 2", false, "1 2"}, NumberCase{"20AB", false, "20AB"},
                      NumberCase{"5x", false, "5x"}, NumberCase{"0x1F", false, "0x1F"},
                      NumberCase{"20ABh", true, "20AB"}, NumberCase{"$XXXX", true, "$XXXX"},
                      NumberCase{"", false, ""}, NumberCase{"   ", false, "   "},
                      NumberCase{"99999999999", true, "ffff"}, NumberCase{"$ 5", false, "$ 5"},
                      NumberCase{"$-1", false, "$-1"}, NumberCase{"COUNT", false, "COUNT"},
                      NumberCase{"-1", true, "ffff"}));

// number_value reads what check_number would store, without storing it;
// check_number_value stores the same text and gives the same value.
TEST(NumberValue, IsTheValueOfTheTextCheckNumberStores) {
  const char* const operands[] = {
      "100",   "31",         "$1F",  "1Fh",   "H'1F'", "h'1F'",   "$1f",   "$12345", "0FFh",
      "h",     "H",          "$",    "H''",   " 12 ",  "1 2",     "20AB",  "5x",     "0x1F",
      "20ABh", "$XXXX",      "",     "   ",   "-1",    "+7",      "COUNT", "V12",    "K5",
      "'H'",   "AH'",        "H'12", "\r5",   "  5  ", "$ 5",     "$-1",   "FFh",    "fh",
      "Gh",    "9999999999", "1  2", "B'01'", "(V1)",  "($0023)", "\t3"};
  for (const char* operand : operands) {
    std::string stored = operand;
    const bool is_number = check_number(stored);
    const std::optional<std::uint32_t> value = number_value(operand);
    ASSERT_EQ(value.has_value(), is_number) << '"' << operand << '"';
    if (is_number) {
      EXPECT_EQ(*value, static_cast<std::uint32_t>(hex_value(stored))) << '"' << operand << '"';
    }
    std::string checked = operand;
    EXPECT_EQ(check_number_value(checked), value) << '"' << operand << '"';
    EXPECT_EQ(checked, stored) << '"' << operand << '"';
  }
}

// hex_value reads plain digits itself and leaves everything else to the
// library-like reading: both must agree.
TEST(HexValue, AgreesWithTheBase16Reading) {
  const char* const texts[] = {
      "",     "0",    "1F", "0023)",    "1234567",  "12345678", "FFFFFFF", "fffffff",
      "0x1F", "0X1f", "0x", "0xg",      "0",        "00",       " 5",      "-1",
      "+1",   "X1",   "1X", "7fffffff", "80000000", "$0023",    "12 34",   "0xFFFFFFFFF"};
  for (const char* text : texts) {
    EXPECT_EQ(hex_value(text), read_integer(text, 16).value) << '"' << text << '"';
  }
}

// The strict reading takes one to eight hexadecimal digits and nothing else,
// where the hex value rule reads a value from almost any text.
TEST(PlainHexNumber, TakesOnlyOneToEightDigits) {
  const struct {
    const char* text;
    std::optional<std::uint32_t> value;
  } cases[] = {
      {"0", 0},
      {"0023", 0x23},
      {"aBc", 0xABC},
      {"FFFFFFFF", 0xFFFFFFFF},
      {"", std::nullopt},
      {"$XXXX", std::nullopt},
      {"0x1F", std::nullopt},
      {"123456789", std::nullopt},
      {"12G", std::nullopt},
      {" 5", std::nullopt},
      {"-1", std::nullopt},
      {"1F)", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(plain_hex_number(c.text), c.value) << '"' << c.text << '"';
  }
}

TEST(PadHex, PadsOrKeepsLowDigits) {
  const struct {
    const char* text;
    std::size_t width;
    const char* expected;
  } cases[] = {{"1F", 2, "1F"}, {"1F", 4, "001F"}, {"012C", 2, "2C"}, {"", 4, "0000"}};
  for (const auto& c : cases) {
    std::string text = c.text;
    pad_hex(text, c.width);
    EXPECT_EQ(text, c.expected);
  }
}

TEST(HexValue, FollowsTheLibraryReading) {
  EXPECT_EQ(hex_value("1F"), 0x1F);
  EXPECT_EQ(hex_value("0x1F"), 0x1F);
  EXPECT_EQ(hex_value("XX"), 0);
  EXPECT_EQ(hex_value("  -1"), -1);
  EXPECT_EQ(hex_value("FFFFFFFFF"), 0x7FFFFFFF);
  EXPECT_EQ(hex_value("0x"), 0);
}

}  // namespace
}  // namespace korva

namespace korva {
namespace {

// check_number accepts a few texts that no notation describes and reads them
// as 0; is_written_number tells them apart for the warning.
TEST(IsWrittenNumber, OnlyTheNotationsAsWritten) {
  struct Case {
    const char* text;
    bool accepted;  // by check_number
    bool written;
  };
  const Case cases[] = {
      {"31", true, true},     {" 12 ", true, true},      {"-1", true, true},
      {"$1F", true, true},    {"1Fh", true, true},       {"0FFH", true, true},
      {"H'1F'", true, true},  {"h'1f'", true, true},     {"$XXXX", true, true},
      {"$", true, false},     {"H''", true, false},      {"'H'", true, false},
      {"'h'", true, false},   {"AH'", true, false},      {"H'12", true, false},
      {"0x1F", false, false}, {"B'0101'", false, false}, {"'A'", false, false},
      {"", false, false},     {"COUNT", false, false},
  };
  for (const Case& c : cases) {
    std::string operand = c.text;
    EXPECT_EQ(check_number(operand), c.accepted) << c.text;
    EXPECT_EQ(is_written_number(c.text), c.written) << c.text;
  }
}

}  // namespace
}  // namespace korva
