// Pass 3's operand evaluation and the program words of register, literal and
// bit operations.
#pragma once

#include <string>
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
  char op = 0;        // the ignored operator
  std::string term;   // the term as written
  std::string value;  // four hexadecimal digits: the value kept, or read
};

// Evaluates an operand (numbers and global symbols joined by + and -, in
// parentheses for a file register) into "$hhhh" or "($hhhh)". A destination
// letter (W, w, F, f) and an empty operand stay as they are, and so does an
// operand that cannot be evaluated (after blank collapsing); a symbol that
// never received a value cannot be evaluated either. Returns whether it
// rewrote the operand; only then are notes added to `notes`.
bool evaluate_operand(std::string& operand, const SymbolTable& symbols,
                      std::vector<OperandNote>* notes = nullptr);
bool evaluate_operand(FieldText<kOperandFieldSize>& operand, const SymbolTable& symbols,
                      std::vector<OperandNote>* notes = nullptr);

// The word of a register or literal operation, or the error "normal err".
void encode_normal(LineRecord& record);

// The word of a bit operation, or the error "bit err".
void encode_bit(LineRecord& record);

// Reduces a two-digit register address to its 7-bit file-register field.
void mask_register(std::string& text);

}  // namespace korva
