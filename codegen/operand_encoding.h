// Pass 3's operand evaluation and the program words of register, literal and
// bit operations.
#pragma once

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
std::optional<OperandValue> operand_value(std::string_view operand, const SymbolTable& symbols,
                                          std::vector<OperandNote>* notes = nullptr);

// Collapses the operand's blanks and rewrites it as its value, "$hhhh" or
// "($hhhh)". A destination letter (W, w, F, f) and an empty operand stay as
// they are, and so does an operand that cannot be evaluated (after blank
// collapsing). Returns the value where it rewrote the operand.
std::optional<OperandValue> evaluate_operand(std::string& operand, const SymbolTable& symbols,
                                             std::vector<OperandNote>* notes = nullptr);
std::optional<OperandValue> evaluate_operand(FieldText<kOperandFieldSize>& operand,
                                             const SymbolTable& symbols,
                                             std::vector<OperandNote>* notes = nullptr);

// The word of a register or literal operation, or the error "normal err".
// `operand1` is operand 1's value where evaluate_operand gave one; otherwise
// the operand's text is read as it stands.
void encode_normal(LineRecord& record, const std::optional<OperandValue>& operand1 = std::nullopt);

// The word of a bit operation, or the error "bit err"; the values as for
// encode_normal.
void encode_bit(LineRecord& record, const std::optional<OperandValue>& operand1 = std::nullopt,
                const std::optional<OperandValue>& operand2 = std::nullopt);

}  // namespace korva
