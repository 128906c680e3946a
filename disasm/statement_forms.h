// The statement forms a program word can be written in, found from the
// pattern table: the decoder reads the same entries the matcher and the
// code generator use, so a form exists here exactly where the table has one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korva {

// What a word does to the flow of the program.
enum class WordFlow {
  next,     // goes on with the next word
  skip,     // may skip the next word (BTFSC, BTFSS, INCFSZ, DECFSZ)
  jump,     // GOTO
  call,     // CALL
  leave,    // RETURN, RETLW, RETFIE
  no_form,  // no instruction of the set
};

// A word taken apart by the instruction set.
struct DecodedWord {
  std::uint16_t word = 0;
  WordFlow flow = WordFlow::no_form;
  std::optional<std::uint8_t> file;     // the 7-bit register of a register or bit operation
  std::optional<std::uint8_t> bit;      // the bit of a bit operation
  std::optional<std::uint8_t> literal;  // the literal of a literal operation
  bool to_file = false;                 // d = 1
  std::uint16_t target = 0;             // the low 11 bits of GOTO and CALL
  bool sets_bit = false;                // BSF
  bool clears_bit = false;              // BCF
};

DecodedWord decode_word(std::uint16_t word);

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
std::vector<std::string> statement_forms(const DecodedWord& decoded,
                                         const std::vector<RegisterSpelling>& spellings);

// The raw word, "\\3FFF".
std::string raw_statement(std::uint16_t word);

// The word in the mnemonics of the instruction set ("BSF 03h,5",
// "MOVLW 0FFh"), for remarks; "no instruction" for a word without one.
std::string standard_mnemonic(std::uint16_t word);

// "$0F": two or four hexadecimal digits after a dollar sign.
std::string dollar_hex(unsigned value, int digits);

}  // namespace korva
