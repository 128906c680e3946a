// What a diagnostic reports, by kind: every error that a stage writes into
// a record or stops pass 1 with, and every warning. An error's kind gives
// the text that the listing's error column or the message box shows.
#pragma once

#include <optional>
#include <string_view>

namespace korva {

enum class Severity { error, warning };

// What a diagnostic reports: one kind for every error text that a listing
// line or the pass-1 message can carry, and one for every kind of warning.
enum class DiagnosticKind : unsigned char {
  // Errors of passes 2 and 3, by the listing's error text.
  grammar_error,      // 文法エラー: no pattern fits and no subroutine has the name
  unmatched,          // "syntax error": no pattern fits
  data_byte_error,    // "DE Error": DE without a number
  raw_data_error,     // "byte error": a backslash line of no whole bytes
  origin_error,       // "ORG Error": no number, or an address behind the counter
  constant_error,     // "EQU Error": EQU or = without a number
  ram_error,          // "RAM Error": RAM= without a number
  reservation_error,  // "Mem Error": [n] without a number
  jump_error,         // "label err": the jump target is not a label in reach
  call_error,         // "sub err": the subroutine has no address
  operation_error,    // "normal err": no valid form of a register or literal operation
  bit_error,          // "bit err": bad bit number or no register
  macro_nest_error,   // "Macro Nest Error"
  macro_size_error,   // "Macro Size Error"
  macro_unended,      // 文法エラー on a macro body that runs out without END MACRO
  // Errors of pass 1, which stop the assembly.
  duplicate_label,
  duplicate_subroutine,
  too_many_symbols,
  macro_name_too_long,
  too_many_macros,
  // Warnings.
  data_byte_cut,
  counter_wrap,
  label_cut,
  statement_cut,
  remark_cut,
  unwritten_number,
  raw_word_not_hex,
  operator_ignored,
  repeated_symbol,
  utf8_source,
  literal_too_wide,
  jump_target_other_page,
  call_target_other_page,
  registers_outside_bank0,
  unwritten_words,
  // Against the chip, when the sources hold its definitions.
  chip_words_beyond_memory,      // program words where the chip has no memory
  chip_reservation_outside_gpr,  // [n] outside the general purpose registers
  chip_config_bits_unset,        // a configuration word clears bits no setting clears
  chip_config_missing,           // no configuration word at all
  debug_words_left_out,
  debug_name_cut,
  warnings_not_shown,
};

Severity severity_of(DiagnosticKind kind);

// The text that an error of this kind writes into its record's error column
// or shows as the pass-1 message (CP932); empty for a warning.
std::string_view error_text(DiagnosticKind kind);

// The error kind of a listing's error text or a pass-1 message (CP932);
// none for a text that no stage writes.
std::optional<DiagnosticKind> error_kind(std::string_view error_text);

}  // namespace korva
