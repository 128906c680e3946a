// The map file's text: symbol lists, memory use by page and bank, and the
// largest and smallest subroutine.
#include "outputs/map_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "driver/assembly_service.h"
#include "test_support.h"
#include "word_places_support.h"

namespace korva {
namespace {

std::string crlf(std::initializer_list<std::string_view> each) {
  std::string text;
  for (std::string_view line : each) (text += line) += "\r\n";
  return text;
}

ProgramSymbol symbol(std::string name, SymbolKind kind, std::optional<std::uint32_t> value,
                     std::uint32_t line, std::string scope = {},
                     std::optional<std::uint32_t> size = std::nullopt) {
  ProgramSymbol s;
  s.name = std::move(name);
  s.kind = kind;
  s.global = scope.empty() && kind != SymbolKind::local_label;
  s.scope = std::move(scope);
  s.value = value;
  s.size = size;
  s.place = SourcePlace{0, line};
  return s;
}

// Words 0 to `count` - 1 written by line 1 of the first file, but for the
// words in `gaps`.
WordPlaces words(std::size_t count, std::initializer_list<std::size_t> gaps = {}) {
  std::vector<std::optional<SourcePlace>> each(count, SourcePlace{0, 1});
  for (std::size_t gap : gaps) each[gap].reset();
  return testing::word_places_of(each);
}

TEST(MapFile, ListsSymbolsByNameAndByValueAndSumsTheMemory) {
  ProgramFacts facts;
  facts.files = {"main.as", "lib.inc"};
  facts.word_places = words(12, {3});  // an ORG gap is not used memory
  facts.symbols = {
      symbol("START", SymbolKind::global_label, 0, 3),
      symbol("WAIT", SymbolKind::subroutine, 5, 9, {}, 7),
      symbol("LOOP", SymbolKind::local_label, 6, 10, "WAIT"),
      symbol("COUNT", SymbolKind::reservation, 0x20, 2, {}, 2),
      symbol("LIMIT", SymbolKind::constant, 0x64, 1),
      symbol("NEVER", SymbolKind::global_label, std::nullopt, 12),
      symbol("SHORT", SymbolKind::subroutine, 2, 13, {}, 1),
  };
  facts.symbols[4].place = SourcePlace{1, 4};
  facts.reservations = {{0x20, 2}};

  EXPECT_EQ(map_file_text(facts, "demo"),
            crlf({
                "KORVA map of demo",
                "",
                "Sources",
                "  1  main.as",
                "  2  lib.inc",
                "",
                "Symbols by name",
                "  name   kind          scope  value  size  defined at",
                "  COUNT  reservation   -      0020      2  main.as:2",
                "  LIMIT  constant      -      0064      -  lib.inc:4",
                "  LOOP   local-label   WAIT   0006      -  main.as:10",
                "  NEVER  global-label  -      -         -  main.as:12",
                "  SHORT  subroutine    -      0002      1  main.as:13",
                "  START  global-label  -      0000      -  main.as:3",
                "  WAIT   subroutine    -      0005      7  main.as:9",
                "",
                "Symbols by value",
                "  name   kind          scope  value  size  defined at",
                "  START  global-label  -      0000      -  main.as:3",
                "  SHORT  subroutine    -      0002      1  main.as:13",
                "  WAIT   subroutine    -      0005      7  main.as:9",
                "  LOOP   local-label   WAIT   0006      -  main.as:10",
                "  COUNT  reservation   -      0020      2  main.as:2",
                "  LIMIT  constant      -      0064      -  lib.inc:4",
                "  NEVER  global-label  -      -         -  main.as:12",
                "",
                "Program memory (words)",
                "  page  addresses  used",
                "     0  0000-07FF    11",
                "   all               11",
                "  highest address  000B",
                "",
                "Data memory reserved (bytes)",
                "  bank  addresses  reserved",
                "     0  0000-007F         2",
                "   all                    2",
                "",
                "Subroutines (words)",
                "            name   start  size  defined at",
                "  largest   WAIT   0005      7  main.as:9",
                "  smallest  SHORT  0002      1  main.as:13",
            }));
}

// Finds the line of a section that starts with `first` (after the indent).
std::string line_starting(const std::string& text, std::string_view section,
                          std::string_view first) {
  const std::size_t from = text.find(section);
  const std::size_t at = text.find("\r\n  " + std::string(first), from);
  if (from == std::string::npos || at == std::string::npos) return {};
  const std::size_t begin = at + 2;
  return text.substr(begin, text.find("\r\n", begin) - begin);
}

TEST(MapFile, CountsWordsPerPageAndBytesPerBankAcrossTheirBounds) {
  ProgramFacts facts;
  facts.word_places = words(0x802, {0x7FF});  // two words on page 1
  // 7E and 7F in bank 0, 80 to 82 in bank 1; and one byte in bank 3.
  facts.reservations = {{0x7E, 5}, {0x1A0, 1}};
  const std::string text = map_file_text(facts, "p");
  EXPECT_EQ(line_starting(text, "Program memory", "   0"), "     0  0000-07FF  2047");
  EXPECT_EQ(line_starting(text, "Program memory", "   1"), "     1  0800-0FFF     2");
  EXPECT_EQ(line_starting(text, "Program memory", " all"), "   all             2049");
  EXPECT_EQ(line_starting(text, "Program memory", "highest"), "  highest address  0801");
  EXPECT_EQ(line_starting(text, "Data memory", "   0"), "     0  0000-007F         2");
  EXPECT_EQ(line_starting(text, "Data memory", "   1"), "     1  0080-00FF         3");
  EXPECT_EQ(line_starting(text, "Data memory", "   2"), "     2  0100-017F         0");
  EXPECT_EQ(line_starting(text, "Data memory", "   3"), "     3  0180-01FF         1");
  EXPECT_EQ(line_starting(text, "Data memory", " all"), "   all                    6");
}

TEST(MapFile, EmptyProgramHasPageZeroBankZeroAndNoSubroutine) {
  const std::string text = map_file_text(ProgramFacts{}, "empty");
  EXPECT_NE(text.find("     0  0000-07FF     0\r\n   all                0\r\n"
                      "  highest address  -\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("     0  0000-007F         0\r\n"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("Subroutines (words)\r\n  none\r\n")) << text;
}

TEST(MapFile, FirstOfEqualSubroutinesIsBothLargestAndSmallestWhenAlone) {
  ProgramFacts facts;
  facts.files = {"a.as"};
  facts.symbols = {symbol("A", SymbolKind::subroutine, 0, 1, {}, 3),
                   symbol("B", SymbolKind::subroutine, 3, 5, {}, 3),
                   symbol("C", SymbolKind::subroutine, std::nullopt, 9)};  // never assembled
  const std::string text = map_file_text(facts, "p");
  EXPECT_EQ(line_starting(text, "Subroutines", "largest"), "  largest   A     0000      3  a.as:1");
  EXPECT_EQ(line_starting(text, "Subroutines", "smallest"),
            "  smallest  A     0000      3  a.as:1");
}

}  // namespace
// The memory of the map of a program assembled behind a chip's definitions,
// with blanks collapsed: the chip's pages only, the words beyond them, the
// configuration, ID and EEPROM words apart, every bank with its general
// purpose registers.
std::string chip_map(const char* chip, const std::string& program) {
  SourceSet sources;
  const std::filesystem::path file =
      std::filesystem::path(KORVA_CHIP_SOURCES) / (std::string(chip) + ".inc");
  if (*chip != '\0') {
    EXPECT_TRUE(sources.add(std::string(chip) + ".inc", testing::read_bytes(file)));
  }
  EXPECT_TRUE(sources.add("program.as", program));
  ServiceOptions options;
  options.extra_outputs.map = true;
  AssemblyService service;
  std::string map = service.assemble(std::move(sources), options).map_file;
  std::string collapsed;
  for (const char c : map) {
    if (c == ' ' && !collapsed.empty() && collapsed.back() == ' ') continue;
    if (c != '\r') collapsed += c;
  }
  return collapsed;
}

TEST(MapFile, ChipLaysOutTheMemoryByTheChip) {
  const std::string program =
      "        RAM=0Ch\r\nPAIR:: [2]\r\n        RAM=8Ch\r\nHIGH:: [1]\r\n"
      "        NOP\r\n        ORG $3FE\r\n        NOP\r\n        NOP\r\n        NOP\r\n"
      "        ORG $2000\r\n        \\0005\r\n        ORG $2007\r\n        \\3FF1\r\n"
      "        ORG $2100\r\n        \\0041\r\n        \\0042\r\n";
  const struct {
    const char* chip;
    std::vector<std::string> has;
    std::vector<std::string> has_not;
  } cases[] = {
      {"16F84A",
       {std::string("Program memory of the 16F84A (words)\n page addresses size used\n") +
            " 0 0000-03FF 1024 3\n all 1024 3\n beyond 0400-1FFF 0 1\n highest address 03FF\n",
        " CONFIG 2007-2007 1 3FF1\n", " ID 2000-2003 1 0005\n", " EEPROM 2100-213F 2 -\n",
        std::string(
            "Data memory of the 16F84A (bytes)\n bank addresses general-purpose reserved\n") +
            " 0 0000-007F 000C-004F 2\n 1 0080-00FF 008C-00CF 1\n all 3\n"},
       {"Program memory (words)", "0800-0FFF", "Data memory reserved"}},
      // Without a chip the map counts every word by 2K page, as it always has.
      {"",
       {"Program memory (words)\n", " 4 2000-27FF ", "Data memory reserved (bytes)\n"},
       {"of the", "CONFIG"}},
  };
  for (const auto& c : cases) {
    const std::string map = chip_map(c.chip, program);
    for (const std::string& part : c.has)
      EXPECT_NE(map.find(part), std::string::npos) << part << "\n" << map;
    for (const std::string& part : c.has_not) EXPECT_EQ(map.find(part), std::string::npos) << part;
  }
}

// An enhanced chip's buffer in linear data memory is counted on a line of
// its own, and the banks stay the chip's 32.
TEST(MapFile, LinearDataMemoryHasALineOfItsOwn) {
  const std::string map =
      chip_map("16F1827",
               "        RAM=2000h\r\nBUF:: [200]\r\n        RAM=20h\r\nX:: [1]\r\n        NOP\r\n");
  for (const char* part :
       {" 0 0000-007F 0020-006F,0070-007F 1\n",
        " 31 0F80-0FFF 0FF0-0FFF 0\n linear 2000-216F 2000-216F 200\n all 201\n"}) {
    EXPECT_NE(map.find(part), std::string::npos) << part << "\n" << map;
  }
  EXPECT_EQ(map.find(" 32 1000-107F"), std::string::npos) << map;
}

}  // namespace korva
