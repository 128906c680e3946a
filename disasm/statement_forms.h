// The statement forms a program word can be written in, found from the
// pattern table: the decoder reads the same entries the matcher and the
// code generator use, so a form exists here exactly where the table has one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "patterns/instruction_set.h"

namespace korva {

// Ways to write a register operand, the preferred first: "(PORTB)",
// "($06)". For each, the bit names of that register where it has them.
struct RegisterSpelling {
  std::string text;
  std::optional<std::string> bit_name;  // the name of the word's bit, if any
};

// The statements that encode to the word, in the order the disassembler
// tries them: each form of the pattern table whose opcode fits, the short
// form before the one with a destination, each with every spelling of the
// register. Jumps and calls are not here (they need labels); neither is
// the raw word, which always fits.
// `family` chooses the table: the enhanced one writes the enhanced core's
// words in its own forms (BRA, a jump, is not here either).
std::vector<std::string> statement_forms(const DecodedWord& decoded,
                                         const std::vector<RegisterSpelling>& spellings,
                                         CoreFamily family = CoreFamily::classic);

// The raw word, "\\3FFF".
std::string raw_statement(std::uint16_t word);

// "$0F": two or four hexadecimal digits after a dollar sign.
std::string dollar_hex(unsigned value, int digits);

}  // namespace korva
