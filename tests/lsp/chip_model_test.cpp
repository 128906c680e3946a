// What hover reads from the chip files: each bit's register, the banks and
// the configuration words with their settings.
#include "lsp/chip_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "project/chip_files.h"
#include "test_support.h"

namespace korva::lsp {
namespace {

using testing::read_bytes;

const std::filesystem::path kChips = KORVA_CHIP_SOURCES;

ChipFile model_of(const std::string& chip) {
  return read_chip_file(read_bytes(kChips / (chip + ".inc")));
}

TEST(ChipFile, EveryChipFileGivesItsFactsBitsAndConfigurationWords) {
  const std::vector<std::string> chips = list_chips(kChips);
  ASSERT_GT(chips.size(), 100u);
  for (const std::string& chip : chips) {
    const std::string text = read_bytes(kChips / (chip + ".inc"));
    const ChipFile model = read_chip_file(text);
    ASSERT_TRUE(model.facts) << chip;
    EXPECT_EQ(model.facts->name, chip);
    EXPECT_NE(model.title.find(chip), std::string::npos) << chip << ": " << model.title;
    // Banks are selected by RP0 and RP1, or on the enhanced core by BSR.
    const bool enhanced = model.facts->core == CoreFamily::enhanced;
    ASSERT_TRUE(enhanced ? text.find("\nBSR ") != std::string::npos
                         : model.bit_registers.contains("RP0") || model.facts->banks == 1)
        << chip;
    for (const auto& [bit, register_name] : model.bit_registers) {
      // OPTION and TRIS are no data addresses on some chips, only the
      // instructions that write them.
      const bool instruction_register = register_name == "OPTION" || register_name == "TRIS";
      EXPECT_TRUE(instruction_register ||
                  text.find("\n" + register_name + " ") != std::string::npos)
          << chip << ": " << bit << " names register " << register_name << ", which is not defined";
    }
    ASSERT_FALSE(model.facts->config_words.empty()) << chip;
    for (const ConfigWord& word : model.facts->config_words) {
      EXPECT_EQ(model.config_at(word.address), &word) << chip;
      const std::vector<std::string> lines = describe_config(word, word.blank);
      ASSERT_EQ(lines.size(), word.fields.size()) << chip;
      for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].starts_with(word.fields[i].name + "=")) << chip << ": " << lines[i];
      }
    }
    EXPECT_EQ(model.config_at(0x2006), nullptr) << chip;
  }
}

TEST(ChipFile, BitsBelongToTheRegisterOfTheirSection) {
  struct Case {
    const char* chip;
    const char* bit;
    const char* register_name;
  };
  const Case cases[] = {
      {"16F84A", "RB0", "PORTB"},       {"16F84A", "RP0", "STATUS"},
      {"16F877A", "GO_DONE", "ADCON0"}, {"16F877A", "PS2", "OPTION_REG"},
      {"16F88", "IRCF0", "OSCCON"},
  };
  for (const Case& c : cases) {
    const ChipFile model = model_of(c.chip);
    const auto found = model.bit_registers.find(c.bit);
    ASSERT_NE(found, model.bit_registers.end()) << c.chip << " " << c.bit;
    EXPECT_EQ(found->second, c.register_name) << c.chip << " " << c.bit;
    // A register is not a bit.
    EXPECT_FALSE(model.bit_registers.contains(c.register_name)) << c.chip;
  }
}

TEST(ChipFile, RegisterAddressesReachTheLastBank) {
  struct Case {
    const char* chip;
    std::uint32_t last_register;
  };
  const Case cases[] = {{"16F84A", 0xFF}, {"16F877A", 0x1FF}, {"12F675", 0xFF}};
  for (const Case& c : cases) {
    const ChipFile model = model_of(c.chip);
    EXPECT_TRUE(is_register_address(model, 0)) << c.chip;
    EXPECT_TRUE(is_register_address(model, c.last_register)) << c.chip;
    EXPECT_FALSE(is_register_address(model, c.last_register + 1)) << c.chip;
  }
}

TEST(ChipFile, AConfigurationWordNamesTheSettingOfEachField) {
  struct Case {
    const char* chip;
    std::uint32_t address;
    std::uint32_t word;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"16F84A",
       0x2007,
       0x3FF1,
       {"FOSC=XT (XT oscillator)", "WDTE=OFF (WDT disabled)",
        "PWRTE=ON (Power-up Timer is enabled)", "CP=OFF (Code protection disabled)"}},
      // CP wants all of its bits clear to be on: a half-cleared field is no setting.
      {"16F84A",
       0x2007,
       0x1FFF,
       {"FOSC=EXTRC (RC oscillator)", "WDTE=ON (WDT enabled)",
        "PWRTE=OFF (Power-up Timer is disabled)", "CP=(no named setting)"}},
      {"16F88",
       0x2008,
       0x3FFE,
       {"FCMEN=OFF (Fail-Safe Clock Monitor disabled)",
        "IESO=ON (Internal External Switchover mode enabled)"}},
  };
  for (const Case& c : cases) {
    const ChipFile model = model_of(c.chip);
    const ConfigWord* word = model.config_at(c.address);
    ASSERT_NE(word, nullptr) << c.chip;
    EXPECT_EQ(describe_config(*word, c.word), c.lines) << c.chip;
  }
}

TEST(ChipFile, AFileWithoutFactsStillGivesItsBits) {
  const ChipFile model = read_chip_file(
      "; A chip of our own\n"
      ";----- FLAGS bits (FLAGS EQU $20) ---\n"
      "READY EQU 0\n"
      ";----- Registers ---\n"
      "FLAGS EQU $20\n");
  EXPECT_EQ(model.title, "A chip of our own");
  EXPECT_FALSE(model.facts);
  EXPECT_EQ(model.config_at(0x2007), nullptr);
  ASSERT_EQ(model.bit_registers.size(), 1u);
  EXPECT_EQ(model.bit_registers.at("READY"), "FLAGS");
  EXPECT_EQ(model.bits.at(0x20)[0], "READY");
  // A ";@" line that cannot be read loses the facts, says why, and keeps
  // the names.
  const ChipFile broken = read_chip_file(
      ";@chip 16X1\n;@program zz\n;----- FLAGS bits (FLAGS EQU $20) ---\nREADY EQU 0\n");
  EXPECT_FALSE(broken.facts);
  EXPECT_FALSE(broken.facts_error.empty());
  EXPECT_EQ(broken.names, std::vector<std::string>{"READY"});
  EXPECT_EQ(broken.bit_registers.at("READY"), "FLAGS");
}

}  // namespace
}  // namespace korva::lsp
