// Warnings about words that are assembled as written but are probably not
// what the writer meant, where the listing cannot carry their expectation:
// lines of macro expansions, whole files and whole runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "driver/diagnostics.h"
#include "project/assembler.h"
#include "project/project.h"
#include "project_assembly.h"
#include "test_support.h"

namespace korva {
namespace {

using testing::RecordingHost;
using testing::ScratchDir;

using Outcome = testing::Assembly;
using testing::assemble;

std::vector<const Diagnostic*> warnings_containing(const AssemblyResult& result,
                                                   std::string_view text) {
  std::vector<const Diagnostic*> found;
  for (const Diagnostic& d : result.diagnostics) {
    if (d.severity == Severity::warning && d.text.find(text) != std::string::npos) {
      found.push_back(&d);
    }
  }
  return found;
}

// The lines, each ended by CR LF.
std::string lines(std::span<const std::string_view> each) {
  std::string text;
  for (std::string_view line : each) (text += line) += "\r\n";
  return text;
}

std::string lines(std::initializer_list<std::string_view> each) {
  return lines(std::span<const std::string_view>(each.begin(), each.size()));
}

TEST(Warnings, MacroLabelsAndSubroutinesWarnOnceAtTheSecondExpansion) {
  ScratchDir dir;
  const Outcome run =
      assemble(dir, {{"m.as", lines({"MACRO LP", "LOOP: ===->LOOP", "SUB INNER", "RET", "END SUB",
                                     "END MACRO", "NOP", "LP", "LP", "LP", "INNER"})}});
  ASSERT_EQ(run.result.outcome, AssemblyOutcome::completed);
  const auto label = warnings_containing(run.result, "label LOOP:");
  ASSERT_EQ(label.size(), 1u);
  EXPECT_EQ(label[0]->text,
            "repeated expansion of macro LP: label LOOP: keeps the address 0001 of the first "
            "expansion, so jumps to it go to that copy");
  EXPECT_EQ(label[0]->where.line, 2u) << "the body line";
  ASSERT_TRUE(label[0]->call.has_value());
  EXPECT_EQ(label[0]->call->line, 9u) << "the second call";
  const auto sub = warnings_containing(run.result, "subroutine INNER");
  ASSERT_EQ(sub.size(), 1u);
  EXPECT_NE(sub[0]->text.find("keeps the address 0002"), std::string::npos) << sub[0]->text;
  EXPECT_EQ(sub[0]->call->line, 9u);
  // The words stay those of the first copy: every jump goes to 0001.
  EXPECT_EQ(run.image_file.substr(2, 2), "\x01\x28");
  EXPECT_EQ(run.image_file.substr(8, 2), "\x01\x28");
}

TEST(Warnings, MacroExpandedOnceDoesNotWarn) {
  ScratchDir dir;
  const Outcome run =
      assemble(dir, {{"m.as", lines({"MACRO LP", "LOOP: ===->LOOP", "END MACRO", "LP"})}});
  EXPECT_TRUE(warnings_containing(run.result, "repeated").empty());
}

TEST(Warnings, Utf8SourcesWarnOncePerFileAtTheirFirstLineBeyondAscii) {
  ScratchDir dir;
  const Outcome run = assemble(
      dir, {{"ascii.as", lines({"NOP ; plain"})},
            {"utf8.as", lines({"NOP", "NOP ; caf\xC3\xA9", "NOP ; \xE6\x97\xA5\xE6\x9C\xAC"})},
            {"sjis.as", lines({"NOP ; \x82\xA0\x82\xA2 \x93\xFA\x96\x7B"})},
            {"kana.as", lines({"NOP ; \xC3\xBD"})},  // half-width katakana, valid UTF-8 too
            {"utf8b.as", lines({"NOP ; \xE3\x81\x82"})}});
  ASSERT_EQ(run.result.outcome, AssemblyOutcome::completed);
  const auto found = warnings_containing(run.result, "UTF-8 text in");
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0]->where.file, "utf8.as");
  EXPECT_EQ(found[0]->where.line, 2u);
  EXPECT_EQ(found[1]->where.file, "utf8b.as");
  EXPECT_EQ(found[1]->where.line, 1u);
}

TEST(Warnings, Utf8FileAfterTheEndLineStillWarns) {
  ScratchDir dir;
  const Outcome run =
      assemble(dir, {{"a.as", lines({"NOP", "end"})}, {"b.as", lines({"NOP ; \xE3\x81\x82"})}});
  const auto found = warnings_containing(run.result, "UTF-8 text in b.as");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_FALSE(found[0]->listing_index.has_value());
  EXPECT_EQ(found[0]->where.file, "b.as");
}

TEST(Warnings, LinesWithoutTheirWordsAreCountedOnceAtTheEnd) {
  ScratchDir dir;
  const Outcome run = assemble(
      dir,
      {{"a.as", lines({"NOP", "W+5>F", "===->NOWHERE", "(3)_BIT9<1", "(X)_BIT1<1", "SLEEP"})}});
  const auto found = warnings_containing(run.result, "wrote no word");
  ASSERT_EQ(found.size(), 1u);
  // A jump without target and a bit operation on a non-register keep a
  // word; the other two leave the image one word short each.
  EXPECT_EQ(found[0]->text, "2 lines with errors wrote no word: " + (dir / "p") +
                                ".bin does not match the listing's addresses");
  EXPECT_EQ(found[0]->where.line, 2u);
  EXPECT_EQ(found[0]->listing_index, std::optional<std::size_t>(1));
  EXPECT_EQ(run.image_file.size(), 8u);
}

TEST(Warnings, CleanRunHasNoDriftSummary) {
  ScratchDir dir;
  const Outcome run = assemble(dir, {{"a.as", lines({"NOP", "===->NOWHERE"})}});
  EXPECT_TRUE(warnings_containing(run.result, "wrote no word").empty());
}

TEST(Warnings, NewKindsStopAtAHundredWithACount) {
  ScratchDir dir;
  std::string source;
  for (int i = 0; i < 130; ++i) source += "W+5/2>W\r\n";
  const Outcome run = assemble(dir, {{"a.as", source}});
  EXPECT_EQ(warnings_containing(run.result, "is not evaluated").size(), 100u);
  EXPECT_EQ(warnings_containing(run.result, "30 more warnings beginning \"operator\"").size(), 1u);
}

// Jumps and calls across pages, literals wider than a byte and registers
// above 7F, met once or again, are case files: tests/cases/pages and
// tests/cases/warnings.

// The warnings of encoded words, given the numbers the code generator and
// the counters hold.
TEST(Warnings, EncodedWordsWarnFromTheirNumbers) {
  const auto record = [](RecordKind kind, std::optional<std::uint8_t> pattern) {
    LineRecord made;
    set_kind(made, kind);
    made.pattern = pattern;
    return made;
  };
  const LineRecord add = record(RecordKind::normal, 9);  // W+@>@
  LineRecord failed = add;
  failed.error = "normal err";
  const LineRecord jump = record(RecordKind::branch, 31);  // ===->@
  const LineRecord call = record(RecordKind::call_sub, std::nullopt);
  const LineRecord bit = record(RecordKind::bit, 23);  // @_BIT@<1

  const struct {
    const char* what;
    const LineRecord& encoded;
    std::optional<OperandValue> operand1;
    const char* literal;  // the literal warning, empty for none
    bool outside_bank0;
  } operands[] = {
      {"a byte", add, OperandValue{0xFF, false}, "", false},
      {"minus 128", add, OperandValue{0xFF80, false}, "", false},
      {"minus 129", add, OperandValue{0xFF7F, false},
       "literal FF7F does not fit 8 bits (-128 to 255): ADDLW encodes only its low byte, 7F",
       false},
      {"256", add, OperandValue{0x100, false}, "literal 0100 does not fit", false},
      {"a register above 7F", add, OperandValue{0x100, true}, "", true},
      {"a register at 7F", add, OperandValue{0x7F, true}, "", false},
      {"no value", add, std::nullopt, "", false},
      {"an error", failed, OperandValue{0x100, true}, "", false},
      {"a bit of a register above 7F", bit, OperandValue{0x80, true}, "", true},
      {"a jump", jump, OperandValue{0x100, true}, "", false},
  };
  for (const auto& c : operands) {
    SCOPED_TRACE(c.what);
    const std::string literal = literal_warning(c.encoded, c.operand1);
    EXPECT_EQ(literal.substr(0, std::string_view(c.literal).size()), c.literal);
    EXPECT_EQ(literal.empty(), std::string_view(c.literal).empty());
    EXPECT_EQ(register_outside_bank0(c.encoded, c.operand1), c.outside_bank0);
  }

  const struct {
    const char* what;
    const LineRecord& encoded;
    std::uint32_t target, address;
    const char* warning;
  } targets[] = {
      {"a jump within page 0", jump, 0x7FF, 0, ""},
      {"a jump to page 1", jump, 0x800, 0x7FF,
       "jump target 0800 is in page 1, the GOTO at 07FF in page 0: the word holds the low 11 "
       "bits only, so PCLATH must select page 1 first"},
      {"a call to page 0", call, 0x10, 0x1800, "call target 0010 is in page 0, the CALL at 1800"},
      {"a register operation", add, 0x800, 0, ""},
  };
  for (const auto& c : targets) {
    SCOPED_TRACE(c.what);
    const std::string warning = target_warning(c.encoded, c.target, c.address);
    EXPECT_EQ(warning.substr(0, std::string_view(c.warning).size()), c.warning);
    EXPECT_EQ(warning.empty(), std::string_view(c.warning).empty());
  }

  const LineRecord org = record(RecordKind::org, 35);
  EXPECT_EQ(counter_wrap_warning(0xFFFFu, 0x0001u, add),
            "the location counter went past FFFF and starts again at 0001");
  EXPECT_EQ(counter_wrap_warning(0xFFFEu, 0xFFFFu, add), "");
  EXPECT_EQ(counter_wrap_warning(0xFFFFu, 0x0000u, org), "");
}

// Raw words that are not hexadecimal keep the bytes the image has always
// had and say which; hexadecimal ones, of either case, say nothing.
TEST(Warnings, RawWordsThatAreNotHexadecimalNameWhatIsWritten) {
  const struct {
    const char* statement;
    const char* warning;  // empty for none
    const char* image;    // the bytes of the .bin file
  } cases[] = {
      {"\\XYZ1", "raw word \\XYZ1 is not hexadecimal: the word 0000 is written", "\x00\x00"},
      {"\\12G4", "raw word \\12G4 is not hexadecimal: the word 1200 is written", "\x00\x12"},
      {"\\1g", "raw word \\1g is not hexadecimal: the byte 01 is written", "\x01"},
      {"\\0A0BXC", "raw word \\0A0BXC is not hexadecimal: the bytes 0A 0B 00 are written",
       "\x0A\x0B\x00"},
      {"\\3fff", "", "\xFF\x3F"},
      {"\\ABCDEF", "", "\xAB\xCD\xEF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    ScratchDir dir;
    const Outcome run = assemble(dir, {{"a.as", lines({std::string("  ") + c.statement})}});
    const std::string_view expected(c.warning);
    if (expected.empty()) {
      EXPECT_TRUE(run.result.diagnostics.empty());
    } else {
      ASSERT_EQ(run.result.diagnostics.size(), 1u);
      const Diagnostic& d = run.result.diagnostics.front();
      EXPECT_EQ(d.kind, DiagnosticKind::raw_word_not_hex);
      EXPECT_EQ(d.severity, Severity::warning);
      EXPECT_EQ(d.text, expected);
      ASSERT_TRUE(d.span.has_value());
      EXPECT_EQ(d.span->column, 4u);
      EXPECT_EQ(d.span->length, std::string_view(c.statement).size() - 1);
    }
    const std::size_t image_size = std::string_view(c.statement).size() / 2;
    EXPECT_EQ(run.image_file, std::string(c.image, image_size));
  }
}

TEST(Warnings, NeverChangeTheOutputs) {
  // The same program with and without the constructs that warn gives the
  // same words.
  ScratchDir warned;
  ScratchDir plain;
  const Outcome a =
      assemble(warned, {{"a.as", lines({"5/2>W", "RET 'H'>W", "NOP ; " + std::string(60, 'r')})}});
  const Outcome b = assemble(plain, {{"a.as", lines({"5>W", "RET 0>W", "NOP"})}});
  EXPECT_FALSE(a.result.diagnostics.empty());
  EXPECT_TRUE(b.result.diagnostics.empty());
  EXPECT_EQ(a.image_file, b.image_file);
}

}  // namespace
}  // namespace korva
