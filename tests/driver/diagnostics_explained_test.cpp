// What each diagnostic says beyond the listing's short error text: its kind,
// the columns and the name of the offending text, why it is wrong, the
// notes, and how the terminal shows it.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cli/terminal_diagnostics.h"
#include "driver/diagnostic_explainer.h"
#include "project/assembler.h"
#include "project/chip_files.h"
#include "project_assembly.h"
#include "resources/system_texts.h"
#include "system/text_encoding.h"
#include "test_support.h"

namespace korva {
namespace {

using testing::ScratchDir;

// The first error of an assembly of `source` (UTF-8, stored as CP932).
Diagnostic first_error(const std::string& source) {
  ScratchDir dir;
  const testing::Assembly run = testing::assemble(dir, {{"a.as", utf8_to_cp932(source)}});
  for (const Diagnostic& diagnostic : run.result.diagnostics) {
    if (diagnostic.severity == Severity::error) return diagnostic;
  }
  ADD_FAILURE() << "no error for " << source;
  return {};
}

struct ErrorCase {
  const char* source;
  DiagnosticKind kind;
  std::size_t line;
  std::size_t column;  // 0: no span
  std::size_t length;
  const char* name;
  const char* explanation;
  bool undefined = false;
};

void check(const ErrorCase& c, const Diagnostic& d) {
  SCOPED_TRACE(c.source);
  EXPECT_EQ(d.kind, c.kind);
  EXPECT_EQ(d.severity, Severity::error);
  EXPECT_EQ(d.where.line, c.line);
  if (c.column == 0) {
    EXPECT_FALSE(d.span.has_value());
  } else {
    EXPECT_TRUE(d.span.has_value());
    EXPECT_EQ(d.span.value_or(ColumnSpan{0, 0}).column, c.column);
    EXPECT_EQ(d.span.value_or(ColumnSpan{0, 0}).length, c.length);
  }
  EXPECT_EQ(cp932_to_utf8(d.name), c.name);
  EXPECT_EQ(cp932_to_utf8(d.explanation), c.explanation);
  EXPECT_EQ(d.name_undefined, c.undefined);
}

// The explanations, hints and columns of the errors of passes 2 and 3 stand
// in tests/cases/explanations; here, what the case files do not show: the
// name each error blames and whether it is defined anywhere.
TEST(DiagnosticsExplained, ErrorsNameTheirCulprit) {
  const struct {
    const char* source;
    const char* name;
    bool undefined;
  } cases[] = {
      {"===->NOWHERE\r\n", "NOWHERE", true},
      {"SUB S\r\nRET\r\nEND SUB\r\n===->S\r\n", "S", false},
      {"        00>(TRISB)\r\n", "TRISB", true},
      {"K EQU 1\r\nW+(K+ZZ-Q)>W\r\n", "ZZ", true},
      {"K EQU 1\r\nW+(K  + 1)>W\r\n", "K", false},
      {"(3)_BIT(5)<1\r\n", "(5)", false},
      {"SWAP5>W\r\n", "5", false},
      {"foo\r\n", "foo", false},
  };
  for (const auto& c : cases) {
    const Diagnostic d = first_error(c.source);
    EXPECT_EQ(cp932_to_utf8(d.name), c.name) << c.source;
    EXPECT_EQ(d.name_undefined, c.undefined) << c.source;
  }
}

// Pass 1 stops at its first error; the diagnostic says which name and,
// for a name defined twice, where it was defined first.
TEST(DiagnosticsExplained, EveryErrorOfPassOne) {
  std::string symbols;
  for (int i = 0; i <= 1000; ++i) symbols += "L" + std::to_string(i) + ": NOP\r\n";
  std::string macros;
  for (int i = 0; i <= 1000; ++i) macros += "MACRO M" + std::to_string(i) + "\r\nEND MACRO\r\n";
  const struct {
    ErrorCase expected;
    std::size_t first_line;  // of the "first defined here" note; 0: none
  } cases[] = {
      {{"X: NOP\r\n  X: NOP\r\n", DiagnosticKind::duplicate_label, 2, 3, 2,
        "X:", "the label X: is defined twice in the code outside subroutines"},
       1},
      {{"SUB A\r\nX:: NOP\r\nEND SUB\r\nSUB A\r\n", DiagnosticKind::duplicate_subroutine, 4, 5, 1,
        "A", "the subroutine A is defined twice"},
       1},
      {{"MACRO ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\r\nEND MACRO\r\n",
        DiagnosticKind::macro_name_too_long, 1, 7, 30, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123",
        "the macro name ABCDEFGHIJKLMNOPQRSTUVWXYZ0123 has 30 characters; at most 29 are "
        "allowed"},
       0},
      {{symbols.c_str(), DiagnosticKind::too_many_symbols, 1001, 1, 6,
        "L1000:", "the program defines more than 1000 labels, constants and subroutines"},
       0},
      {{macros.c_str(), DiagnosticKind::too_many_macros, 2002, 1, 9, "M1000",
        "the program defines more than 1000 macros; M1000 is one too many"},
       0},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    const testing::Assembly run = testing::assemble(dir, {{"a.as", c.expected.source}});
    ASSERT_EQ(run.result.outcome, AssemblyOutcome::stopped) << c.expected.source;
    ASSERT_EQ(run.result.diagnostics.size(), 1u);
    const Diagnostic& d = run.result.diagnostics.front();
    check(c.expected, d);
    EXPECT_EQ(d.text, run.result.message) << "the message box text stays";
    if (c.first_line == 0) continue;
    ASSERT_EQ(d.notes.size(), 1u);
    EXPECT_EQ(d.notes[0].where.line, c.first_line);
    EXPECT_EQ(d.notes[0].text, "first defined here");
  }
}

TEST(DiagnosticsExplained, ListingErrorTextsStayAsTheyAre) {
  ScratchDir dir;
  const testing::Assembly run =
      testing::assemble(dir, {{"a.as", "NOP\r\n00>(TRISB)\r\n===->X\r\n"}});
  ASSERT_EQ(run.result.error_entries.size(), 2u);
  EXPECT_EQ(run.result.error_entries[0], "0001\t\t\t00>(TRISB)\t\tnormal err\r\n");
  EXPECT_EQ(run.result.error_entries[1], "0002\t28XX\t\t===->X\t\tlabel err\r\n");
  EXPECT_EQ(run.result.diagnostics[0].text, "normal err");
  EXPECT_EQ(run.result.diagnostics[0].listing_line, run.result.error_entries[0]);
}

// A line of a macro expansion points at the body line and notes the call.
TEST(DiagnosticsExplained, MacroLinesNoteTheirCall) {
  const Diagnostic d = first_error("MACRO SET\r\n  00>(PORT)\r\nEND MACRO\r\nNOP\r\n   SET\r\n");
  EXPECT_EQ(d.where.line, 2u);
  ASSERT_TRUE(d.span.has_value());
  EXPECT_EQ(d.span->column, 7u);
  ASSERT_EQ(d.notes.size(), 1u);
  EXPECT_EQ(d.notes[0].where.line, 5u);
  ASSERT_TRUE(d.notes[0].span.has_value());
  EXPECT_EQ(d.notes[0].span->column, 4u);
  EXPECT_EQ(d.notes[0].text, "in the expansion of the macro SET called here");
}

// Nested expansions note every call, the innermost first; a later error
// outside the expansions notes none.
TEST(DiagnosticsExplained, NestedMacroLinesNoteTheWholeChain) {
  ScratchDir dir;
  const testing::Assembly run = testing::assemble(
      dir, {{"a.as",
             "MACRO INNER\r\n  00>(PORT)\r\nEND MACRO\r\nMACRO OUTER\r\n  NOP\r\n    INNER\r\n"
             "END MACRO\r\nNOP\r\n OUTER\r\nINNER\r\n00>(PORT)\r\n"}});
  std::vector<const Diagnostic*> errors;
  for (const Diagnostic& d : run.result.diagnostics) {
    if (d.severity == Severity::error) errors.push_back(&d);
  }
  ASSERT_EQ(errors.size(), 3u);
  const struct {
    std::vector<std::size_t> lines;
    std::vector<std::string> texts;
  } expected[] = {
      {{6, 9},
       {"in the expansion of the macro INNER called here",
        "in the expansion of the macro OUTER called here"}},
      {{10}, {"in the expansion of the macro INNER called here"}},
      {{}, {}},
  };
  for (std::size_t i = 0; i < errors.size(); ++i) {
    EXPECT_EQ(errors[i]->where.line, i < 2 ? 2u : 11u);
    std::vector<std::size_t> lines;
    std::vector<std::string> texts;
    for (const DiagnosticNote& note : errors[i]->notes) {
      lines.push_back(note.where.line);
      texts.push_back(note.text);
    }
    EXPECT_EQ(lines, expected[i].lines) << i;
    EXPECT_EQ(texts, expected[i].texts) << i;
  }
}

// The notes of each expansion name its own calls, also when the calls of
// two expansions stand at the same level and the inner call is the same line.
TEST(DiagnosticsExplained, RepeatedExpansionsNoteTheirOwnCalls) {
  ScratchDir dir;
  const testing::Assembly run = testing::assemble(
      dir, {{"a.as",
             "MACRO INNER\r\n  00>(PORT)\r\nEND MACRO\r\nMACRO OUTER\r\n    INNER\r\n"
             "  00>(PORT)\r\nEND MACRO\r\n OUTER\r\n OUTER\r\n  INNER\r\n"}});
  const struct {
    std::size_t line;
    std::vector<std::size_t> call_lines;
  } expected[] = {{2, {5, 8}}, {6, {8}}, {2, {5, 9}}, {6, {9}}, {2, {10}}};
  std::vector<const Diagnostic*> errors;
  for (const Diagnostic& d : run.result.diagnostics) {
    if (d.severity == Severity::error) errors.push_back(&d);
  }
  ASSERT_EQ(errors.size(), std::size(expected));
  for (std::size_t i = 0; i < errors.size(); ++i) {
    EXPECT_EQ(errors[i]->where.line, expected[i].line) << i;
    std::vector<std::size_t> call_lines;
    for (const DiagnosticNote& note : errors[i]->notes) call_lines.push_back(note.where.line);
    EXPECT_EQ(call_lines, expected[i].call_lines) << i;
  }
}

// A body that runs out without END MACRO hands out the system's abnormal-end
// text as its line, which no pattern fits.
TEST(DiagnosticsExplained, MacroWithoutEndHasItsOwnKind) {
  SymbolTable symbols;
  const std::string source = "M\r\n";
  const std::vector<std::string> entries{"a.as"};
  const std::vector<std::size_t> starts{0};
  const SourceMap map(source, entries, starts);
  LineRecord record;
  record.statement = texts::kMacroAbnormalEnd;
  record.error = texts::kGrammarError;
  Diagnostic d;
  d.source_line = "M";
  explain_error(d, record, ExplainContext{symbols, map, source});
  EXPECT_EQ(d.kind, DiagnosticKind::macro_unended);
  EXPECT_EQ(d.explanation,
            "the macro's definition runs to the end of the source without END MACRO");
}

TEST(DiagnosticsExplained, EveryErrorTextHasItsKind) {
  const struct {
    std::string_view text;
    DiagnosticKind kind;
  } cases[] = {
      {texts::kGrammarError, DiagnosticKind::grammar_error},
      {"syntax error", DiagnosticKind::unmatched},
      {"DE Error", DiagnosticKind::data_byte_error},
      {"byte error", DiagnosticKind::raw_data_error},
      {"ORG Error", DiagnosticKind::origin_error},
      {"EQU Error", DiagnosticKind::constant_error},
      {"RAM Error", DiagnosticKind::ram_error},
      {"Mem Error", DiagnosticKind::reservation_error},
      {"label err", DiagnosticKind::jump_error},
      {"sub err", DiagnosticKind::call_error},
      {"normal err", DiagnosticKind::operation_error},
      {"bit err", DiagnosticKind::bit_error},
      {"Macro Nest Error", DiagnosticKind::macro_nest_error},
      {"Macro Size Error", DiagnosticKind::macro_size_error},
      {texts::kDuplicateLabel, DiagnosticKind::duplicate_label},
      {texts::kDuplicateSub, DiagnosticKind::duplicate_subroutine},
      {texts::kTooManySymbols, DiagnosticKind::too_many_symbols},
      {texts::kMacroNameTooLong, DiagnosticKind::macro_name_too_long},
      {texts::kTooManyMacros, DiagnosticKind::too_many_macros},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(error_kind(c.text), std::optional(c.kind)) << c.text;
    EXPECT_EQ(severity_of(c.kind), Severity::error) << c.text;
  }
  EXPECT_EQ(error_kind("normal"), std::nullopt);
  EXPECT_EQ(severity_of(DiagnosticKind::jump_target_other_page), Severity::warning);
}

// Each warning carries its kind and the columns of what it is about.
TEST(DiagnosticsExplained, WarningsCarryTheirKindAndColumns) {
  const struct {
    const char* source;
    DiagnosticKind kind;
    std::size_t column;
    std::size_t length;
  } cases[] = {
      {"W+5/2>W\r\n", DiagnosticKind::operator_ignored, 5, 1},
      {"RET 'H'>W\r\n", DiagnosticKind::unwritten_number, 5, 3},
      {"  DE 300\r\n", DiagnosticKind::data_byte_cut, 6, 3},
      {"W+$17E>W\r\n", DiagnosticKind::literal_too_wide, 3, 4},
      {"===->L\r\nORG $900\r\nL:: NOP\r\n", DiagnosticKind::jump_target_other_page, 6, 1},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ: NOP\r\n", DiagnosticKind::label_cut, 19, 9},
      {"NOP ;12345678901234567890123456789012345678901234567890\r\n", DiagnosticKind::remark_cut,
       53, 3},
      {"NOP ; \xE3\x81\x82\r\n", DiagnosticKind::utf8_source, 7, 3},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    const testing::Assembly run = testing::assemble(dir, {{"a.as", c.source}});
    bool found = false;
    for (const Diagnostic& d : run.result.diagnostics) {
      if (d.kind != c.kind) continue;
      found = true;
      EXPECT_EQ(d.severity, Severity::warning) << c.source;
      ASSERT_TRUE(d.span.has_value()) << c.source;
      EXPECT_EQ(d.span->column, c.column) << c.source;
      EXPECT_EQ(d.span->length, c.length) << c.source;
    }
    EXPECT_TRUE(found) << c.source;
  }
}

// The warnings about the whole program carry their kinds too; the one
// about registers above 7F has the column of the first of them.
TEST(DiagnosticsExplained, SummariesCarryTheirKind) {
  const struct {
    const char* source;
    DiagnosticKind kind;
    std::size_t line;
    std::optional<ColumnSpan> span;
  } cases[] = {
      {"W+5>F\r\nNOP\r\n", DiagnosticKind::unwritten_words, 1, std::nullopt},
      {"NOP\r\n W+($90)>W\r\n(TRISB)_BIT1<1\r\n", DiagnosticKind::registers_outside_bank0, 2,
       ColumnSpan{5, 3}},
      {"MACRO M\r\n  00>(PCL)\r\nEND MACRO\r\nPCL EQU $82\r\nM\r\n",
       DiagnosticKind::registers_outside_bank0, 2, ColumnSpan{7, 3}},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    const testing::Assembly run = testing::assemble(dir, {{"a.as", c.source}});
    ASSERT_FALSE(run.result.diagnostics.empty()) << c.source;
    const Diagnostic& summary = run.result.diagnostics.back();
    EXPECT_EQ(summary.kind, c.kind) << c.source;
    EXPECT_EQ(summary.severity, Severity::warning) << c.source;
    EXPECT_EQ(summary.where.line, c.line) << c.source;
    EXPECT_EQ(summary.span.has_value(), c.span.has_value()) << c.source;
    if (summary.span && c.span) {
      EXPECT_EQ(summary.span->column, c.span->column) << c.source;
      EXPECT_EQ(summary.span->length, c.span->length) << c.source;
    }
  }
}

// The share of warnings shown goes by kind: jumps and calls into another
// page are two kinds, each with its own hundred.
TEST(DiagnosticsExplained, WarningShareGoesByKind) {
  std::string source;
  for (int i = 0; i < 120; ++i) source += "===->L\r\nS\r\n";
  source += "ORG $900\r\nL:: NOP\r\nSUB S\r\nRET\r\nEND SUB\r\n";
  ScratchDir dir;
  const testing::Assembly run = testing::assemble(dir, {{"a.as", source}});
  std::size_t jumps = 0;
  std::size_t calls = 0;
  std::vector<std::string> summaries;
  for (const Diagnostic& d : run.result.diagnostics) {
    jumps += d.kind == DiagnosticKind::jump_target_other_page ? 1 : 0;
    calls += d.kind == DiagnosticKind::call_target_other_page ? 1 : 0;
    if (d.kind == DiagnosticKind::warnings_not_shown) summaries.push_back(d.text);
  }
  EXPECT_EQ(jumps, 100u);
  EXPECT_EQ(calls, 100u);
  EXPECT_EQ(summaries,
            (std::vector<std::string>{"20 more warnings beginning \"jump\" are not shown",
                                      "20 more warnings beginning \"call\" are not shown"}));
}

TEST(TerminalDiagnostics, CaretStandsUnderTheSpanBehindTabsAndDoubleByteText) {
  const struct {
    std::string line;  // CP932
    ColumnSpan span;
    const char* shown;
  } cases[] = {
      {"        00>(TRISB)", {13, 5}, "            00>(TRISB)\n                ^~~~~\n"},
      {"\t00>(TRISB)", {6, 5}, "    \t00>(TRISB)\n    \t    ^~~~~\n"},
      // 日本 is four bytes and shows four columns wide.
      {"\x93\xFA\x96\x7B: W+(TRISB)>W", {10, 5}, "    日本: W+(TRISB)>W\n             ^~~~~\n"},
      // ｶﾅ: half-width katakana, one byte and one column each.
      {"\xB6\xC5: ===->X", {10, 1}, "    ｶﾅ: ===->X\n             ^\n"},
      // A span beyond the line's end is cut to it.
      {"NOP", {2, 10}, "    NOP\n     ^~\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(source_excerpt(c.line, c.span), c.shown) << c.shown;
  }
  EXPECT_EQ(source_excerpt("NOP", std::nullopt), "    NOP\n");
}

TEST(TerminalDiagnostics, ReadsAsCompilersPrint) {
  Diagnostic d;
  d.kind = DiagnosticKind::jump_error;
  d.where = {"m.as", 9};
  d.source_line = "    ===->IN ; \x93\xFA\x96\x7B";
  d.span = ColumnSpan{10, 2};
  d.text = "label err";
  d.explanation = "the jump target IN is a local label of subroutine A, out of reach here";
  d.hint = "write the label with two colons (IN::) to make it global";
  DiagnosticNote defined;
  defined.where = {"m.as", 3};
  defined.span = ColumnSpan{1, 3};
  defined.text = "IN is defined here";
  d.notes.push_back(std::move(defined));
  EXPECT_EQ(terminal_text(d, {"a front end's note"}),
            "m.as:9:10: error: label err: the jump target IN is a local label of subroutine A, "
            "out of reach here\n"
            "        ===->IN ; 日本\n"
            "             ^~\n"
            "m.as:3:1: note: IN is defined here\n"
            "m.as:9:10: note: write the label with two colons (IN::) to make it global\n"
            "m.as:9:10: note: a front end's note\n");
  Diagnostic summary;
  summary.severity = Severity::warning;
  summary.text = "3 more warnings beginning \"DE\" are not shown";
  EXPECT_EQ(terminal_text(summary),
            "korva-asm: warning: 3 more warnings beginning \"DE\" are not shown\n");
}

TEST(ChipHints, NameTheChipsThatDefineAName) {
  ScratchDir dir;
  testing::write_bytes(dir.path() / "16F84A.inc", "; registers\r\nTRISB EQU $86\r\nRP0 EQU 5\r\n");
  testing::write_bytes(dir.path() / "16F628A.inc", "TRISB  equ  $86\r\nCMCON EQU $1F\r\n");
  // A chip whose name starts another's.
  testing::write_bytes(dir.path() / "16F62.inc", "TRISB EQU $86\r\n");
  testing::write_bytes(dir.path() / "12F675.inc", "TRISIO EQU $85\r\n");
  // Older parts come after the flash ones.
  testing::write_bytes(dir.path() / "16C62.inc", "TRISB EQU $86\r\n");
  testing::write_bytes(dir.path() / "16LF707.inc", "TRISB EQU $86\r\n");
  const std::vector<ChipNames> chips = read_chip_names(dir.path());
  const struct {
    const char* name;
    const char* file;
    std::vector<std::string> chips;
  } cases[] = {
      {"TRISB", "main.as", {"16F62", "16F628A", "16F84A", "16C62", "16LF707"}},
      {"TRISB", "blink16f84a.as", {"16F84A"}},
      {"TRISB", "blink16f628a.as", {"16F628A"}},
      {"TRISB", "blink16f62.as", {"16F62"}},
      {"TRISB", "blink12f675.as", {"16F62", "16F628A", "16F84A", "16C62", "16LF707"}},
      {"trisb", "main.as", {}},
      {"CMCON", "main.as", {"16F628A"}},
      {"registers", "main.as", {}},
      {"NOWHERE", "main.as", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(chips_defining(chips, c.name, c.file), c.chips) << c.name << " " << c.file;
  }
}

}  // namespace
}  // namespace korva
