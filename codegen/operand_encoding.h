// Pass 3's operand evaluation and the program words of register, literal and
// bit operations.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/line_record.h"
#include "symbols/symbol_table.h"

namespace korva {

// Something an evaluation did that the operand does not say: the words stay
// as evaluated, but the writer probably meant something else.
struct OperandNote {
  enum class Kind {
    operator_ignored,  // a term after * or / that leaves the value unchanged
    unwritten_number,  // a term read as a number though no notation fits it
  };
  Kind kind = Kind::operator_ignored;
  char op = 0;              // the ignored operator
  std::string term;         // the term as written
  std::uint32_t value = 0;  // 16 bits: the value kept, or read
};

// The value of an evaluated operand: 16 bits, and whether it was written in
// parentheses (a file register) or bare (a literal value).
struct OperandValue {
  std::uint32_t value = 0;
  bool file_register = false;
};

// Evaluates an operand (numbers and global symbols joined by + and -, in
// parentheses for a file register) whose blanks are collapsed. None for an
// operand that cannot be evaluated; a symbol that never received a value
// cannot be evaluated either. Notes are added only for a value.
// `unvalued`, where given, receives the first term that has no value: the
// place within `operand` where the evaluation stopped.
struct TermPlace {
  std::size_t offset = 0;
  std::size_t size = 0;
};
std::optional<OperandValue> operand_value(std::string_view operand, const SymbolTable& symbols,
                                          std::vector<OperandNote>* notes = nullptr,
                                          std::optional<TermPlace>* unvalued = nullptr);

// Collapses the operand's blanks and rewrites it as its value, "$hhhh" or
// "($hhhh)". A destination letter (W, w, F, f) and an empty operand stay as
// they are, and so does an operand that cannot be evaluated (after blank
// collapsing). Returns the value where it rewrote the operand.
std::optional<OperandValue> evaluate_operand(std::string& operand, const SymbolTable& symbols,
                                             std::vector<OperandNote>* notes = nullptr,
                                             std::optional<TermPlace>* unvalued = nullptr);
std::optional<OperandValue> evaluate_operand(FieldText<kOperandFieldSize>& operand,
                                             const SymbolTable& symbols,
                                             std::vector<OperandNote>* notes = nullptr,
                                             std::optional<TermPlace>* unvalued = nullptr);

// Why a register, literal or bit operation has no word, as its encoding
// found it: "normal err" for the first five causes and a term without a
// value, "bit err" for a bit operation.
enum class OperationFault : unsigned char {
  destination_not_letter,   // operand 2 is not W, F or M (an M defined as a symbol is a value)
  literal_without_form,     // a literal where the operation takes only a register
  literal_not_into_w,       // a literal operation whose destination is not W
  register_without_form,    // a register where the operation takes only a literal
  operand_not_register,     // operand 1 is neither a number nor a register, or a bare value
  term_without_value,       // a term of the operand has no value
  bit_number_register,      // the bit number is written in parentheses
  bit_number_out_of_range,  // the bit number is not 0 to 7
  // The enhanced core's:
  fsr_not_named,       // the FSR operand is not FSR0 or FSR1
  value_out_of_range,  // a bank, page, offset or branch outside the instruction's range
};

// The values an operand of an instruction may take.
struct OperandRange {
  std::int32_t low = 0;
  std::int32_t high = 0;
  bool contains(std::int32_t value) const { return value >= low && value <= high; }
};

// What the encoding found wrong, with the operand at fault.
struct EncodingFault {
  OperationFault cause = OperationFault::operand_not_register;
  int operand = 1;                     // 1 or 2
  std::optional<TermPlace> term;       // the term without a value, within `written`
  std::optional<std::uint32_t> value;  // the bit number's value, where it has one
  // Out of range: the value read as the instruction reads it, and its range.
  std::int32_t signed_value = 0;
  OperandRange range;
  // Both operands as the statement wrote them, blanks collapsed.
  std::array<std::string, 2> operands;

  const std::string& written() const { return operands[operand == 2 ? 1 : 0]; }
};

// The word of a register or literal operation, or the error "normal err"
// and its cause. `operand1` is operand 1's value where evaluate_operand gave
// one; otherwise the operand's text is read as it stands.
std::optional<EncodingFault> encode_normal(
    LineRecord& record, const std::optional<OperandValue>& operand1 = std::nullopt);

// The word of a bit operation, or the error "bit err" and its cause; the
// values as for encode_normal.
std::optional<EncodingFault> encode_bit(LineRecord& record,
                                        const std::optional<OperandValue>& operand1 = std::nullopt,
                                        const std::optional<OperandValue>& operand2 = std::nullopt);

// The enhanced core's operations with operands: ADDFSR, MOVIW and MOVWI
// (an FSR and an offset, or an FSR in a mode the form names), MOVLB and
// MOVLP (a bank or page number). The word, or "normal err" and its cause,
// as for encode_normal. `written` holds operands 1 and 2 as the statement
// wrote them; `banks` is the chip's bank count, which sets MOVLB's width.
std::optional<EncodingFault> encode_enhanced(LineRecord& record,
                                             const std::optional<OperandValue>& operand1,
                                             const std::optional<OperandValue>& operand2,
                                             const std::array<std::string_view, 2>& written,
                                             std::uint32_t banks);

// The words that select the bank of a register, or the page of a label:
// on the classic core BCF or BSF of RP0 and RP1 (STATUS) or of PCLATH's
// bits 3 and 4, on the enhanced core MOVLB or MOVLP; and HIGH's MOVLW of an
// address's high byte. `banks` as for encode_enhanced. The fault's operand
// is 1.
std::optional<EncodingFault> encode_selection(LineRecord& record,
                                              const std::optional<OperandValue>& operand1,
                                              std::uint32_t banks);

// The range of MOVLB's bank on a chip of `banks` banks: 0 to 31, or 0 to 63
// on the chips with 64 banks, whose MOVLB has a 6-bit field at 0140.
OperandRange bank_range(std::uint32_t banks);
std::uint16_t bank_select_word(std::uint32_t banks, std::uint32_t bank);

// BRA's reach: from -256 to 255 words from the next instruction.
inline constexpr OperandRange kBranchReach{-256, 255};

// A 16-bit operand value read as a signed number (FFFF is -1).
constexpr std::int32_t signed_value(std::uint32_t value) {
  const auto low = static_cast<std::int32_t>(value & 0xFFFF);
  return low >= 0x8000 ? low - 0x10000 : low;
}

}  // namespace korva
