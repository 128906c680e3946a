#include "chip/chip_equates.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace korva {
namespace {

TEST(ChipEquates, ReadsTheNameAndValueOfEachEquLine) {
  struct Case {
    std::string line;
    std::optional<std::uint32_t> value;  // none: not an EQU line
    std::string name;
  };
  const Case cases[] = {
      {"STATUS      EQU $03", 0x03, "STATUS"},
      {"  RP0\tEQU\t5\r", 5, "RP0"},
      {"EEDATA EQU $10C", 0x10C, "EEDATA"},
      {"TRISB  equ  $86", 0x86, "TRISB"},
      {"PORTB EQU $06 ; the port", 0x06, "PORTB"},
      {"; PORTB EQU $06", std::nullopt, ""},
      {"PORTB EQUAL $06", std::nullopt, ""},
      {"PORTB EQU", std::nullopt, ""},
      {"PORTB EQU $", std::nullopt, ""},
      {"PORTB EQU x", std::nullopt, ""},
      {"PORTB", std::nullopt, ""},
      {"", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    const std::optional<ChipEquate> found = chip_equate(c.line);
    ASSERT_EQ(found.has_value(), c.value.has_value()) << c.line;
    if (!found) continue;
    EXPECT_EQ(found->name, c.name) << c.line;
    EXPECT_EQ(found->value, *c.value) << c.line;
  }
}

TEST(ChipEquates, NamesEveryEquLineOfAFileSorted) {
  const std::string file =
      ";---- Registers, bank 0\r\nTMR0 EQU $01\r\nSTATUS EQU $03\n; INDF EQU $00\nC EQU 0";
  EXPECT_EQ(chip_equate_names(file), (std::vector<std::string>{"C", "STATUS", "TMR0"}));
  EXPECT_TRUE(chip_equate_names("").empty());
}

}  // namespace
}  // namespace korva
