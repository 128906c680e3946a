#include "patterns/matcher.h"

#include <gtest/gtest.h>

#include <string>

#include "patterns/pattern_table.h"

namespace korva {
namespace {

struct MatchCase {
  const char* statement;
  const char* key;  // empty with "syntax error"
  const char* operand1;
  const char* operand2;
  const char* operand3;
};

class MatchStatement : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchStatement, TakesTheFirstFittingEntryAndPacksItsOperands) {
  const MatchCase& c = GetParam();
  LineRecord record;
  record.statement = c.statement;
  record.error = "stale";
  record.kind = "stale";
  record.operand1 = record.operand2 = record.operand3 = "stale";
  match_statement(record);
  EXPECT_EQ(record.pattern_key, c.key);
  if (*c.key == '\0') {
    EXPECT_EQ(record.error, "syntax error");
    EXPECT_EQ(record.kind, "");
    return;
  }
  EXPECT_EQ(record.error, "");
  EXPECT_EQ(record.kind, "");
  EXPECT_EQ(record.operand1, c.operand1);
  EXPECT_EQ(record.operand2, c.operand2);
  EXPECT_EQ(record.operand3, c.operand3);
  EXPECT_EQ(record.statement, c.statement);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, MatchStatement,
    ::testing::Values(
        MatchCase{"SUB MAIN", "S0000    ", "MAIN", "", ""},
        MatchCase{"W+(COUNT)>W", "N073EADD ", "(COUNT)", "W", ""},
        MatchCase{"w+5>w", "N073EADD ", "5", "w", ""},
        MatchCase{"W+1>W", "N0A00INC ", "W", "W", ""},
        MatchCase{"(COUNT)+1>F", "N0A00INC ", "(COUNT)", "F", ""},
        MatchCase{"(20)+1>W(Z)->", "N0F00INC ", "(20)", "W", ""},
        MatchCase{"(20)-1>F(Z)->", "N0B00INC ", "(20)", "F", ""},
        MatchCase{"(20)-1(Z)->", "N0B00INC ", "(20)", "", ""},
        MatchCase{"(20)+1", "N0A00INC ", "(20)", "", ""},
        MatchCase{"(20)-1", "N0300INC ", "(20)", "", ""},
        MatchCase{"(PORTA)_BIT3<1", "b1400BSF ", "(PORTA)", "3", ""},
        MatchCase{"(3)_BIT2=1->", "b1C00BTF ", "(3)", "2", ""},
        MatchCase{"(WVAL)>W", "N0830MOV ", "(WVAL)", "W", ""},
        MatchCase{"WVAL>W", "N0438OR  ", "AL", "W", ""},
        MatchCase{"W\\(X)>W", "N063AXOR ", "(X)", "W", ""},
        MatchCase{"W^$0F>W", "N0539AND ", "$0F", "W", ""},
        MatchCase{"5-W>F", "N023CSUB ", "5", "F", ""},
        MatchCase{"RET 5>W", "NFF34RETK", "5", "W", ""}, MatchCase{"RET", "I0008RET ", "", "", ""},
        MatchCase{"RETI", "I0009RETI", "", "", ""}, MatchCase{"RET 5", "", "", "", ""},
        MatchCase{"<<(5)<<->W", "N0D00RLF ", "(5)", "W", ""},
        MatchCase{"<<(5)<<", "N0D00RLF ", "(5)", "", ""},
        MatchCase{">>(5)>>", "N0C00RRF ", "(5)", "", ""},
        MatchCase{"/(5)>W", "N0900COM ", "(5)", "W", ""},
        MatchCase{"00>W", "I0100CLR ", "", "", ""}, MatchCase{"00>(5)", "N0100CLR ", "(5)", "", ""},
        MatchCase{"nop", "I0000NOP ", "", "", ""}, MatchCase{"ClrWdt", "I0064CWDT", "", "", ""},
        MatchCase{"===->LOOP", "B2800JP  ", "LOOP", "", ""},
        MatchCase{"EQU 5", "E0000EQU ", " 5", "", ""}, MatchCase{"=5", "E0000    ", "5", "", ""},
        MatchCase{"X=5", "", "", "", ""}, MatchCase{"DE 5", "D0000DE  ", "5", "", ""},
        MatchCase{"DE5", "", "", "", ""}, MatchCase{"W>(5)", "N0000MOV ", "(5)", "", ""},
        MatchCase{"5>W", "N0830MOV ", "5", "W", ""},
        MatchCase{"ORG 100", "O0000ORG ", " 100", "", ""},
        MatchCase{"SWAP (X)", "N0E00SWP ", " (X)", "", ""},
        MatchCase{"SWAP(X)>W", "N0E00SWP ", "(X)", "W", ""},
        MatchCase{"[3]", "M0000MEM ", "3", "", ""},
        MatchCase{"RAM=20h", "r0000RAM ", "20h", "", ""},
        MatchCase{"\\3FFF", "\\0000    ", "3FFF", "", ""},
        MatchCase{"end macro (0)", "R0000    ", " (0)", "", ""},
        MatchCase{"END SUB", "I0008RET ", "", "", ""}, MatchCase{"DELAY", "", "", "", ""},
        MatchCase{"W+(ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOP)>W", "N073EADD ",
                  "(ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOP)", "W", ""}));

TEST(MatchStatement, EmptyStatementIsARemark) {
  LineRecord record;
  record.error = "stale";
  record.pattern_key = "stale";
  match_statement(record);
  EXPECT_EQ(record.kind, "rem");
  EXPECT_EQ(record.pattern_key, "");
  EXPECT_EQ(record.error, "");
}

// The matcher that remembers fits gives every statement what match_statement
// gives it, the first time and when the statement comes again, also among
// statements that differ only in letter case or in one character.
TEST(StatementMatcher, RemembersFitsWithoutChangingThem) {
  const char* const statements[] = {"W+(COUNT)>W",
                                    "w+(COUNT)>w",
                                    "W+(COUNT)>F",
                                    "W+(COUNT)>",
                                    "(20)+1>W(Z)->",
                                    "(20)+1",
                                    "(PORTA)_BIT3<1",
                                    "(PORTA)_bit3<1",
                                    "(PORTA)_BIT3<0",
                                    "RET",
                                    "RETI",
                                    "RET 5",
                                    "RET 5>W",
                                    "DELAY",
                                    "delay",
                                    "",
                                    "===->LOOP",
                                    "EQU 5",
                                    "ORG 100",
                                    "SWAP (X)",
                                    "end macro (0)",
                                    "W+(ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOP)>W",
                                    "\\3FFF",
                                    "DE5",
                                    "X=5",
                                    "00>W"};
  StatementMatcher matcher;
  for (int round = 0; round < 3; ++round) {
    for (const char* statement : statements) {
      LineRecord expected;
      expected.statement = statement;
      match_statement(expected);
      LineRecord record;
      record.statement = statement;
      record.operand1 = record.operand2 = record.operand3 = "stale";
      record.error = record.kind = record.pattern_key = "stale";
      matcher.match(record);
      EXPECT_EQ(record.pattern_key, expected.pattern_key) << statement;
      EXPECT_EQ(record.error, expected.error) << statement;
      EXPECT_EQ(record.kind, expected.kind) << statement;
      if (!expected.pattern_key.empty()) {
        EXPECT_EQ(record.operand1, expected.operand1) << statement;
        EXPECT_EQ(record.operand2, expected.operand2) << statement;
        EXPECT_EQ(record.operand3, expected.operand3) << statement;
      }
    }
  }
}

TEST(PatternTable, HoldsFortyFiveEntriesCutAtTheirOperandPlaces) {
  // The texts, joined with a comma after each, are the 699 characters of the
  // table as the notation defines it.
  std::size_t characters = 0;
  for (std::string_view text : kPatternTexts) characters += text.size() + 1;
  EXPECT_EQ(characters, 699u);
  EXPECT_EQ(pattern_entries().size(), 45u);

  const PatternEntry& inc = pattern_entries()[1];  // "@+1>@(Z)->"
  EXPECT_EQ(inc.key, "N0F00INC ");
  EXPECT_TRUE(inc.leading && inc.middle && !inc.trailing);
  EXPECT_EQ(inc.first_piece, "+1>");
  EXPECT_EQ(inc.second_piece, "(Z)->");
  const PatternEntry& add = pattern_entries()[9];  // "W+@>@"
  EXPECT_TRUE(!add.leading && add.middle && add.trailing);
  EXPECT_EQ(add.second_piece, ">");
  const PatternEntry& nop = pattern_entries()[30];
  EXPECT_TRUE(!nop.leading && !nop.middle && !nop.trailing);
  EXPECT_EQ(nop.first_piece, "NOP");
  EXPECT_EQ(pattern_entries()[40].first_piece, "SUB ");
  EXPECT_EQ(pattern_entries()[44].first_piece, "END SUB");
}

}  // namespace
}  // namespace korva
