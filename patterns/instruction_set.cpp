#include "patterns/instruction_set.h"

namespace korva {

const Instruction* find_instruction(std::uint32_t word) {
  if (word > 0x3FFF) return nullptr;
  for (const Instruction& instruction : kInstructionSet) {
    if ((word & instruction.mask) == (instruction.opcode & instruction.mask)) return &instruction;
  }
  return nullptr;
}

std::string_view instruction_name(std::uint32_t word) {
  const Instruction* instruction = find_instruction(word);
  return instruction ? instruction->mnemonic : "no instruction";
}

DecodedWord decode_word(std::uint16_t word) {
  DecodedWord decoded;
  decoded.word = word;
  decoded.instruction = find_instruction(word);
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
  }
  return {};
}

}  // namespace

std::string standard_mnemonic(std::uint16_t word) {
  const DecodedWord decoded = decode_word(word);
  if (!decoded.instruction) return "no instruction";
  std::string text(decoded.instruction->mnemonic);
  const std::string operands = operand_text(decoded);
  if (!operands.empty()) text.append(1, ' ').append(operands);
  return text;
}

}  // namespace korva
