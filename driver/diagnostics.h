// Errors and warnings of an assembly as values: what went wrong (a kind),
// where (file, line and columns), which name is at fault and why, for front
// ends that point the user at the source (FILE:LINE:COLUMN: error: TEXT).
// They stand beside the listing and the error list, which stay as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/operand_encoding.h"
#include "source/source_map.h"
#include "support/core_family.h"
#include "support/diagnostic_kind.h"
#include "support/line_record.h"

namespace korva {

// The word that a warning of this kind starts with, which names the kind in
// the summary of warnings left out.
std::string_view warning_word(DiagnosticKind kind);

// Columns of a source line, counted from 1 in bytes, as compilers count.
struct ColumnSpan {
  std::size_t column = 1;
  std::size_t length = 1;
};

// A place that explains a diagnostic: the macro call a line was expanded
// from, the first definition of a name defined twice.
struct DiagnosticNote {
  SourceLocation where;
  std::optional<ColumnSpan> span;
  std::string text;  // English; names in CP932
};

struct Diagnostic {
  DiagnosticKind kind = DiagnosticKind::grammar_error;
  Severity severity = Severity::error;
  SourceLocation where;                // the source line (for a macro line: the body line)
  std::optional<SourceLocation> call;  // the macro call in the source, for a macro line
  std::string text;                    // CP932 bytes, as the listing or message has it
  std::string listing_line;            // the record's listing line; empty for a summary
  // Which line of the listing it belongs to, counted from 0.
  std::optional<std::size_t> listing_index;
  // The text of the source line at `where`, without its line end (CP932).
  std::string source_line;
  std::optional<ColumnSpan> span;  // the offending text within source_line
  std::string name;                // the offending name or text, CP932; may be empty
  bool name_undefined = false;     // `name` is defined nowhere in the program
  std::string explanation;         // what exactly is wrong (English; names in CP932)
  std::string hint;                // how to fix it, where that is known
  std::vector<DiagnosticNote> notes;
};

// "FILE:LINE", and for a macro line ", expanded from FILE:LINE".
std::string describe_place(const Diagnostic& diagnostic);

enum class WithHint : bool { no, yes };

// What a diagnostic says, as the terminal, the language server and the
// window show it (CP932): its text, then ": " and the explanation where there
// is one; with the hint on a line of its own when asked and known.
std::string diagnostic_message(const Diagnostic& diagnostic, WithHint hint = WithHint::no);

// What exactly is wrong, without the listing's short text: the explanation,
// and the hint on a line of its own when asked and known; for a view that
// shows the short text beside it (the window's error list).
std::string diagnostic_explanation(const Diagnostic& diagnostic, WithHint hint = WithHint::no);

// Warnings about words that the assembler produces as written but that are
// probably not what the writer meant. Each returns an empty text when there
// is nothing to say.

// Pass 2, before classification: a DE value above FF keeps only its low byte.
std::string data_byte_warning(const LineRecord& matched);
// Pass 2: the location counter went past FFFF and started again at 0000.
// `before` and `after` are the counter around the statement (16 bits).
std::string counter_wrap_warning(std::uint32_t before, std::uint32_t after,
                                 const LineRecord& record);
// Pass 2: a label or a statement longer than the record holds.
std::string label_cut_warning(const LineRecord& record);
std::string statement_cut_warning(std::string_view whole_statement);
// Pass 2: a remark longer than the record holds.
std::string remark_cut_warning(const LineRecord& record);
// Pass 2, before classification: a directive's operand that reads as a number
// although no notation fits it ('H' reads as 0).
std::string unwritten_number_warning(const LineRecord& matched);
// Pass 2, after classification: raw words with characters that are not
// hexadecimal digits, which the image reads as far as they go ("\\XYZ1" is
// written 0000); the text names the words or bytes written.
std::string raw_word_warning(const LineRecord& classified);
// Pass 2: a label or subroutine of a macro body that an expansion after the
// first meets again; it keeps the value of the first expansion.
std::string repeated_symbol_warning(std::string_view macro, std::string_view symbol,
                                    bool subroutine, std::string_view value);
// Before pass 1: a source file that is UTF-8 while texts are Shift-JIS.
std::string utf8_source_warning(std::string_view file);
// Pass 3: what an operand's evaluation did that its text does not say.
std::string operand_note_warning(const OperandNote& note);
// End of pass 3: lines whose error left them without the words that pass 2
// gave them addresses for, so the image runs ahead of the listing.
std::string unwritten_words_summary(std::size_t count, std::string_view image_name);
// Pass 3: a literal outside -128..255, of which only the low byte is encoded.
// `operand1` is the value the code generator gave operand 1 (last_operand1).
// literal_too_wide tells whether there is one, without making the text.
bool literal_too_wide(const LineRecord& encoded, const std::optional<OperandValue>& operand1);
std::string literal_warning(const LineRecord& encoded, const std::optional<OperandValue>& operand1);
// Pass 3: a jump or call at `address` whose target lies in another 2K page
// than the instruction, so that PCLATH must select the target's page.
// target_in_other_page tells whether there is one, without making the text.
bool target_in_other_page(const LineRecord& encoded, std::uint32_t target, std::uint32_t address);
std::string target_warning(const LineRecord& encoded, std::uint32_t target, std::uint32_t address);
// Pass 3: a file-register operand above 7F, whose bank bits are dropped; on
// the enhanced core of a chip of `banks` banks, one that is not a register
// every bank shows.
bool register_outside_bank0(const LineRecord& encoded, const std::optional<OperandValue>& operand1,
                            CoreFamily core = CoreFamily::classic, std::uint32_t banks = 0);
std::string register_bank_summary(std::size_t count, const SourceLocation& first);

}  // namespace korva
