#include "codegen/instruction_names.h"

#include <array>

namespace korva {
namespace {

// Byte-oriented register operations by opcode byte 02 to 0F.
constexpr std::array<std::string_view, 14> kRegisterOperations = {
    "SUBWF", "DECF", "IORWF",  "ANDWF", "XORWF", "ADDWF", "MOVF",
    "COMF",  "INCF", "DECFSZ", "RRF",   "RLF",   "SWAPF", "INCFSZ"};

std::string_view control_name(std::uint32_t word) {
  if (word & 0x80) return "MOVWF";
  switch (word) {
    case 0x0008:
      return "RETURN";
    case 0x0009:
      return "RETFIE";
    case 0x0063:
      return "SLEEP";
    case 0x0064:
      return "CLRWDT";
    default:
      return "NOP";
  }
}

std::string_view literal_name(std::uint32_t high) {
  if (high <= 0x33) return "MOVLW";
  if (high <= 0x37) return "RETLW";
  switch (high) {
    case 0x38:
      return "IORLW";
    case 0x39:
      return "ANDLW";
    case 0x3A:
      return "XORLW";
    case 0x3B:
      return "no instruction";
    case 0x3C:
    case 0x3D:
      return "SUBLW";
    default:
      return "ADDLW";
  }
}

}  // namespace

std::string_view instruction_name(std::uint32_t word) {
  if (word > 0x3FFF) return "no instruction";
  const std::uint32_t high = word >> 8;
  if (high == 0x00) return control_name(word);
  if (high == 0x01) return (word & 0x80) ? "CLRF" : "CLRW";
  if (high <= 0x0F) return kRegisterOperations[high - 2];
  if (high <= 0x13) return "BCF";
  if (high <= 0x17) return "BSF";
  if (high <= 0x1B) return "BTFSC";
  if (high <= 0x1F) return "BTFSS";
  if (high <= 0x27) return "CALL";
  if (high <= 0x2F) return "GOTO";
  return literal_name(high);
}

}  // namespace korva
