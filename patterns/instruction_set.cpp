#include "patterns/instruction_set.h"

#include <array>
#include <string>

namespace korva {

const Instruction* find_instruction(std::uint32_t word, CoreFamily family, std::uint32_t banks) {
  if (word > 0x3FFF) return nullptr;
  for (const Instruction& instruction : instruction_set(family, banks)) {
    if ((word & instruction.mask) == (instruction.opcode & instruction.mask)) return &instruction;
  }
  return nullptr;
}

std::string_view instruction_name(std::uint32_t word, CoreFamily family, std::uint32_t banks) {
  const Instruction* instruction = find_instruction(word, family, banks);
  return instruction ? instruction->mnemonic : "no instruction";
}

namespace {

// A field of `bits` bits read as a two's-complement number.
std::int16_t signed_field(std::uint16_t word, unsigned bits) {
  const int field = word & ((1 << bits) - 1);
  return static_cast<std::int16_t>(field >= (1 << (bits - 1)) ? field - (1 << bits) : field);
}

}  // namespace

DecodedWord decode_word(std::uint16_t word, CoreFamily family, std::uint32_t banks) {
  DecodedWord decoded;
  decoded.word = word;
  decoded.instruction = find_instruction(word, family, banks);
  if (!decoded.instruction) return decoded;
  decoded.flow = decoded.instruction->flow;
  const auto low_byte = static_cast<std::uint8_t>(word & 0xFF);
  const auto file = static_cast<std::uint8_t>(word & 0x7F);
  switch (decoded.instruction->operands) {
    case OperandKind::none:
    case OperandKind::port:
      break;
    case OperandKind::file:
    case OperandKind::file_destination:
      decoded.file = file;
      decoded.to_file = (word & kDestinationBit) != 0;
      break;
    case OperandKind::file_bit:
      decoded.file = file;
      decoded.bit = static_cast<std::uint8_t>((word >> 7) & 7);
      decoded.sets_bit = decoded.instruction->opcode == opcode_of("BSF");
      decoded.clears_bit = decoded.instruction->opcode == opcode_of("BCF");
      break;
    case OperandKind::literal:
      decoded.literal = low_byte;
      break;
    case OperandKind::address:
      decoded.target = word & operand_bits(OperandKind::address);
      break;
    case OperandKind::bank:
    case OperandKind::wide_bank:
    case OperandKind::page:
      decoded.literal =
          static_cast<std::uint8_t>(word & operand_bits(decoded.instruction->operands));
      break;
    case OperandKind::relative:
      decoded.offset = signed_field(word, 9);
      break;
    case OperandKind::fsr_offset:
      decoded.fsr = static_cast<std::uint8_t>((word >> 6) & 1);
      decoded.offset = signed_field(word, 6);
      break;
    case OperandKind::fsr_mode:
      decoded.fsr = static_cast<std::uint8_t>((word >> 2) & 1);
      decoded.mode = static_cast<std::uint8_t>(word & 3);
      break;
  }
  return decoded;
}

namespace {

// "0FFh": a hexadecimal number as the standard assemblers write it.
std::string h_number(unsigned value, int digits) {
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = "0123456789ABCDEF"[value & 0xF];
    value >>= 4;
  }
  if (text.front() > '9') text.insert(text.begin(), '0');
  return text + "h";
}

// The operands of a decoded word as the standard mnemonics write them.
std::string operand_text(const DecodedWord& decoded) {
  switch (decoded.instruction->operands) {
    case OperandKind::none:
      return {};
    case OperandKind::port:
      return h_number(decoded.word & operand_bits(OperandKind::port), 2);
    case OperandKind::file:
      return h_number(*decoded.file, 2);
    case OperandKind::file_destination:
      return h_number(*decoded.file, 2) + (decoded.to_file ? ",F" : ",W");
    case OperandKind::file_bit:
      return h_number(*decoded.file, 2) + "," + std::to_string(*decoded.bit);
    case OperandKind::literal:
      return h_number(*decoded.literal, 2);
    case OperandKind::address:
      return h_number(decoded.target, 3);
    case OperandKind::bank:
    case OperandKind::wide_bank:
    case OperandKind::page:
      return h_number(*decoded.literal, 2);
    case OperandKind::relative: {
      // From the word itself, as MPASM writes it: the offset counts from the next.
      const int from_here = *decoded.offset + 1;
      return from_here < 0 ? "$" + std::to_string(from_here) : "$+" + std::to_string(from_here);
    }
    case OperandKind::fsr_offset: {
      const std::string fsr = "FSR" + std::to_string(*decoded.fsr);
      if (decoded.instruction->opcode == opcode_of("ADDFSR", CoreFamily::enhanced)) {
        return fsr + "," + std::to_string(*decoded.offset);
      }
      return std::to_string(*decoded.offset) + "[" + fsr + "]";
    }
    case OperandKind::fsr_mode: {
      const std::string fsr = "FSR" + std::to_string(*decoded.fsr);
      static constexpr std::array<std::string_view, 4> kBefore = {"++", "--", "", ""};
      static constexpr std::array<std::string_view, 4> kAfter = {"", "", "++", "--"};
      return std::string(kBefore[*decoded.mode]) + fsr + std::string(kAfter[*decoded.mode]);
    }
  }
  return {};
}

}  // namespace

std::string standard_mnemonic(std::uint16_t word, CoreFamily family, std::uint32_t banks) {
  const DecodedWord decoded = decode_word(word, family, banks);
  if (!decoded.instruction) return "no instruction";
  std::string text(decoded.instruction->mnemonic);
  const std::string operands = operand_text(decoded);
  if (!operands.empty()) text.append(1, ' ').append(operands);
  return text;
}

}  // namespace korva
