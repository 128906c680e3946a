#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "resources/system_texts.h"
#include "source/statement_splitter.h"
#include "support/text.h"
#include "symbols/macro_table.h"
#include "symbols/pass1_lines.h"
#include "symbols/symbol_table.h"

namespace korva {
namespace {

// Runs pass 1's symbol collection over the lines; returns the first error
// text and, through `at`, the index of its line.
std::string collect(SymbolTable& table, const std::vector<std::string>& lines,
                    std::size_t* at = nullptr) {
  table.reset();
  LineRecord record;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string line = lines[i];
    split_statement(line, record);
    table.collect_symbols(record, i + 1);
    if (!record.error.empty()) {
      if (at != nullptr) *at = i;
      return record.error;
    }
  }
  return {};
}

std::vector<std::string> numbered(const char* prefix, std::size_t count, const char* suffix) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < count; ++i) {
    lines.push_back(prefix + std::to_string(i) + suffix);
  }
  return lines;
}

TEST(CollectSymbols, ReportsDuplicatesOnlyWithinOneScope) {
  const struct {
    const char* name;
    std::vector<std::string> lines;
    std::string_view error;  // empty: accepted
    std::size_t line = 0;
  } cases[] = {
      {"local label in two subroutines",
       {"SUB A", "LOOP: NOP", "END SUB", "SUB B", "LOOP: NOP", "END SUB"},
       ""},
      {"local label twice in one subroutine",
       {"SUB A", "LOOP: NOP", "LOOP: NOP"},
       texts::kDuplicateLabel,
       2},
      {"local label twice outside subroutines",
       {"L: NOP", "NOP", "L: NOP"},
       texts::kDuplicateLabel,
       2},
      {"local and global spelling differ", {"X: NOP", "X:: NOP"}, ""},
      {"global label in two subroutines", {"SUB A", "X:: NOP", "END SUB", "SUB B", "X:: NOP"}, ""},
      {"same subroutine twice", {"SUB A", "END SUB", "SUB B", "SUB A"}, texts::kDuplicateSub, 3},
      {"label on END SUB belongs to the subroutine",
       {"SUB A", "E: END SUB", "SUB B", "E: END SUB", "E: NOP"},
       ""},
      {"lower-case end sub ends the subroutine", {"SUB A", "L: NOP", "end sub", "L: NOP"}, ""},
      {"no scope change without END SUB", {"SUB A", "L: NOP", "L: NOP"}, texts::kDuplicateLabel, 2},
  };
  for (const auto& c : cases) {
    SymbolTable table;
    std::size_t at = 0;
    EXPECT_EQ(collect(table, c.lines, &at), c.error) << c.name;
    if (!c.error.empty()) {
      EXPECT_EQ(at, c.line) << c.name;
    }
  }
}

TEST(CollectSymbols, EntersSubroutinesAndLabelsInSourceOrder) {
  SymbolTable table;
  ASSERT_EQ(collect(table, {"S: SUB " + std::string(31, 'N') + "X", "L: NOP", "E: END SUB",
                            "G:: NOP", "NOP", "K EQU 1"}),
            "");
  const auto& entries = table.entries();
  ASSERT_EQ(entries.size(), 5u);  // the label on the SUB line is not entered
  const std::string sub(30, 'N');
  EXPECT_TRUE(entries[0].is_subroutine);
  EXPECT_EQ(entries[0].name, "");
  EXPECT_EQ(entries[0].subroutine, sub);
  EXPECT_EQ(entries[1].name, "L:");
  EXPECT_EQ(entries[1].subroutine, sub);
  EXPECT_EQ(entries[2].name, "E:");
  EXPECT_EQ(entries[2].subroutine, sub);
  EXPECT_EQ(entries[3].name, "G::");
  EXPECT_EQ(entries[3].subroutine, "");
  EXPECT_EQ(entries[4].name, "K::");
}

TEST(CollectSymbols, AcceptsAThousandSymbolsAndRefusesTheNext) {
  for (const char* extra : {"LAST: NOP", "SUB LAST"}) {
    SymbolTable table;
    std::vector<std::string> lines = numbered("L", 1000, ": NOP");
    EXPECT_EQ(collect(table, lines), "");
    lines.emplace_back(extra);
    std::size_t at = 0;
    EXPECT_EQ(collect(table, lines, &at), texts::kTooManySymbols) << extra;
    EXPECT_EQ(at, 1000u);
    EXPECT_EQ(table.entries().size(), 1000u);
  }
}

TEST(FindSymbol, EachLookupSearchesItsOwnScopeWhateverTheSubroutinesAreNamed) {
  // Subroutines named like the lookups of old keep their own labels.
  SymbolTable table;
  ASSERT_EQ(collect(table, {"LOOP: NOP", "SUB A", "LOOP: NOP", "LOOP:: NOP", "END SUB", "SUB sub",
                            "LOOP: NOP", "END SUB", "SUB Llab", "LOOP: NOP", "E: END SUB"}),
            "");
  const std::vector<Symbol> entries = table.entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    ASSERT_EQ(
        table.give_value(entries[i].origin, entries[i].is_subroutine, "00" + std::to_string(10 + i))
            .outcome,
        SymbolTable::Valuing::given);
  }
  enum class Lookup { subroutine, global, local, jump };
  const struct {
    Lookup lookup;
    const char* name;
    const char* subroutine;  // for the local and jump lookups
    const char* value;       // null: not found
  } cases[] = {
      {Lookup::local, "LOOP", "", "0010"},
      {Lookup::local, "LOOP", "A", "0012"},
      {Lookup::local, "LOOP", "sub", "0015"},
      {Lookup::local, "LOOP", "Llab", "0017"},
      {Lookup::local, "E", "Llab", "0018"},
      {Lookup::local, "LOOP", "B", nullptr},
      {Lookup::local, "loop", "", nullptr},
      {Lookup::local, "LOOP:", "", nullptr},
      {Lookup::global, "LOOP", "", "0013"},
      {Lookup::global, "loop", "", nullptr},
      {Lookup::global, "E", "", nullptr},
      {Lookup::subroutine, "A", "", "0011"},
      {Lookup::subroutine, "sub", "", "0014"},
      {Lookup::subroutine, "Llab", "", "0016"},
      {Lookup::subroutine, "a", "", nullptr},
      {Lookup::subroutine, "LOOP", "", nullptr},
      {Lookup::jump, "LOOP", "sub", "0015"},
      {Lookup::jump, "LOOP", "Llab", "0017"},
      {Lookup::jump, "E", "sub", nullptr},
      {Lookup::jump, "LOOP", "B", "0013"},  // no local LOOP: in B, so the global one
      {Lookup::jump, "LOOP", "", "0010"},
  };
  for (const auto& c : cases) {
    const Symbol* found = nullptr;
    switch (c.lookup) {
      case Lookup::subroutine:
        found = table.find_subroutine(c.name);
        break;
      case Lookup::global:
        found = table.find_global(c.name);
        break;
      case Lookup::local:
        found = table.find_local(c.name, c.subroutine);
        break;
      case Lookup::jump:
        found = table.find_jump_target(c.name, c.subroutine);
        break;
    }
    SCOPED_TRACE(std::string(c.name) + " in " + c.subroutine);
    if (c.value == nullptr) {
      EXPECT_EQ(found, nullptr) << found->value;
    } else {
      ASSERT_NE(found, nullptr);
      EXPECT_EQ(found->value, c.value);
    }
  }
}

TEST(GiveValue, TheNumberIsWhatTheStoredTextReads) {
  const struct {
    std::vector<std::string> texts;  // given one after the other to one label
    const char* value;
    std::optional<std::uint32_t> number;
  } cases[] = {
      {{"00Ab"}, "00Ab", 0xAB},
      {{"$XXXX"}, "$XXXX", 0},
      {{"FOO"}, "FOO", 0xF},             // an EQU operand that is no number, read as far as it goes
      {{"0000000001"}, "000000000", 0},  // cut to the value field first
      {{"-5"}, "-5", 0xFFFFFFFBu},
      {{""}, "", std::nullopt},
      {{"", "0012"}, "0012", 0x12},      // an empty text is no value yet
      {{"0012", "0034"}, "0012", 0x12},  // the first value stays
  };
  for (const auto& c : cases) {
    SymbolTable table;
    ASSERT_EQ(collect(table, {"K:: NOP"}), "");
    for (const std::string& text : c.texts) table.give_value(1, false, text);
    const Symbol* entry = table.find_global("K");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->value, c.value) << c.texts.back();
    EXPECT_EQ(entry->number, c.number) << c.texts.back();
  }
}

// Runs pass 1's macro collection; positions are the line numbers, counted
// from 1, so that a definition's span can be checked.
std::string collect_macros(MacroTable& table, const std::vector<std::string>& lines) {
  table.reset();
  LineRecord record;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string line = lines[i];
    split_statement(line, record);
    record.error.clear();
    table.collect_macro(record, i + 1);
    if (!record.error.empty()) return record.error;
  }
  return {};
}

TEST(CollectMacro, AcceptsAThousandDefinitionsAndCountsAgainAfterReset) {
  std::vector<std::string> lines;
  for (int i = 0; i < 1000; ++i) {
    lines.push_back("MACRO M" + std::to_string(i));
    lines.emplace_back("END MACRO");
  }
  MacroTable table;
  EXPECT_EQ(collect_macros(table, lines), "");
  EXPECT_EQ(collect_macros(table, lines), "");
  lines.emplace_back("macro LAST");
  EXPECT_EQ(collect_macros(table, lines), "");
  lines.emplace_back("end macro");
  EXPECT_EQ(collect_macros(table, lines), texts::kTooManyMacros);
}

TEST(CollectMacro, KeepsTheQuirksOfUncheckedDefinitions) {
  MacroTable table;
  // A header inside an open definition takes over the entry.
  collect_macros(table, {"MACRO OUTER", "NOP", "MACRO INNER", "NOP", "END MACRO"});
  EXPECT_EQ(table.find("OUTER"), nullptr);
  ASSERT_NE(table.find("INNER"), nullptr);
  EXPECT_EQ(table.find("INNER")->body_start, 3u);
  EXPECT_EQ(table.find("INNER")->body_end, 5u);

  // Two definitions of one name: the first is found.
  collect_macros(table, {"MACRO D", "END MACRO", "MACRO D", "NOP", "END MACRO"});
  ASSERT_NE(table.find("D"), nullptr);
  EXPECT_EQ(table.find("D")->body_start, 1u);
  EXPECT_EQ(table.find("d"), nullptr);

  // An END MACRO with no open definition hides every later definition.
  collect_macros(table, {"MACRO A", "END MACRO", "END MACRO", "MACRO B", "END MACRO"});
  EXPECT_NE(table.find("A"), nullptr);
  EXPECT_EQ(table.find("B"), nullptr);

  // END MACRO with more text does not close; with "MACRO " in it, it opens.
  collect_macros(table, {"MACRO A", "END MACRO X", "END MACRO"});
  EXPECT_EQ(table.find("A"), nullptr);
  ASSERT_NE(table.find("X"), nullptr);
  EXPECT_EQ(table.find("X")->body_start, 2u);
}

// Whether pass 1 acts on a line: what the splitter makes of it names a
// label, a subroutine or a macro, closes one, or ends the source.
bool pass1_acts_on(std::string_view raw) {
  std::string line;
  append_collapsed(line, raw);
  LineRecord record;
  split_statement(line, record);
  const std::string_view statement = record.statement;
  return !record.label.empty() || find_nocase(statement, "SUB ") != std::string_view::npos ||
         find_nocase(statement, "MACRO ") != std::string_view::npos ||
         equals_nocase(statement, "END SUB") || equals_nocase(statement, "END MACRO") ||
         line == "end";
}

// The rule the finder keeps, a byte at a time: a colon, or one of the
// words in any case, before the first semicolon.
bool named_before_remark(std::string_view raw) {
  const std::string_view code = raw.substr(0, raw.find(';'));
  return code.find(':') != std::string_view::npos ||
         find_nocase(code, "EQU") != std::string_view::npos ||
         find_nocase(code, "END") != std::string_view::npos ||
         find_nocase(code, "SUB") != std::string_view::npos ||
         find_nocase(code, "MAC") != std::string_view::npos;
}

TEST(Pass1Lines, HandsOutExactlyTheLinesThatNameSomethingBeforeTheirRemark) {
  // Texts of random lines built from pieces that name things, pieces that
  // almost do, remarks that would, and bytes that look like them: every
  // line pass 1 acts on must come out, with its place, and no other line
  // beyond the rule.
  std::uint32_t state = 2024;
  const auto next = [&state](std::uint32_t bound) {
    state = state * 1103515245 + 12345;
    return (state >> 16) % bound;
  };
  const char* const pieces[] = {
      "L1:",      "lab::",  " EQU 5",   "equ",         "K\tEqU",  "SUB ",      "sub\tx",
      "Su",       "B",      "MACRO M",  "mAcRo",       "END SUB", "end macro", "end",
      "END",      "eNd",    ";",        "; EQU : sub", ":",       "\t",        "  ",
      "W+5>W",    "PROC26", "SWAP(V7)", "e",           "s",       "m",         "M",
      "\x83\x3a", "\xc5QU", "\r",       "%ND",         "EQ"};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    struct Line {
      std::string bytes;
      std::size_t start;
      std::size_t next;
    };
    std::vector<Line> expected;
    const std::uint32_t line_count = 1 + next(12);
    for (std::uint32_t l = 0; l < line_count; ++l) {
      std::string raw;
      for (std::uint32_t p = next(7); p > 0; --p) raw += pieces[next(std::size(pieces))];
      const bool line_end = l + 1 < line_count || next(2) == 0;
      if (line_end && next(3) == 0) raw += '\r';
      const std::size_t start = text.size();
      text += raw;
      // A CR in front of the LF is not part of the line; elsewhere it is.
      std::size_t bytes = raw.size();
      if (line_end) {
        text += '\n';
        if (!raw.empty() && raw.back() == '\r') --bytes;
      }
      const std::string line = text.substr(start, bytes);
      // The rule never passes over a line that pass 1 acts on.
      EXPECT_TRUE(!pass1_acts_on(line) || named_before_remark(line)) << '"' << line << '"';
      if (named_before_remark(line)) expected.push_back(Line{line, start, text.size()});
    }
    Pass1Lines lines(text);
    for (const Line& want : expected) {
      const std::optional<RawLine> got = lines.next();
      ASSERT_TRUE(got.has_value()) << '"' << want.bytes << '"';
      EXPECT_EQ(got->bytes, want.bytes);
      EXPECT_EQ(got->start, want.start);
      EXPECT_EQ(got->next, want.next);
    }
    EXPECT_FALSE(lines.next().has_value());
  }
}

}  // namespace
}  // namespace korva
