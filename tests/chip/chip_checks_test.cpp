// A program checked against the chip its sources define: each finding a
// warning of its own kind at the line it concerns, the words as written.
#include "chip/chip_checks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "driver/assembly_service.h"
#include "test_support.h"

namespace korva {
namespace {

const std::filesystem::path kChipSources(KORVA_CHIP_SOURCES);

struct Found {
  DiagnosticKind kind;
  std::string where;  // "program.as:LINE", or "" for the whole program
  std::string text_has;
};

ServiceResult assemble_for(const char* chip, const std::string& program) {
  SourceSet sources;
  if (*chip != '\0') {
    EXPECT_TRUE(sources.add(std::string(chip) + ".inc",
                            testing::read_bytes(kChipSources / (std::string(chip) + ".inc"))));
  }
  EXPECT_TRUE(sources.add("program.as", program));
  AssemblyService service;
  return service.assemble(std::move(sources));
}

bool is_chip_check(DiagnosticKind kind) {
  return kind == DiagnosticKind::chip_words_beyond_memory ||
         kind == DiagnosticKind::chip_reservation_outside_gpr ||
         kind == DiagnosticKind::chip_config_bits_unset ||
         kind == DiagnosticKind::chip_config_missing;
}

TEST(ChipChecks, EachFindingIsAWarningOfItsKindAtItsLine) {
  const std::string config = "        ORG $2007\r\n        \\3F71\r\n";
  const struct {
    const char* chip;
    std::string program;
    std::vector<Found> found;
  } cases[] = {
      {"16F877A", "        NOP\r\n" + config, {}},
      {"16F877A",
       "        NOP\r\n",
       {{DiagnosticKind::chip_config_missing, "",
         "no configuration word: the 16F877A reads it at 2007"}}},
      // Bit 12 belongs to no field: clearing it is a mistake of the word.
      {"16F877A",
       "        ORG $2007\r\n        \\2F71\r\n",
       {{DiagnosticKind::chip_config_bits_unset, "program.as:2",
         "configuration word 2F71 at 2007 clears bit 12, which no setting of the 16F877A's "
         "CONFIG clears; 3F71 keeps them 1"}}},
      {"16F84A",
       "        ORG $3FE\r\n        NOP\r\n        NOP\r\n        NOP\r\n        NOP\r\n" + config,
       {{DiagnosticKind::chip_words_beyond_memory, "program.as:4",
         "program memory of the 16F84A ends at 03FF: 2 words lie beyond it, the first at 0400"}}},
      {"16F84A",
       "        RAM=0Ch\r\nXA::    [4]\r\n        RAM=4Eh\r\nXB::    [4]\r\nXC::    [1]\r\n" +
           config,
       {{DiagnosticKind::chip_reservation_outside_gpr, "program.as:4",
         "reservation 04E-051 reaches 050, outside the general purpose registers of the 16F84A "
         "(00C-04F 08C-0CF)"},
        {DiagnosticKind::chip_reservation_outside_gpr, "program.as:5",
         "reservation 052 is 052, outside"}}},
      // A second word of a chip with two is optional; the first is written.
      {"16F886", "        NOP\r\n        ORG $2007\r\n        \\2FF4\r\n", {}},
      // Without a chip nothing is checked.
      {"",
       "        ORG $3FE\r\n        NOP\r\n        NOP\r\n        NOP\r\n        RAM=7Fh\r\nB:: "
       "[4]\r\n",
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.chip) + "\n" + c.program);
    const ServiceResult result = assemble_for(c.chip, c.program);
    ASSERT_EQ(result.outcome, ServiceOutcome::completed) << result.message;
    std::vector<const Diagnostic*> checks;
    for (const Diagnostic& diagnostic : result.diagnostics) {
      if (is_chip_check(diagnostic.kind)) checks.push_back(&diagnostic);
    }
    ASSERT_EQ(checks.size(), c.found.size());
    for (std::size_t i = 0; i < checks.size(); ++i) {
      EXPECT_EQ(checks[i]->kind, c.found[i].kind);
      EXPECT_EQ(checks[i]->severity, Severity::warning);
      const std::string where =
          checks[i]->where.file.empty()
              ? ""
              : checks[i]->where.file + ":" + std::to_string(checks[i]->where.line);
      EXPECT_EQ(where, c.found[i].where) << checks[i]->text;
      EXPECT_NE(checks[i]->text.find(c.found[i].text_has), std::string::npos) << checks[i]->text;
    }
    EXPECT_EQ(result.chip.has_value(), *c.chip != '\0');
  }
}

// A check never changes a word: the image holds what the source wrote.
TEST(ChipChecks, WordsStayAsWritten) {
  const ServiceResult result = assemble_for("16F877A", "        ORG $2007\r\n        \\2F71\r\n");
  const std::string& image = result.image.bytes();
  ASSERT_EQ(image.size(), 2u * 0x2008);
  EXPECT_EQ(image.substr(std::size_t{2} * 0x2007), std::string("\x71\x2F", 2));
}

TEST(ChipChecks, BitListsJoinRuns) {
  const struct {
    std::uint32_t mask;
    const char* text;
  } cases[] = {{0x1000, "12"},
               {0x1030, "12, 5-4"},
               {0x0003, "1-0"},
               {0x2AAA, "13, 11, 9, 7, 5, 3, 1"},
               {0, ""}};
  for (const auto& c : cases) EXPECT_EQ(bit_list(c.mask), c.text) << c.mask;
}

}  // namespace
}  // namespace korva
