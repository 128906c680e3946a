// Pass 3's operand evaluation and the program words of register, literal and
// bit operations.
#pragma once

#include <string>

#include "driver/line_record.h"
#include "symbols/symbol_table.h"

namespace korva {

// Evaluates an operand (numbers and global symbols joined by + and -, in
// parentheses for a file register) into "$hhhh" or "($hhhh)". A destination
// letter (W, w, F, f) and an empty operand stay as they are, and so does an
// operand that cannot be evaluated (after blank collapsing). Returns whether
// it rewrote the operand.
bool evaluate_operand(std::string& operand, const SymbolTable& symbols);

// The word of a register or literal operation, or the error "normal err".
void encode_normal(LineRecord& record);

// The word of a bit operation, or the error "bit err".
void encode_bit(LineRecord& record);

// Reduces a two-digit register address to its 7-bit file-register field.
void mask_register(std::string& text);

}  // namespace korva
