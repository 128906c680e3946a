#include "driver/diagnostics.h"

#include <algorithm>
#include <cctype>

#include "codegen/hex_text.h"
#include "driver/listing.h"
#include "patterns/instruction_set.h"
#include "patterns/pattern_table.h"
#include "resources/error_texts.h"
#include "resources/system_texts.h"
#include "source/source_reader.h"
#include "source/statement_splitter.h"
#include "support/text.h"

namespace korva {
namespace {

// The base word of the literal form of the record's operation; 0 without one.
std::uint32_t literal_base(const LineRecord& record) {
  const PatternEntry* entry = pattern_of(record);
  return entry != nullptr ? entry->literal_word.value_or(0) : 0;
}

// The directives whose operand is a number.
bool takes_number(PatternType type) {
  switch (type) {
    case PatternType::origin:
    case PatternType::constant:
    case PatternType::ram_start:
    case PatternType::reservation:
    case PatternType::data_byte:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string_view warning_word(DiagnosticKind kind) {
  switch (kind) {
    case DiagnosticKind::data_byte_cut:
      return "DE";
    case DiagnosticKind::chip_words_beyond_memory:
      return "program";
    case DiagnosticKind::chip_reservation_outside_gpr:
      return "reservation";
    case DiagnosticKind::chip_config_bits_unset:
      return "configuration";
    case DiagnosticKind::chip_config_missing:
      return "no";
    case DiagnosticKind::counter_wrap:
      return "the";
    case DiagnosticKind::label_cut:
      return "label";
    case DiagnosticKind::statement_cut:
      return "statement";
    case DiagnosticKind::remark_cut:
      return "remark";
    case DiagnosticKind::unwritten_number:
      return "term";
    case DiagnosticKind::raw_word_not_hex:
      return "raw";
    case DiagnosticKind::operator_ignored:
      return "operator";
    case DiagnosticKind::repeated_symbol:
      return "repeated";
    case DiagnosticKind::utf8_source:
      return "UTF-8";
    case DiagnosticKind::literal_too_wide:
      return "literal";
    case DiagnosticKind::jump_target_other_page:
      return "jump";
    case DiagnosticKind::call_target_other_page:
      return "call";
    default:
      return {};
  }
}

std::string describe_place(const Diagnostic& diagnostic) {
  std::string text = diagnostic.where.file + ":" + std::to_string(diagnostic.where.line);
  if (diagnostic.call) {
    text +=
        ", expanded from " + diagnostic.call->file + ":" + std::to_string(diagnostic.call->line);
  }
  return text;
}

std::string diagnostic_explanation(const Diagnostic& diagnostic, WithHint hint) {
  std::string explanation = diagnostic.explanation;
  if (hint == WithHint::yes && !diagnostic.hint.empty()) {
    explanation.append(1, '\n').append(diagnostic.hint);
  }
  return explanation;
}

std::string diagnostic_message(const Diagnostic& diagnostic, WithHint hint) {
  std::string message = diagnostic.text;
  if (!diagnostic.explanation.empty()) message.append(": ");
  return message.append(diagnostic_explanation(diagnostic, hint));
}

std::string data_byte_warning(const LineRecord& matched) {
  if (pattern_type_of(matched) != PatternType::data_byte) return {};
  const std::optional<std::uint32_t> value = number_value(matched.operand1);
  if (!value || *value <= 0xFF) return {};
  const std::string digits = hex4(*value);
  return "DE value " + digits + " does not fit a byte; only " + digits.substr(2) + " is stored";
}

std::string counter_wrap_warning(std::uint32_t before, std::uint32_t after,
                                 const LineRecord& record) {
  if (has_kind(record, RecordKind::org) || after >= before) return {};
  return "the location counter went past FFFF and starts again at " + hex4(after);
}

std::string label_cut_warning(const LineRecord& record) {
  return "label cut to " + std::to_string(kLabelCapacity) + " characters: " + record.label;
}

std::string statement_cut_warning(std::string_view whole_statement) {
  return "statement longer than " + std::to_string(kStatementCapacity) +
         " characters; only this much is assembled: " +
         std::string(whole_statement.substr(0, kStatementCapacity));
}

std::string remark_cut_warning(const LineRecord& record) {
  return "remark cut to " + std::to_string(kRemarkCapacity) + " characters: " + record.remark;
}

std::string unwritten_number_warning(const LineRecord& matched) {
  if (!takes_number(pattern_type_of(matched))) return {};
  const std::optional<std::uint32_t> value = number_value(matched.operand1);
  if (!value || is_written_number(matched.operand1)) return {};
  std::string term = matched.operand1;
  collapse_blanks(term);
  return operand_note_warning({OperandNote::Kind::unwritten_number, 0, term, *value});
}

std::string raw_word_warning(const LineRecord& classified) {
  if (pattern_type_of(classified) != PatternType::raw_words || !classified.error.empty()) {
    return {};
  }
  const std::string_view code = classified.code.view();
  const bool hexadecimal = std::all_of(code.begin(), code.end(), [](char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
  });
  if (code.empty() || hexadecimal) return {};
  std::string bytes;
  write_image_bytes(bytes, code, 0);
  std::string written;
  if (bytes.size() == 2) {
    written =
        "the word " +
        hex4(static_cast<unsigned char>(bytes[1]) << 8 | static_cast<unsigned char>(bytes[0])) +
        " is";
  } else {
    written = bytes.size() == 1 ? "the byte" : "the bytes";
    for (const char byte : bytes) written += " " + hex4(static_cast<unsigned char>(byte)).substr(2);
    written += bytes.size() == 1 ? " is" : " are";
  }
  std::string operand = classified.operand1;
  collapse_blanks(operand);
  return "raw word \\" + operand + " is not hexadecimal: " + written + " written";
}

std::string repeated_symbol_warning(std::string_view macro, std::string_view symbol,
                                    bool subroutine, std::string_view value) {
  std::string address(value);
  upper_case(address);
  return "repeated expansion of macro " + std::string(macro) + ": " +
         (subroutine ? "subroutine " : "label ") + std::string(symbol) + " keeps the address " +
         address + " of the first expansion, so " + (subroutine ? "calls" : "jumps") +
         " to it go to that copy";
}

std::string utf8_source_warning(std::string_view file) {
  return "UTF-8 text in " + std::string(file) +
         ": texts are Shift-JIS (code page 932), so its remarks will show garbled; save the "
         "file as Shift-JIS";
}

std::string operand_note_warning(const OperandNote& note) {
  const std::string value = hex4(note.value);
  std::string term = note.term;
  collapse_blanks(term);
  if (note.kind == OperandNote::Kind::operator_ignored) {
    return std::string("operator ") + note.op + " is not evaluated: the term " + term +
           " after it is ignored and the value stays " + value;
  }
  return "term " + term + " is neither a number in any notation nor a known symbol, yet " +
         "reads as " + value + " (character literals, 0x and B'...' forms are not numbers here)";
}

std::string unwritten_words_summary(std::size_t count, std::string_view image_name) {
  return std::to_string(count) + " lines with errors wrote no word: " + std::string(image_name) +
         " does not match the listing's addresses";
}

bool literal_too_wide(const LineRecord& encoded, const std::optional<OperandValue>& operand1) {
  if (!has_kind(encoded, RecordKind::normal) || !encoded.error.empty()) return false;
  if (pattern_type_of(encoded) != PatternType::register_op) return false;
  if (!operand1 || operand1->file_register) return false;
  // A byte, or a negative value down to -128 (its 16-bit two's complement).
  return operand1->value > 0xFF && operand1->value < 0xFF80;
}

std::string literal_warning(const LineRecord& encoded,
                            const std::optional<OperandValue>& operand1) {
  if (!literal_too_wide(encoded, operand1)) return {};
  const std::uint32_t literal = operand1->value;
  const std::string low_byte = hex4(literal & 0xFF).substr(2);
  return "literal " + hex4(literal) + " does not fit 8 bits (-128 to 255): " +
         std::string(instruction_name(literal_base(encoded))) + " encodes only its low byte, " +
         low_byte;
}

bool target_in_other_page(const LineRecord& encoded, std::uint32_t target, std::uint32_t address) {
  const bool jump = has_kind(encoded, RecordKind::branch);
  if ((!jump && !has_kind(encoded, RecordKind::call_sub)) || !encoded.error.empty()) return false;
  // BRA reaches its target from where it stands, whatever PCLATH holds.
  if (pattern_type_of(encoded) == PatternType::relative_branch) return false;
  // GOTO and CALL hold 11 address bits; PCLATH selects the 2K page.
  return target >> 11 != address >> 11;
}

std::string target_warning(const LineRecord& encoded, std::uint32_t target, std::uint32_t address) {
  if (!target_in_other_page(encoded, target, address)) return {};
  const bool jump = has_kind(encoded, RecordKind::branch);
  const std::uint32_t page = target >> 11;
  return std::string(jump ? "jump" : "call") + " target " + hex4(target) + " is in page " +
         std::to_string(page) + ", the " + (jump ? "GOTO" : "CALL") + " at " + hex4(address) +
         " in page " + std::to_string(address >> 11) +
         ": the word holds the low 11 bits only, so PCLATH must select page " +
         std::to_string(page) + " first";
}

bool register_outside_bank0(const LineRecord& encoded, const std::optional<OperandValue>& operand1,
                            CoreFamily core, std::uint32_t banks) {
  if ((!has_kind(encoded, RecordKind::normal) && !has_kind(encoded, RecordKind::bit)) ||
      !encoded.error.empty())
    return false;
  // A selection takes the register's whole address to find its bank.
  if (pattern_type_of(encoded) == PatternType::selection) return false;
  if (!operand1 || !operand1->file_register || operand1->value <= 0x7F) return false;
  // The enhanced core shows its core registers (00-0B) and its common RAM
  // (70-7F) in every bank; an address beyond the banks (linear data memory
  // from 2000) is in none, and its low 7 bits name another register.
  const std::uint32_t in_bank = operand1->value & 0x7F;
  const bool beyond_banks = operand1->value >= banks * 0x80;
  return core == CoreFamily::classic || beyond_banks || (in_bank > 0x0B && in_bank < 0x70);
}

std::string register_bank_summary(std::size_t count, const SourceLocation& first) {
  return std::to_string(count) + " register operand" + (count == 1 ? " is" : "s are") +
         " above 7F; only the low 7 bits are encoded, so make sure the bank is selected "
         "(first at " +
         first.file + ":" + std::to_string(first.line) + ")";
}

}  // namespace korva
