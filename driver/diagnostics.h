// Errors and warnings of an assembly with the place they come from, for
// front ends that point the user at the source (FILE:LINE: error: TEXT).
// They stand beside the listing and the error list, which stay as they are.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "codegen/operand_encoding.h"
#include "source/source_map.h"
#include "support/line_record.h"

namespace korva {

enum class Severity { error, warning };

struct Diagnostic {
  Severity severity = Severity::error;
  SourceLocation where;                // the source line (for a macro line: the body line)
  std::optional<SourceLocation> call;  // the macro call in the source, for a macro line
  std::string text;                    // CP932 bytes
  std::string listing_line;            // the record's listing line; empty for a summary
  // Which line of the listing it belongs to, counted from 0.
  std::optional<std::size_t> listing_index;
};

// "FILE:LINE", and for a macro line ", expanded from FILE:LINE".
std::string describe_place(const Diagnostic& diagnostic);

// Warnings about words that the assembler produces as written but that are
// probably not what the writer meant. Each returns an empty text when there
// is nothing to say.

// Pass 2, before classification: a DE value above FF keeps only its low byte.
std::string data_byte_warning(const LineRecord& matched);
// Pass 2: the location counter went past FFFF and started again at 0000.
std::string counter_wrap_warning(std::string_view before, std::string_view after,
                                 const LineRecord& record);
// Pass 2: a label or a statement longer than the record holds.
std::string label_cut_warning(const LineRecord& record);
std::string statement_cut_warning(std::string_view whole_statement);
// Pass 2: a remark longer than the record holds.
std::string remark_cut_warning(const LineRecord& record);
// Pass 2, before classification: a directive's operand that reads as a number
// although no notation fits it ('H' reads as 0).
std::string unwritten_number_warning(const LineRecord& matched);
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
std::string literal_warning(const LineRecord& encoded);
// Pass 3: a jump or call whose target lies in another 2K page than the
// instruction, so that PCLATH must select the target's page.
std::string target_warning(const LineRecord& encoded, std::uint32_t target);
// Pass 3: a file-register operand above 7F, whose bank bits are dropped.
bool register_outside_bank0(const LineRecord& encoded);
std::string register_bank_summary(std::size_t count, const SourceLocation& first);

}  // namespace korva
