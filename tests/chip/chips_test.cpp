// The chip definition files of chips/: each assembles in front of a program,
// every name it defines reads as the value it states wherever the notation
// takes a register, a bit or a literal, and the values are those of the
// gputils processor headers they were made from.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "driver/assembly_service.h"
#include "project/assembler.h"
#include "project/chip_files.h"
#include "symbols/symbol_table.h"
#include "test_support.h"
#include "tests/chip_test_support.h"
#include "tests/remark_expectations.h"

namespace korva {
namespace {

const std::filesystem::path kChipSources(KORVA_CHIP_SOURCES);
const std::filesystem::path kGputilsHeaders("/usr/share/gputils/header");

// A chip must leave at least this many symbols to the program.
constexpr std::size_t kSymbolsLeftToProgram = 400;

struct Definition {
  std::string name;
  int value = 0;
};

std::vector<std::string> chip_names() {
  return list_chips(kChipSources);
}

std::filesystem::path chip_path(const std::string& chip) {
  return kChipSources / (chip + ".inc");
}

// The NAME EQU VALUE lines of a chip file, values read as the file writes
// them ($ for hexadecimal, plain digits for decimal).
std::vector<Definition> definitions(const std::filesystem::path& file) {
  std::vector<Definition> result;
  for (const auto& [name, value] : testing::chip_file_definitions(file)) {
    result.push_back({name, static_cast<int>(value)});
  }
  return result;
}

std::string hex4(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
  return text;
}

// The chips that most programs are for, whose names are tried in every
// place the notation takes them; the others' names in one place each.
constexpr const char* kCommonChips[] = {"12F629", "12F675",  "16F627A", "16F628A", "16F648A",
                                        "16F84A", "16F873A", "16F874A", "16F876A", "16F877A",
                                        "16F88",  "16F886",  "16F887",  "16F690"};

bool is_common_chip(const std::string& chip) {
  return std::find(std::begin(kCommonChips), std::end(kCommonChips), chip) !=
         std::end(kCommonChips);
}

// Statements that use the name as a register, and, where the value allows,
// as a bit number and as a literal, each with the word it must give. With
// `every_place` false, one statement that shows the whole value: the
// literal where it fits a byte, otherwise the register.
std::map<std::string, std::string> probe_statements(const Definition& definition,
                                                    bool every_place) {
  std::map<std::string, std::string> probes;
  const int value = definition.value;
  if (!every_place && value <= 0xFF) {
    probes[definition.name + ">W"] = hex4(0x3000 + value);
    return probes;
  }
  probes["W>(" + definition.name + ")"] = hex4(0x0080 + (value & 0x7F));
  if (!every_place) return probes;
  if (value <= 7) probes["(0)_BIT" + definition.name + "<1"] = hex4(0x1400 + value * 0x80);
  if (value <= 0xFF) probes[definition.name + ">W"] = hex4(0x3000 + value);
  return probes;
}

class ChipFile : public ::testing::TestWithParam<std::string> {};

TEST(ChipFiles, CoverTheCommonChips) {
  const std::vector<std::string> chips = chip_names();
  for (const char* chip : kCommonChips) {
    EXPECT_NE(std::find(chips.begin(), chips.end(), chip), chips.end()) << chip;
  }
}

TEST_P(ChipFile, EveryNameReadsAsItsValueInFrontOfAProgram) {
  const std::filesystem::path chip = chip_path(GetParam());
  const std::vector<Definition> defined = definitions(chip);
  ASSERT_GE(defined.size(), 30u);

  std::map<std::string, std::string> expected;
  std::string program;
  for (const Definition& definition : defined) {
    for (const auto& [statement, code] : probe_statements(definition, is_common_chip(GetParam()))) {
      expected[statement] = code;
      program += "        " + statement + "\r\n";
    }
  }
  // In memory: a hundred and more chips are assembled, and the files of
  // an assembly are checked once below.
  SourceSet sources;
  ASSERT_TRUE(sources.add(chip.string(), testing::read_bytes(chip)));
  ASSERT_TRUE(sources.add("probe.as", program));
  ServiceOptions options;
  options.definition_files = 1;
  AssemblyService service;
  const ServiceResult result = service.assemble(std::move(sources), options);

  ASSERT_EQ(result.outcome, ServiceOutcome::completed) << result.message;
  EXPECT_TRUE(result.error_entries.empty());
  for (const Diagnostic& diagnostic : result.diagnostics) {
    EXPECT_NE(diagnostic.where.file, chip.string()) << diagnostic.text;
  }
  EXPECT_LE(service.symbols().entries().size(), SymbolTable::kCapacity - kSymbolsLeftToProgram);

  std::size_t checked = 0;
  for (const std::string& line : testing::split(result.listing, '\n')) {
    const std::vector<std::string> columns = testing::split(line, '\t');
    if (columns.size() < 4) continue;
    const auto probe = expected.find(columns[3]);
    if (probe == expected.end()) continue;
    EXPECT_EQ(columns[1], probe->second) << columns[3];
    ++checked;
  }
  EXPECT_EQ(checked, expected.size());
}

// The outputs of a program assembled with a chip's definitions in front
// are named after the program, never after the chip file.
TEST(ChipFiles, OutputsAreNamedAfterTheProgram) {
  const std::filesystem::path chip = chip_path("16F84A");
  testing::ScratchDir dir;
  testing::write_bytes(dir.path() / "probe.as", "        W>(PORTB)\r\n");
  ProjectState project;
  project.entries = {chip.string(), (dir.path() / "probe.as").string()};
  project.leading_entries = 1;
  testing::RecordingHost host;
  Assembler assembler;
  const AssemblyResult result = assembler.assemble_project(project, host);
  ASSERT_EQ(result.outcome, AssemblyOutcome::completed) << result.message;
  EXPECT_EQ(result.error_count, 0u);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "probe.bin"));
  EXPECT_FALSE(std::filesystem::exists(kChipSources / "16F84A.obj"));
  ASSERT_TRUE(result.chip);
  EXPECT_EQ(result.chip->name, "16F84A");
  EXPECT_EQ(result.chip->program.last, 0x3FFu);
}

// The chip is known the same when its file is an ordinary entry of the
// project (in the window, the project's first file), and unknown without.
TEST(ChipFiles, ChipIsKnownFromAFileInTheProject) {
  testing::ScratchDir dir;
  testing::write_bytes(dir.path() / "probe.as", "        W>(GPIO)\r\n");
  for (const bool with_chip : {true, false}) {
    ProjectState project;
    if (with_chip) project.entries.push_back(chip_path("12F675").string());
    project.entries.push_back((dir.path() / "probe.as").string());
    testing::RecordingHost host;
    Assembler assembler;
    const AssemblyResult result = assembler.assemble_project(project, host);
    ASSERT_EQ(result.outcome, AssemblyOutcome::completed) << result.message;
    EXPECT_EQ(result.chip.has_value(), with_chip);
    if (with_chip) {
      EXPECT_EQ(result.chip->name, "12F675");
    }
  }
}

// The values against the gputils header the file was made from, read
// independently of the generator: every name the file defines has the same
// value there.
TEST_P(ChipFile, ValuesAreThoseOfTheGputilsHeader) {
  std::string lower = GetParam();
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::filesystem::path header = kGputilsHeaders / ("p" + lower + ".inc");
  if (!std::filesystem::exists(header)) {
    GTEST_SKIP() << "gputils is not installed: " << header << " is missing";
  }
  const std::map<std::string, std::uint32_t> header_values = testing::gputils_header_values(header);
  for (const Definition& definition : definitions(chip_path(GetParam()))) {
    const auto found = header_values.find(definition.name);
    ASSERT_NE(found, header_values.end()) << definition.name << " is not in " << header;
    EXPECT_EQ(found->second, static_cast<std::uint32_t>(definition.value)) << definition.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Chips, ChipFile, ::testing::ValuesIn(chip_names()),
                         [](const auto& test) { return "PIC" + test.param; });

// Finding the chip files: an installed program looks in share/korva/chips,
// the build tree in chips/ beside the program, and the environment's folder
// replaces both.
TEST(ChipLookup, SearchesInstalledPlaceThenBuildTreeUnlessOverridden) {
  const std::filesystem::path program = "/opt/korva/bin/korva-asm";
  EXPECT_EQ(
      chip_directories(program, ""),
      (std::vector<std::filesystem::path>{"/opt/korva/share/korva/chips", "/opt/korva/bin/chips"}));
  EXPECT_EQ(chip_directories(program, "/elsewhere"),
            (std::vector<std::filesystem::path>{"/elsewhere"}));
}

TEST(ChipLookup, NamesIgnoreCaseAndAnOptionalPicPrefix) {
  testing::ScratchDir dir;
  testing::write_bytes(dir.path() / "16F877A.inc", "");
  testing::write_bytes(dir.path() / "12F675.inc", "");
  testing::write_bytes(dir.path() / "notes.txt", "");
  std::filesystem::create_directory(dir.path() / "16F84A.inc");
  EXPECT_EQ(list_chips(dir.path()), (std::vector<std::string>{"12F675", "16F877A"}));
  EXPECT_EQ(first_directory({dir.path() / "none", dir.path()}), dir.path());
  EXPECT_EQ(first_directory({dir.path() / "none"}), std::nullopt);

  const struct {
    const char* written;
    const char* file;  // empty: not found
  } cases[] = {
      {"16F877A", "16F877A.inc"},
      {"16f877a", "16F877A.inc"},
      {"PIC16F877A", "16F877A.inc"},
      {"pic12f675", "12F675.inc"},
      {"16F877", ""},
      {"PIC", ""},
      {"", ""},
      {"16F84A", ""},
      {"notes", ""},
  };
  for (const auto& c : cases) {
    const std::optional<std::filesystem::path> found = find_chip(dir.path(), c.written);
    if (*c.file == '\0') {
      EXPECT_EQ(found, std::nullopt) << c.written;
    } else {
      EXPECT_EQ(found, dir.path() / c.file) << c.written;
    }
  }
}

TEST(ChipLookup, NearestChipsShareTheLongestStart) {
  const std::vector<std::string> known = {"12F675", "16F84A", "16F877", "16F877A", "16F88"};
  const struct {
    const char* written;
    std::vector<std::string> nearest;
  } cases[] = {
      {"16F877B", {"16F877", "16F877A"}},
      {"pic16f8", {"16F84A", "16F877", "16F877A", "16F88"}},
      {"12F629", {"12F675"}},
      {"18F452", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(nearest_chips(known, c.written), c.nearest) << c.written;
}

}  // namespace
}  // namespace korva
