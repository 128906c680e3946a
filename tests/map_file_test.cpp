// The map file's text: symbol lists, memory use by page and bank, and the
// largest and smallest subroutine.
#include "driver/map_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// Words 0 to `count` - 1 written by line 1 of the first file.
std::vector<std::optional<SourcePlace>> words(std::size_t count) {
  return std::vector<std::optional<SourcePlace>>(count, SourcePlace{0, 1});
}

TEST(MapFile, ListsSymbolsByNameAndByValueAndSumsTheMemory) {
  ProgramFacts facts;
  facts.files = {"main.as", "lib.inc"};
  facts.word_places = words(12);
  facts.word_places[3].reset();  // an ORG gap is not used memory
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
  facts.word_places = words(0x802);  // two words on page 1
  facts.word_places[0x7FF].reset();
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
}  // namespace korva
