// The mid-range instruction sets, classic and enhanced: the one description
// of what each 14-bit program word is. The pattern table says how the notation writes an
// instruction; this table says which words an instruction has, what its
// operands are and where the program goes after it. Every decoder, every
// printer of mnemonics and every skip test reads it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "support/core_family.h"

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
  // The enhanced core's:
  bank,        // the bank in the low 5 bits (MOVLB)
  wide_bank,   // the bank in the low 6 bits (MOVLB of the 64-bank parts)
  page,        // PCLATH's 7 bits (MOVLP)
  relative,    // a 9-bit signed offset from the next word (BRA)
  fsr_offset,  // FSRn in bit 6 and a 6-bit signed offset (ADDFSR, MOVIW/MOVWI k[n])
  fsr_mode,    // FSRn in bit 2 and the increment mode in bits 0 and 1 (MOVIW/MOVWI)
};

// Where the program goes after a word.
enum class WordFlow : unsigned char {
  next,     // on with the next word
  skip,     // on with the next word, or the one after it (BTFSC, DECFSZ ...)
  jump,     // to the address (GOTO)
  call,     // to the address, and back after it (CALL)
  leave,    // back to the caller (RETURN, RETLW, RETFIE)
  no_form,  // nowhere known: the word is no instruction
  // The enhanced core's:
  relative_jump,  // to the next word plus the offset (BRA)
  computed_jump,  // to the next word plus W (BRW), which tables follow
  restart,        // to the reset vector, with the chip reset (RESET)
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

// The registers that select the bank and the page, where every bank shows
// them, and their selecting bits: RP0 and RP1 of STATUS and PCLATH's 3 and 4
// on the classic core, BSR on the enhanced one.
inline constexpr std::uint8_t kStatusRegister = 0x03;
inline constexpr std::uint8_t kPclathRegister = 0x0A;
inline constexpr std::uint8_t kBsrRegister = 0x08;
inline constexpr std::uint8_t kBankBitLow = 5;   // RP0
inline constexpr std::uint8_t kBankBitHigh = 6;  // RP1
inline constexpr std::uint8_t kPageBitLow = 3;   // of PCLATH, on the classic core

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
    case OperandKind::bank:
      return 0x001F;
    case OperandKind::wide_bank:
      return 0x003F;
    case OperandKind::page:
      return 0x007F;
    case OperandKind::relative:
      return 0x01FF;
    case OperandKind::fsr_offset:
      return 0x007F;
    case OperandKind::fsr_mode:
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

// The enhanced core keeps the classic instructions' words; the literal
// operations lose the "don't care" bits of their masks, where the new
// instructions sit, and so do NOP (0020 to 003F is MOVLB) and CLRW (0100
// to 0103 only).
struct NarrowedMask {
  std::string_view mnemonic;
  std::uint16_t mask;
};
inline constexpr std::array<NarrowedMask, 6> kEnhancedMasks = {{
    {"NOP", 0x3FFF},
    {"CLRW", 0x3FFC},
    {"MOVLW", 0x3F00},
    {"RETLW", 0x3F00},
    {"SUBLW", 0x3F00},
    {"ADDLW", 0x3F00},
}};

// The 14 instructions the enhanced core adds, MOVIW and MOVWI in two forms
// each (the first form is the one opcode_of names).
inline constexpr std::array<Instruction, 16> kEnhancedAdditions = [] {
  using enum OperandKind;
  using enum WordFlow;
  return std::array<Instruction, 16>{{
      {"RESET", 0x0001, 0x3FFF, none, restart},
      {"CALLW", 0x000A, 0x3FFF, none, next},
      {"BRW", 0x000B, 0x3FFF, none, computed_jump},
      {"MOVIW", 0x0010, 0x3FF8, fsr_mode, next},
      {"MOVWI", 0x0018, 0x3FF8, fsr_mode, next},
      {"MOVLB", 0x0020, 0x3FE0, bank, next},
      {"ADDFSR", 0x3100, 0x3F80, fsr_offset, next},
      {"MOVLP", 0x3180, 0x3F80, page, next},
      {"BRA", 0x3200, 0x3E00, relative, relative_jump},
      {"LSLF", 0x3500, 0x3F00, file_destination, next},
      {"LSRF", 0x3600, 0x3F00, file_destination, next},
      {"ASRF", 0x3700, 0x3F00, file_destination, next},
      {"SUBWFB", 0x3B00, 0x3F00, file_destination, next},
      {"ADDWFC", 0x3D00, 0x3F00, file_destination, next},
      {"MOVIW", 0x3F00, 0x3F80, fsr_offset, next},
      {"MOVWI", 0x3F80, 0x3F80, fsr_offset, next},
  }};
}();

inline constexpr std::size_t kEnhancedInstructionCount =
    kInstructionCount + kEnhancedAdditions.size();

// The enhanced core's 49 instructions with OPTION and TRIS, which its chips
// still decode: the classic set with its masks narrowed, then the additions.
// No two of their masked ranges overlap but CLRWDT's and TRIS's, in the
// classic order, so the first fit is the only one.
inline constexpr std::array<Instruction, kEnhancedInstructionCount> kEnhancedInstructionSet = [] {
  std::array<Instruction, kEnhancedInstructionCount> set{};
  std::size_t at = 0;
  for (Instruction instruction : kInstructionSet) {
    for (const NarrowedMask& narrowed : kEnhancedMasks) {
      if (narrowed.mnemonic == instruction.mnemonic) instruction.mask = narrowed.mask;
    }
    set[at++] = instruction;
  }
  for (const Instruction& instruction : kEnhancedAdditions) set[at++] = instruction;
  return set;
}();
static_assert(kEnhancedInstructionCount == 53);

// The banks MOVLB's five bits reach. The enhanced parts of more banks (the
// 16F18xxx, 64) moved MOVLB to 0140 for a sixth bit; on them 0020 to 003F
// is no instruction.
inline constexpr std::uint32_t kNarrowBankSelectBanks = 32;
inline constexpr Instruction kWideBankSelect{"MOVLB", 0x0140, 0x3FC0, OperandKind::wide_bank,
                                             WordFlow::next};

// The enhanced set of a part with more banks than MOVLB's five bits reach.
inline constexpr std::array<Instruction, kEnhancedInstructionCount> kWideBankInstructionSet = [] {
  std::array<Instruction, kEnhancedInstructionCount> set = kEnhancedInstructionSet;
  for (Instruction& instruction : set) {
    if (instruction.operands == OperandKind::bank) instruction = kWideBankSelect;
  }
  return set;
}();

// The instruction set of a core on a part of `banks` banks (the bank count
// only matters to the enhanced core's MOVLB).
constexpr std::span<const Instruction> instruction_set(CoreFamily family, std::uint32_t banks = 0) {
  if (family != CoreFamily::enhanced) return kInstructionSet;
  return banks > kNarrowBankSelectBanks ? kWideBankInstructionSet : kEnhancedInstructionSet;
}

// The instruction a word encodes; none for a word that is no instruction
// (classic: 3B00 to 3BFF, the unused words below 0080; anything above 3FFF).
const Instruction* find_instruction(std::uint32_t word, CoreFamily family = CoreFamily::classic,
                                    std::uint32_t banks = 0);

// The mnemonic of the instruction a word encodes, or "no instruction".
std::string_view instruction_name(std::uint32_t word, CoreFamily family = CoreFamily::classic,
                                  std::uint32_t banks = 0);

// Not defined: a compile-time lookup of an unknown mnemonic calls it, which
// stops the build.
std::uint16_t unknown_mnemonic();

// The opcode of a mnemonic, for the tables built from this one at compile
// time. MOVIW and MOVWI name their first form. The enhanced core's additions
// are looked up in their own array, the classic words in theirs (the
// enhanced set keeps them), and the first match returns at once: GCC's
// UndefinedBehaviorSanitizer refuses a compile-time walk that keeps a
// pointer into the combined set.
consteval std::uint16_t opcode_of(std::string_view mnemonic,
                                  CoreFamily family = CoreFamily::classic) {
  if (family == CoreFamily::enhanced) {
    for (const Instruction& instruction : kEnhancedAdditions) {
      if (instruction.mnemonic == mnemonic) return instruction.opcode;
    }
  }
  for (const Instruction& instruction : kInstructionSet) {
    if (instruction.mnemonic == mnemonic) return instruction.opcode;
  }
  return unknown_mnemonic();
}

// The opcode of an enhanced instruction's form with these operands: MOVIW's
// k[n] form is opcode_of_form("MOVIW", OperandKind::fsr_offset).
consteval std::uint16_t opcode_of_form(std::string_view mnemonic, OperandKind operands) {
  for (const Instruction& instruction : kEnhancedAdditions) {
    if (instruction.mnemonic == mnemonic && instruction.operands == operands) {
      return instruction.opcode;
    }
  }
  return unknown_mnemonic();
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

// The word the pattern table and opcode_of give an instruction: MOVLB's
// own for the 64-bank parts' MOVLB, which the same form writes.
constexpr std::uint16_t table_opcode(const Instruction& instruction) {
  return instruction.operands == OperandKind::wide_bank ? opcode_of("MOVLB", CoreFamily::enhanced)
                                                        : instruction.opcode;
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
  // The enhanced core's operands:
  std::optional<std::int16_t> offset;  // BRA's from the next word; ADDFSR's, MOVIW/MOVWI k[n]'s
  std::optional<std::uint8_t> fsr;     // FSR0 or FSR1: 0 or 1
  std::optional<std::uint8_t> mode;    // MOVIW/MOVWI: ++FSRn, --FSRn, FSRn++, FSRn-- as 0 to 3
};

DecodedWord decode_word(std::uint16_t word, CoreFamily family = CoreFamily::classic,
                        std::uint32_t banks = 0);

// Whether a decoded word is the instruction with this opcode:
// `decodes_as(decoded, opcode_of("RETLW"))`.
// The 64-bank parts' MOVLB decodes as MOVLB.
constexpr bool decodes_as(const DecodedWord& decoded, std::uint16_t opcode) {
  return decoded.instruction != nullptr && table_opcode(*decoded.instruction) == opcode;
}

// The word in the mnemonics of the instruction set ("BSF 03h,5",
// "MOVLW 0FFh", "TRIS 06h"), for remarks and hovers; "no instruction" for a
// word without one.
// Enhanced words as MPASM writes them: "MOVLB 01h", "BRA $+3" (from the
// word itself), "ADDFSR FSR1,-1", "MOVIW FSR0++", "MOVWI -2[FSR1]".
std::string standard_mnemonic(std::uint16_t word, CoreFamily family = CoreFamily::classic,
                              std::uint32_t banks = 0);

}  // namespace korva
