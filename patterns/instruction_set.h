// The mid-range instruction set: the one description of what each 14-bit
// program word is. The pattern table says how the notation writes an
// instruction; this table says which words an instruction has, what its
// operands are and where the program goes after it. Every decoder, every
// printer of mnemonics and every skip test reads it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korva {

// The operand fields of a word.
enum class OperandKind : unsigned char {
  none,              // NOP, RETURN, CLRW ...
  file,              // f in the low 7 bits, the result to f (MOVWF, CLRF)
  file_destination,  // f and d (bit 7): the result to W or to f
  file_bit,          // f and the bit number b in bits 7 to 9
  literal,           // k in the low 8 bits
  address,           // the low 11 bits of a program address (GOTO, CALL)
  port,              // the port register of TRIS, 5 to 7
};

// Where the program goes after a word.
enum class WordFlow : unsigned char {
  next,     // on with the next word
  skip,     // on with the next word, or the one after it (BTFSC, DECFSZ ...)
  jump,     // to the address (GOTO)
  call,     // to the address, and back after it (CALL)
  leave,    // back to the caller (RETURN, RETLW, RETFIE)
  no_form,  // nowhere known: the word is no instruction
};

struct Instruction {
  std::string_view mnemonic;
  // The word with every operand field zero, as the assembler writes it.
  std::uint16_t opcode = 0;
  // The bits that tell the instruction apart: a word is this instruction
  // when (word & mask) == (opcode & mask). Bits outside the mask and the
  // operand fields are the datasheet's "don't care" bits.
  std::uint16_t mask = 0;
  OperandKind operands = OperandKind::none;
  WordFlow flow = WordFlow::next;
};

inline constexpr std::uint16_t kDestinationBit = 0x0080;

// The operand fields of a kind, as bits of the word.
constexpr std::uint16_t operand_bits(OperandKind kind) {
  switch (kind) {
    case OperandKind::none:
      return 0x0000;
    case OperandKind::file:
      return 0x007F;
    case OperandKind::file_destination:
      return 0x00FF;
    case OperandKind::file_bit:
      return 0x03FF;
    case OperandKind::literal:
      return 0x00FF;
    case OperandKind::address:
      return 0x07FF;
    case OperandKind::port:
      return 0x0007;
  }
  return 0;
}

inline constexpr std::size_t kInstructionCount = 37;

// The 35 instructions of the mid-range set and the two older ones the
// chips still decode (OPTION, TRIS). The first entry that fits a word is its
// instruction, so an exact word comes before a masked range that holds it.
inline constexpr std::array<Instruction, kInstructionCount> kInstructionSet = [] {
  using enum OperandKind;
  using enum WordFlow;
  return std::array<Instruction, kInstructionCount>{{
      {"NOP", 0x0000, 0x3F9F, none, next},  // 0000, 0020, 0040, 0060
      {"RETURN", 0x0008, 0x3FFF, none, leave},
      {"RETFIE", 0x0009, 0x3FFF, none, leave},
      {"OPTION", 0x0062, 0x3FFF, none, next},
      {"SLEEP", 0x0063, 0x3FFF, none, next},
      {"CLRWDT", 0x0064, 0x3FFF, none, next},
      // 0065 to 0067: 0064 is taken by CLRWDT above.
      {"TRIS", 0x0064, 0x3FFC, port, next},
      {"MOVWF", 0x0080, 0x3F80, file, next},
      {"CLRW", 0x0100, 0x3F80, none, next},
      {"CLRF", 0x0180, 0x3F80, file, next},
      {"SUBWF", 0x0200, 0x3F00, file_destination, next},
      {"DECF", 0x0300, 0x3F00, file_destination, next},
      {"IORWF", 0x0400, 0x3F00, file_destination, next},
      {"ANDWF", 0x0500, 0x3F00, file_destination, next},
      {"XORWF", 0x0600, 0x3F00, file_destination, next},
      {"ADDWF", 0x0700, 0x3F00, file_destination, next},
      {"MOVF", 0x0800, 0x3F00, file_destination, next},
      {"COMF", 0x0900, 0x3F00, file_destination, next},
      {"INCF", 0x0A00, 0x3F00, file_destination, next},
      {"DECFSZ", 0x0B00, 0x3F00, file_destination, skip},
      {"RRF", 0x0C00, 0x3F00, file_destination, next},
      {"RLF", 0x0D00, 0x3F00, file_destination, next},
      {"SWAPF", 0x0E00, 0x3F00, file_destination, next},
      {"INCFSZ", 0x0F00, 0x3F00, file_destination, skip},
      {"BCF", 0x1000, 0x3C00, file_bit, next},
      {"BSF", 0x1400, 0x3C00, file_bit, next},
      {"BTFSC", 0x1800, 0x3C00, file_bit, skip},
      {"BTFSS", 0x1C00, 0x3C00, file_bit, skip},
      {"CALL", 0x2000, 0x3800, address, call},
      {"GOTO", 0x2800, 0x3800, address, jump},
      {"MOVLW", 0x3000, 0x3C00, literal, next},
      {"RETLW", 0x3400, 0x3C00, literal, leave},
      {"IORLW", 0x3800, 0x3F00, literal, next},
      {"ANDLW", 0x3900, 0x3F00, literal, next},
      {"XORLW", 0x3A00, 0x3F00, literal, next},
      {"SUBLW", 0x3C00, 0x3E00, literal, next},
      {"ADDLW", 0x3E00, 0x3E00, literal, next},
  }};
}();

// The instruction a word encodes; none for a word that is no instruction
// (3B00 to 3BFF, the unused words below 0080, anything above 3FFF).
const Instruction* find_instruction(std::uint32_t word);

// The mnemonic of the instruction a word encodes, or "no instruction".
std::string_view instruction_name(std::uint32_t word);

// The opcode of a mnemonic, for the tables built from this one at compile
// time: an unknown name reads through a null pointer, which stops the build.
consteval std::uint16_t opcode_of(std::string_view mnemonic) {
  const Instruction* named = nullptr;
  for (const Instruction& instruction : kInstructionSet) {
    if (instruction.mnemonic == mnemonic) named = &instruction;
  }
  return named->opcode;
}

// The base word of CALL, which pass 2 gives a subroutine call statement and
// pass 3 completes with the subroutine's address.
inline constexpr std::uint16_t kCallWord = opcode_of("CALL");

// Whether a word is the instruction's own encoding: every bit outside its
// operand fields as the assembler writes it. 3F05 is ADDLW 05 but not its
// own encoding, which is 3E05.
constexpr bool is_plain_encoding(const Instruction& instruction, std::uint16_t word) {
  return (word & static_cast<std::uint16_t>(~operand_bits(instruction.operands))) ==
         (instruction.opcode & static_cast<std::uint16_t>(~operand_bits(instruction.operands)));
}

// A word taken apart by its instruction.
struct DecodedWord {
  std::uint16_t word = 0;
  const Instruction* instruction = nullptr;  // none for a word that is no instruction
  WordFlow flow = WordFlow::no_form;
  std::optional<std::uint8_t> file;     // the 7-bit register of a register or bit operation
  std::optional<std::uint8_t> bit;      // the bit of a bit operation
  std::optional<std::uint8_t> literal;  // the literal of a literal operation
  bool to_file = false;                 // the result goes to the register
  std::uint16_t target = 0;             // the low 11 bits of GOTO and CALL
  bool sets_bit = false;                // BSF
  bool clears_bit = false;              // BCF
};

DecodedWord decode_word(std::uint16_t word);

// Whether a decoded word is the instruction with this opcode:
// `decodes_as(decoded, opcode_of("RETLW"))`.
constexpr bool decodes_as(const DecodedWord& decoded, std::uint16_t opcode) {
  return decoded.instruction != nullptr && decoded.instruction->opcode == opcode;
}

// The word in the mnemonics of the instruction set ("BSF 03h,5",
// "MOVLW 0FFh", "TRIS 06h"), for remarks and hovers; "no instruction" for a
// word without one.
std::string standard_mnemonic(std::uint16_t word);

}  // namespace korva
