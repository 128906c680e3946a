// The chip facts of the chip files (memory, data banks, configuration
// fields) against the gputils headers they were made from, and
// configuration by name: choices read, applied and written as lines that
// assemble to the words they name.
#include "chip/chip_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "chip/chip_facts.h"
#include "outputs/gpsim_processors.h"
#include "project/assembler.h"
#include "project/chip_files.h"
#include "test_support.h"
#include "tests/chip_test_support.h"
#include "tests/remark_expectations.h"

namespace korva {
namespace {

const std::filesystem::path kChipSources(KORVA_CHIP_SOURCES);
const std::filesystem::path kGputilsHeaders("/usr/share/gputils/header");

ChipFacts facts_of(const std::string& chip) {
  const auto facts = read_chip_facts(testing::read_bytes(kChipSources / (chip + ".inc")));
  EXPECT_TRUE(facts && *facts) << chip << ": " << (facts ? "no facts" : facts.message());
  return facts && *facts ? **facts : ChipFacts{};
}

// The NAME EQU H'VALUE' lines of a gputils header.
std::map<std::string, std::uint32_t> header_values(const std::string& chip) {
  std::string lower = chip;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return testing::gputils_header_values(kGputilsHeaders / ("p" + lower + ".inc"));
}

// The header's value of a field's setting: _FIELD_SETTING, or for the
// oscillator of older headers _SETTING_OSC.
std::optional<std::uint32_t> header_setting(const std::map<std::string, std::uint32_t>& header,
                                            const std::string& field, const std::string& setting) {
  std::string field_name = "_";
  field_name.append(field).append("_").append(setting);
  std::string oscillator_name = "_";
  oscillator_name.append(setting).append("_OSC");
  for (const std::string& name : {field_name, oscillator_name}) {
    if (name.ends_with("_OSC") && field != "FOSC") continue;
    const auto found = header.find(name);
    // The enhanced headers write the 14-bit settings as 16 bits.
    if (found != header.end()) return found->second & 0x3FFF;
  }
  return std::nullopt;
}

TEST(ChipFacts, EveryChipFileAgreesWithItsHeader) {
  if (!std::filesystem::exists(kGputilsHeaders)) GTEST_SKIP() << "gputils is not installed";
  const std::vector<std::string> chips = list_chips(kChipSources);
  ASSERT_GE(chips.size(), 150u);
  for (const std::string& chip : chips) {
    SCOPED_TRACE(chip);
    const ChipFacts facts = facts_of(chip);
    const auto header = header_values(chip);
    EXPECT_EQ(facts.name, chip);
    EXPECT_GE(facts.program.last, 0xFFu);
    const bool enhanced = facts.core == CoreFamily::enhanced;
    EXPECT_EQ(enhanced, header.contains("BSR")) << "the core registers tell the core";
    EXPECT_LT(facts.program.last, enhanced ? 0x8000u : 0x2000u);
    ASSERT_FALSE(facts.gpr.empty());
    for (const AddressRange& gpr : facts.gpr) EXPECT_LT(gpr.last, facts.banks * 0x80);
    ASSERT_FALSE(facts.config_words.empty());
    std::uint32_t address = enhanced ? 0x8007 : 0x2007;
    for (const ConfigWord& word : facts.config_words) {
      EXPECT_EQ(word.address, address++);
      std::uint32_t owned = 0;
      std::uint32_t all_chosen = word.blank;
      for (const ConfigField& field : word.fields) {
        EXPECT_EQ(owned & field.mask, 0u) << field.name << " shares bits";
        owned |= field.mask;
        ASSERT_FALSE(field.settings.empty()) << field.name;
        for (const ConfigSetting& setting : field.settings) {
          // A setting changes its own field only.
          EXPECT_EQ(setting.word & ~field.mask, word.blank & ~field.mask) << setting.name;
          EXPECT_EQ(header_setting(header, field.name, setting.name), setting.word)
              << field.name << "=" << setting.name;
        }
        all_chosen &= field.settings.back().word;
      }
      // Choosing the last setting of every field by name gives the AND of
      // the header's values.
      std::vector<ConfigChoice> choices;
      for (const ConfigField& field : word.fields) {
        choices.push_back({field.name, field.settings.back().name});
      }
      const auto configured = configure_chip(facts, choices);
      ASSERT_TRUE(configured) << configured.message();
      EXPECT_EQ((*configured)[&word - facts.config_words.data()].value, all_chosen);
    }
  }
}

// The processors for gpsim and the chip files tell the same program memory.
TEST(ChipFacts, GpsimProcessorsHaveChipFilesOfTheirSize) {
  for (const GpsimProcessor& processor : gpsim_processors()) {
    const ChipFacts facts = facts_of(std::string(processor.chip));
    EXPECT_EQ(facts.program.last + 1, processor.program_words) << processor.chip;
  }
}

TEST(ConfigChoices, ReadsFieldSettingPairs) {
  const struct {
    const char* text;
    std::vector<std::pair<std::string, std::string>> choices;  // empty: a failure
  } cases[] = {
      {"FOSC=XT", {{"FOSC", "XT"}}},
      {"FOSC=XT,WDTE=OFF", {{"FOSC", "XT"}, {"WDTE", "OFF"}}},
      {" fosc = xt , lvp=off", {{"fosc", "xt"}, {"lvp", "off"}}},
      {"FOSC=XT,", {{"FOSC", "XT"}}},
      {"FOSC", {}},
      {"=XT", {}},
      {"FOSC=", {}},
      {"FOSC=XT,,LVP=OFF", {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    const auto parsed = parse_config_choices(c.text);
    if (c.choices.empty()) {
      EXPECT_FALSE(parsed) << c.text;
      continue;
    }
    ASSERT_TRUE(parsed) << c.text << ": " << parsed.message();
    std::vector<std::pair<std::string, std::string>> got;
    for (const ConfigChoice& choice : *parsed) got.emplace_back(choice.field, choice.setting);
    EXPECT_EQ(got, c.choices) << c.text;
  }
}

TEST(ConfigChoices, UnknownNamesListTheValidOnes) {
  const ChipFacts chip = facts_of("16F877A");
  const struct {
    std::vector<ConfigChoice> choices;
    std::vector<std::string> in_message;
  } cases[] = {
      {{{"OSC", "XT"}}, {"no configuration field 'OSC'", "FOSC", "WDTE", "LVP", "CP"}},
      {{{"FOSC", "XTAL"}}, {"no setting 'XTAL'", "LP XT HS EXTRC"}},
      {{{"LVP", "OFF"}, {"lvp", "ON"}}, {"LVP is chosen twice"}},
  };
  for (const auto& c : cases) {
    const auto configured = configure_chip(chip, c.choices);
    ASSERT_FALSE(configured);
    for (const std::string& part : c.in_message) {
      EXPECT_NE(configured.message().find(part), std::string::npos) << configured.message();
    }
  }
}

// The lines assemble, in front of nothing else, to the configured words at
// their addresses; fields left out keep their erased bits.
TEST(ConfigLines, AssembleToTheConfiguredWords) {
  const struct {
    const char* chip;
    const char* choices;
  } cases[] = {
      {"16F877A", "FOSC=XT,WDTE=OFF,PWRTE=ON,LVP=OFF"},
      {"16F886", "FOSC=INTRC_NOCLKOUT,WDTE=OFF,LVP=OFF,BOR4V=BOR21V"},
      {"12F675", "fosc=intrcio,cp=on"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chip);
    const ChipFacts chip = facts_of(c.chip);
    const auto choices = parse_config_choices(c.choices);
    ASSERT_TRUE(choices);
    const auto words = configure_chip(chip, *choices);
    ASSERT_TRUE(words) << words.message();
    const std::string lines = format_config_lines(chip, *words);
    for (const std::string& line : testing::split(lines, '\n')) {
      EXPECT_LE(line.size(), 49u) << line;  // 48 and the CR
    }
    std::size_t erased = 0;
    for (const ConfiguredWord& word : *words) {
      for (const auto& field : word.fields) {
        if (field.chosen) continue;
        ++erased;
        EXPECT_EQ(word.value & field.field->mask, word.word->blank & field.field->mask);
      }
    }
    EXPECT_GT(erased, 0u);

    testing::ScratchDir dir;
    testing::write_bytes(dir.path() / "config.as", lines);
    ProjectState project;
    project.entries = {(dir.path() / "config.as").string()};
    testing::RecordingHost host;
    Assembler assembler;
    const AssemblyResult result = assembler.assemble_project(project, host);
    ASSERT_EQ(result.outcome, AssemblyOutcome::completed);
    EXPECT_EQ(result.error_count, 0u);
    EXPECT_TRUE(result.diagnostics.empty());
    const std::string image = testing::read_bytes(dir.path() / "config.bin");
    for (const ConfiguredWord& word : *words) {
      const std::size_t at = std::size_t{2} * word.word->address;
      ASSERT_LT(at + 1, image.size());
      const auto value = static_cast<std::uint32_t>(static_cast<unsigned char>(image[at]) |
                                                    static_cast<unsigned char>(image[at + 1]) << 8);
      EXPECT_EQ(value, word.value) << word.word->name;
    }
  }
}

}  // namespace
}  // namespace korva
