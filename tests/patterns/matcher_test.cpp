#include "patterns/matcher.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "patterns/pattern_table.h"

namespace korva {
namespace {

struct MatchCase {
  const char* statement;
  const char* pattern;  // the form that fits; empty with "syntax error"
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
  const PatternEntry* entry = match_statement(record);
  EXPECT_EQ(entry != nullptr ? entry->text : std::string_view(), c.pattern);
  // The record keeps the entry it fitted.
  EXPECT_EQ(pattern_of(record), entry);
  if (*c.pattern == '\0') {
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
        MatchCase{"SUB MAIN", "SUB @", "MAIN", "", ""},
        MatchCase{"W+(COUNT)>W", "W+@>@", "(COUNT)", "W", ""},
        MatchCase{"w+5>w", "W+@>@", "5", "w", ""}, MatchCase{"W+1>W", "@+1>@", "W", "W", ""},
        MatchCase{"(COUNT)+1>F", "@+1>@", "(COUNT)", "F", ""},
        MatchCase{"(20)+1>W(Z)->", "@+1>@(Z)->", "(20)", "W", ""},
        MatchCase{"(20)-1>F(Z)->", "@-1>@(Z)->", "(20)", "F", ""},
        MatchCase{"(20)-1(Z)->", "@-1(Z)->", "(20)", "", ""},
        MatchCase{"(20)+1", "@+1", "(20)", "", ""}, MatchCase{"(20)-1", "@-1", "(20)", "", ""},
        MatchCase{"(PORTA)_BIT3<1", "@_BIT@<1", "(PORTA)", "3", ""},
        MatchCase{"(3)_BIT2=1->", "@_BIT@=1->", "(3)", "2", ""},
        MatchCase{"(WVAL)>W", "@>@", "(WVAL)", "W", ""},
        MatchCase{"WVAL>W", "WV@>@", "AL", "W", ""},
        MatchCase{"W\\(X)>W", "W\\@>@", "(X)", "W", ""},
        MatchCase{"W^$0F>W", "W^@>@", "$0F", "W", ""}, MatchCase{"5-W>F", "@-W>@", "5", "F", ""},
        MatchCase{"RET 5>W", "RET @>@", "5", "W", ""}, MatchCase{"RET", "RET", "", "", ""},
        MatchCase{"RETI", "RETI", "", "", ""}, MatchCase{"RET 5", "", "", "", ""},
        MatchCase{"<<(5)<<->W", "<<@<<->@", "(5)", "W", ""},
        MatchCase{"<<(5)<<", "<<@<<", "(5)", "", ""}, MatchCase{">>(5)>>", ">>@>>", "(5)", "", ""},
        MatchCase{"/(5)>W", "/@>@", "(5)", "W", ""}, MatchCase{"00>W", "00>W", "", "", ""},
        MatchCase{"00>(5)", "00>@", "(5)", "", ""}, MatchCase{"nop", "NOP", "", "", ""},
        MatchCase{"ClrWdt", "CLRWDT", "", "", ""}, MatchCase{"===->LOOP", "===->@", "LOOP", "", ""},
        MatchCase{"EQU 5", "EQU@", " 5", "", ""}, MatchCase{"=5", "=@", "5", "", ""},
        MatchCase{"X=5", "", "", "", ""}, MatchCase{"DE 5", "DE @", "5", "", ""},
        MatchCase{"DE5", "", "", "", ""}, MatchCase{"W>(5)", "W>@", "(5)", "", ""},
        MatchCase{"5>W", "@>@", "5", "W", ""}, MatchCase{"ORG 100", "ORG@", " 100", "", ""},
        MatchCase{"SWAP (X)", "SWAP@", " (X)", "", ""},
        MatchCase{"SWAP(X)>W", "SWAP@>@", "(X)", "W", ""}, MatchCase{"[3]", "[@]", "3", "", ""},
        MatchCase{"RAM=20h", "RAM=@", "20h", "", ""}, MatchCase{"\\3FFF", "\\@", "3FFF", "", ""},
        MatchCase{"end macro (0)", "END MACRO@", " (0)", "", ""},
        MatchCase{"END SUB", "END SUB", "", "", ""}, MatchCase{"DELAY", "", "", "", ""},
        MatchCase{"W+(ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOP)>W", "W+@>@",
                  "(ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOP)", "W", ""}));

// The enhanced table: its forms where the classic ones leave errors, and the
// classic forms where they fit.
class MatchEnhanced : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchEnhanced, TakesTheFirstFittingEntryOfTheEnhancedTable) {
  const MatchCase& c = GetParam();
  LineRecord record;
  record.statement = c.statement;
  const PatternEntry* entry = match_statement(record, CoreFamily::enhanced);
  EXPECT_EQ(entry != nullptr ? entry->text : std::string_view(), c.pattern);
  EXPECT_EQ(pattern_of(record), entry);
  EXPECT_EQ(fitting_entry(c.statement, CoreFamily::enhanced), entry);
  if (entry == nullptr) return;
  EXPECT_EQ(record.operand1, c.operand1);
  EXPECT_EQ(record.operand2, c.operand2);
  EXPECT_EQ(record.operand3, c.operand3);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, MatchEnhanced,
    ::testing::Values(
        MatchCase{"FSR1+=-1", "@+=@", "FSR1", "-1", ""},
        MatchCase{"FSR0+=1", "@+=@", "FSR0", "1", ""},
        MatchCase{"-1[FSR0]>W", "@[@]>W", "-1", "FSR0", ""},
        MatchCase{"5[FSR1]<W", "@[@]<W", "5", "FSR1", ""},
        MatchCase{"++FSR0>W", "++@>W", "FSR0", "", ""},
        MatchCase{"FSR1-->W", "@-->W", "FSR1", "", ""},
        MatchCase{"W>FSR0--", "W>@--", "FSR0", "", ""},
        MatchCase{"W>++FSR1", "W>++@", "FSR1", "", ""}, MatchCase{"W>(X)", "W>@", "(X)", "", ""},
        MatchCase{"W>BSR", "W>@", "BSR", "", ""}, MatchCase{"5>BSR", "@>BSR", "5", "", ""},
        MatchCase{"8>pclath", "@>PCLATH", "8", "", ""}, MatchCase{"5>W", "@>@", "5", "W", ""},
        MatchCase{"-->W", "-->W", "", "", ""}, MatchCase{"-->LOOP", "-->@", "LOOP", "", ""},
        MatchCase{"===->LOOP", "===->@", "LOOP", "", ""},
        MatchCase{"(X)-W-(B)>W", "@-W-(B)>@", "(X)", "W", ""},
        MatchCase{"(X)-W>W", "@-W>@", "(X)", "W", ""},
        MatchCase{"W+(X)+(C)>F", "W+@+(C)>@", "(X)", "F", ""},
        MatchCase{"W+(X)>F", "W+@>@", "(X)", "F", ""}, MatchCase{"(X)-1", "@-1", "(X)", "", ""},
        MatchCase{"<<(X)<<0->W", "<<@<<0->@", "(X)", "W", ""},
        MatchCase{"<<(X)<<0", "<<@<<0", "(X)", "", ""},
        MatchCase{"<<(X)<<", "<<@<<", "(X)", "", ""},
        MatchCase{">>(X)>>S", ">>@>>S", "(X)", "", ""},
        MatchCase{">>(X)>>->W", ">>@>>->@", "(X)", "W", ""},
        MatchCase{"call w", "CALL W", "", "", ""},
        MatchCase{"RESET CHIP", "RESET CHIP", "", "", ""}, MatchCase{"RESET", "", "", "", ""},
        MatchCase{"DELAY", "", "", "", ""}, MatchCase{"END SUB", "END SUB", "", "", ""}));

TEST(MatchStatement, EmptyStatementIsARemark) {
  LineRecord record;
  record.error = "stale";
  record.pattern = 3;
  match_statement(record);
  EXPECT_EQ(record.kind, "rem");
  EXPECT_EQ(record.pattern, std::nullopt);
  EXPECT_EQ(record.error, "");
}

// What a record held before does not leak into the match: a record with
// stale fields gets what a fresh one gets, statement after statement.
TEST(MatchStatement, StaleFieldsDoNotChangeTheFit) {
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
  for (int round = 0; round < 2; ++round) {
    for (const char* statement : statements) {
      LineRecord expected;
      expected.statement = statement;
      match_statement(expected);
      LineRecord record;
      record.statement = statement;
      record.operand1 = record.operand2 = record.operand3 = "stale";
      record.error = record.kind = "stale";
      record.pattern = 7;
      match_statement(record);
      EXPECT_EQ(record.pattern, expected.pattern) << statement;
      EXPECT_EQ(record.error, expected.error) << statement;
      EXPECT_EQ(record.kind, expected.kind) << statement;
      if (expected.pattern) {
        EXPECT_EQ(record.operand1, expected.operand1) << statement;
        EXPECT_EQ(record.operand2, expected.operand2) << statement;
        EXPECT_EQ(record.operand3, expected.operand3) << statement;
      }
    }
  }
}

// ---- Letter case: the pieces of every entry, as a user may write them.

enum class Casing { as_defined, small, small_first, capital_first };

char small(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text with its letters in the given casing; the alternating casings
// count letters only, so that between them every letter is written small.
std::string cased(std::string_view text, Casing casing) {
  std::string result;
  std::size_t letters = 0;
  for (const char c : text) {
    const bool letter = small(c) != c;
    const bool make_small = casing == Casing::small ||
                            (casing == Casing::small_first && letters % 2 == 0) ||
                            (casing == Casing::capital_first && letters % 2 == 1);
    result += letter && make_small ? small(c) : c;
    letters += letter ? 1 : 0;
  }
  return result;
}

// A statement of the entry's form: fillers in its operand places (texts that
// contain no piece of any entry), its pieces in the given casing.
struct Built {
  std::string statement;
  std::vector<std::string> operands;  // packed to the left
};

Built built_statement(const PatternEntry& entry, Casing casing,
                      std::string_view second_piece_override = {}) {
  static constexpr std::array<std::string_view, 3> kFillers{"(X)", "(Yk)", "(J)"};
  Built built;
  const auto place = [&](std::size_t n) {
    built.statement += kFillers[n];
    built.operands.emplace_back(kFillers[n]);
  };
  if (entry.leading) place(0);
  built.statement += cased(entry.first_piece, casing);
  if (entry.middle) place(1);
  built.statement += second_piece_override.empty() ? cased(entry.second_piece, casing)
                                                   : std::string(second_piece_override);
  if (entry.trailing) place(2);
  return built;
}

void expect_fit(const std::string& statement, const PatternEntry& entry,
                const std::vector<std::string>& operands) {
  LineRecord record;
  record.statement = statement;
  const PatternEntry* fitted = match_statement(record);
  ASSERT_NE(fitted, nullptr) << '"' << statement << "\" fits no entry";
  EXPECT_EQ(fitted, &entry) << '"' << statement << "\" fits " << fitted->text << ", not "
                            << entry.text;
  EXPECT_EQ(pattern_of(record), &entry) << statement;
  const std::array<std::string, 3> got{record.operand1, record.operand2, record.operand3};
  for (std::size_t n = 0; n < got.size(); ++n) {
    EXPECT_EQ(got[n], n < operands.size() ? operands[n] : "") << statement << " operand " << n + 1;
  }
}

// Every entry fits a statement of its own form, and goes on fitting it when
// the pieces are written in small letters or in mixed case; the operands keep
// the case in which they were written.
TEST(MatchStatement, EveryFormFitsInAnyLetterCase) {
  for (const PatternEntry& entry : pattern_entries()) {
    for (const Casing casing :
         {Casing::as_defined, Casing::small, Casing::small_first, Casing::capital_first}) {
      const Built built = built_statement(entry, casing);
      expect_fit(built.statement, entry, built.operands);
      expect_fit(cased(built.statement, Casing::small), entry, [&] {
        std::vector<std::string> small_operands;
        for (const std::string& operand : built.operands) {
          small_operands.push_back(cased(operand, Casing::small));
        }
        return small_operands;
      }());
    }
  }
}

// Only the letters a to z are taken for capitals. A piece's sign or letter
// written as another byte, one that differs from it in the case bit or in
// the top bit (the half-width katakana and the first bytes of Shift-JIS
// characters), is not that piece.
TEST(MatchStatement, OtherBytesAreComparedAsTheyAre) {
  for (const PatternEntry& entry : pattern_entries()) {
    const Built built = built_statement(entry, Casing::as_defined);
    for (const std::string_view piece : {entry.first_piece, entry.second_piece}) {
      const std::size_t start = built.statement.find(piece, entry.leading ? 3 : 0);
      ASSERT_NE(start, std::string::npos) << entry.text;
      for (std::size_t i = start; i < start + piece.size(); ++i) {
        const auto byte = static_cast<unsigned char>(built.statement[i]);
        const bool letter = byte >= 'A' && byte <= 'Z';
        for (const unsigned other : {byte ^ 0x80u, letter ? byte ^ 0xA0u : byte ^ 0x20u}) {
          std::string statement = built.statement;
          statement[i] = static_cast<char>(other);
          LineRecord record;
          record.statement = statement;
          EXPECT_NE(match_statement(record), &entry)
              << '"' << statement << "\" (byte " << i << " made " << other << ") fits "
              << entry.text;
        }
      }
    }
  }
}

// Shift-JIS text in an operand is cut out byte for byte, even where a
// character's second byte is a small letter or a backslash.
TEST(MatchStatement, ShiftJisOperandsKeepTheirBytes) {
  const std::string katakana = "\xB6\xB3\xDD\xC0";              // half-width
  const std::string second_bytes = "\x83\x5C\x83\x61\x83\x7A";  // second bytes \ a z
  for (const std::string& name : {katakana, second_bytes}) {
    expect_fit("W+(" + name + ")>w", pattern_entries()[9], {"(" + name + ")", "w"});
    expect_fit("(" + name + ")+1>f(z)->", pattern_entries()[1], {"(" + name + ")", "f"});
    expect_fit("===->" + name, pattern_entries()[31], {name});
  }
}

// The operands a known entry cuts from a statement are the ones the match
// cut; an entry that does not fit the statement cuts none.
TEST(WrittenOperands, AKnownEntryCutsWhatTheMatchCut) {
  for (const char* statement : {"W+(COUNT)>F", "ORG 50", "DE 300", "\\XYZ1", "EQU  COUNT+1",
                                "(PORTA)_bit3<1", "===->LOOP", "RET 5>W", "SWAP (X)", "RAM=20h"}) {
    LineRecord record;
    record.statement = statement;
    const PatternEntry* entry = match_statement(record);
    ASSERT_NE(entry, nullptr) << statement;
    const std::array<std::string_view, 3> written = written_operands(*entry, statement);
    EXPECT_EQ(written[0], record.operand1.view()) << statement;
    EXPECT_EQ(written[1], record.operand2.view()) << statement;
    EXPECT_EQ(written[2], record.operand3.view()) << statement;
  }
  const PatternEntry& bit_set = kPatterns[23];  // @_BIT@<1
  for (const std::string_view statement : {"ORG 50", "(PORTA)_BIT3<0", ""}) {
    EXPECT_EQ(written_operands(bit_set, statement), (std::array<std::string_view, 3>{}))
        << statement;
  }
}

}  // namespace
}  // namespace korva
