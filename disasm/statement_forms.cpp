#include "disasm/statement_forms.h"

#include <cstddef>
#include <string_view>

#include "codegen/instruction_names.h"
#include "patterns/pattern_table.h"

namespace korva {

namespace {

constexpr std::uint16_t kOpcodeMask = 0x3F00;
constexpr std::uint16_t kBitOpcodeMask = 0x3C00;
constexpr std::uint16_t kBranchMask = 0x3800;
constexpr std::uint16_t kGotoWord = 0x2800;
constexpr std::uint16_t kTargetMask = 0x07FF;
constexpr std::uint16_t kDestinationBit = 0x0080;
constexpr std::uint16_t kFileMask = 0x007F;

std::size_t operand_places(const PatternEntry& entry) {
  std::size_t places = 0;
  for (const char c : entry.text) places += c == '@' ? 1 : 0;
  return places;
}

// The entry's text with its operand places filled in order.
std::string filled(const PatternEntry& entry, const std::string& first, const std::string& second) {
  std::string text;
  std::size_t place = 0;
  for (const char c : entry.text) {
    if (c != '@') {
      text += c;
      continue;
    }
    text += place++ == 0 ? first : second;
  }
  return text;
}

bool is_skip(std::uint16_t word) {
  const std::uint16_t opcode = word & kOpcodeMask;
  const std::uint16_t bit_opcode = word & kBitOpcodeMask;
  return opcode == 0x0F00 || opcode == 0x0B00 || bit_opcode == 0x1800 || bit_opcode == 0x1C00;
}

std::string hex_text(unsigned value, int digits) {
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = "0123456789ABCDEF"[value & 0xF];
    value >>= 4;
  }
  return text;
}

// "0FFh": a hexadecimal number as the standard assemblers write it.
std::string h_number(unsigned value, int digits) {
  std::string text = hex_text(value, digits);
  if (text.front() > '9') text.insert(text.begin(), '0');
  return text + "h";
}

// The words below 0080 that are no register operation.
std::string control_mnemonic(std::uint16_t word) {
  switch (word) {
    case 0x0000:
    case 0x0020:
    case 0x0040:
    case 0x0060:
      return "NOP";
    case 0x0008:
      return "RETURN";
    case 0x0009:
      return "RETFIE";
    case 0x0062:
      return "OPTION";
    case 0x0063:
      return "SLEEP";
    case 0x0064:
      return "CLRWDT";
    case 0x0065:
    case 0x0066:
    case 0x0067:
      return "TRIS " + h_number(word & 0x7u, 2);
    default:
      return "no instruction";
  }
}

}  // namespace

std::string dollar_hex(unsigned value, int digits) {
  return "$" + hex_text(value, digits);
}

std::string raw_statement(std::uint16_t word) {
  return "\\" + hex_text(word, 4);
}

DecodedWord decode_word(std::uint16_t word) {
  DecodedWord decoded;
  decoded.word = word;
  if (word > 0x3FFF) return decoded;
  if ((word & kBranchMask) == kGotoWord || (word & kBranchMask) == kCallWord) {
    decoded.flow = (word & kBranchMask) == kGotoWord ? WordFlow::jump : WordFlow::call;
    decoded.target = word & kTargetMask;
    return decoded;
  }
  if (word == 0x0008 || word == 0x0009 || (word & 0x3C00) == 0x3400) {
    decoded.flow = WordFlow::leave;
    if (word > 0x0009) decoded.literal = static_cast<std::uint8_t>(word & 0xFF);
    return decoded;
  }
  const std::string_view name = instruction_name(word);
  if (name == "no instruction") return decoded;
  decoded.flow = is_skip(word) ? WordFlow::skip : WordFlow::next;
  if (word >= 0x3000) {
    decoded.literal = static_cast<std::uint8_t>(word & 0xFF);
  } else if (word >= 0x1000) {
    decoded.file = static_cast<std::uint8_t>(word & kFileMask);
    decoded.bit = static_cast<std::uint8_t>((word >> 7) & 7);
    decoded.sets_bit = (word & kBitOpcodeMask) == 0x1400;
    decoded.clears_bit = (word & kBitOpcodeMask) == 0x1000;
  } else if (word >= 0x0080 || (word & kOpcodeMask) != 0) {
    decoded.file = static_cast<std::uint8_t>(word & kFileMask);
    decoded.to_file = (word & kDestinationBit) != 0;
  }
  return decoded;
}

namespace {

// The statements of one table entry that encode to the word.
void add_entry_forms(const PatternEntry& entry, const DecodedWord& decoded,
                     const std::vector<RegisterSpelling>& spellings,
                     std::vector<std::string>& forms) {
  const std::uint16_t word = decoded.word;
  if (entry.type == PatternType::inherent) {
    if (entry.word == word) forms.emplace_back(entry.text);
    return;
  }
  if (entry.type == PatternType::bit_op) {
    if (entry.word != (word & kBitOpcodeMask)) return;
    for (const RegisterSpelling& spelling : spellings) {
      if (spelling.bit_name) forms.push_back(filled(entry, spelling.text, *spelling.bit_name));
      forms.push_back(filled(entry, spelling.text, std::to_string((word >> 7) & 7)));
    }
    return;
  }
  if (entry.type != PatternType::register_op) return;
  if (entry.literal_word == (word & 0xFF00)) {
    forms.push_back(filled(entry, dollar_hex(word & 0xFFu, 2), "W"));
  }
  // A form without a destination puts the result back in the register.
  const bool to_file = (word & kDestinationBit) != 0;
  if (entry.word != (word & kOpcodeMask) || word >= 0x3000 ||
      (operand_places(entry) == 1 && !to_file)) {
    return;
  }
  for (const RegisterSpelling& spelling : spellings) {
    forms.push_back(filled(entry, spelling.text, to_file ? "F" : "W"));
  }
}

}  // namespace

std::vector<std::string> statement_forms(const DecodedWord& decoded,
                                         const std::vector<RegisterSpelling>& spellings) {
  std::vector<std::string> forms;
  if (decoded.flow == WordFlow::no_form || decoded.flow == WordFlow::jump ||
      decoded.flow == WordFlow::call) {
    return forms;
  }
  // Rounds over the table: the short forms (one operand place, the result
  // back in the register) first, then the forms with a destination, then
  // those without operands.
  for (const std::size_t wanted_places : {std::size_t{1}, std::size_t{2}, std::size_t{0}}) {
    for (const PatternEntry& entry : pattern_entries()) {
      if (operand_places(entry) == wanted_places) add_entry_forms(entry, decoded, spellings, forms);
    }
  }
  return forms;
}

std::string standard_mnemonic(std::uint16_t word) {
  const std::string_view name = instruction_name(word);
  if (name == "no instruction" || word > 0x3FFF) return "no instruction";
  if (word < 0x0080) return control_mnemonic(word);
  if (name == "CLRW") return "CLRW";
  std::string text(name);
  const DecodedWord decoded = decode_word(word);
  if (decoded.flow == WordFlow::jump || decoded.flow == WordFlow::call) {
    return text + " " + h_number(decoded.target, 3);
  }
  if (decoded.bit) {
    return text + " " + h_number(*decoded.file, 2) + "," + std::to_string(*decoded.bit);
  }
  if (decoded.literal) return text + " " + h_number(*decoded.literal, 2);
  if (decoded.file) {
    text += " " + h_number(*decoded.file, 2);
    const bool has_destination = name != "MOVWF" && name != "CLRF";
    if (has_destination) text += decoded.to_file ? ",F" : ",W";
  }
  return text;
}

}  // namespace korva
