#include "disasm/statement_forms.h"

#include <cstddef>
#include <string_view>

#include "patterns/pattern_table.h"

namespace korva {

namespace {

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

// The digits after a one-character prefix ("$0F", "\\3FFF").
std::string prefixed_hex(char prefix, unsigned value, int digits) {
  std::string text(static_cast<std::size_t>(digits) + 1, '0');
  text[0] = prefix;
  for (int i = digits; i >= 1; --i) {
    text[static_cast<std::size_t>(i)] = "0123456789ABCDEF"[value & 0xF];
    value >>= 4;
  }
  return text;
}

}  // namespace

std::string dollar_hex(unsigned value, int digits) {
  return prefixed_hex('$', value, digits);
}

std::string raw_statement(std::uint16_t word) {
  return prefixed_hex('\\', word, 4);
}

namespace {

std::string fsr_name(const DecodedWord& decoded) {
  return decoded.fsr.value_or(0) == 0 ? "FSR0" : "FSR1";
}

// The forms of the enhanced core's FSR, bank and page operations.
void add_enhanced_forms(const PatternEntry& entry, const DecodedWord& decoded,
                        std::vector<std::string>& forms) {
  const Instruction& instruction = *decoded.instruction;
  if (entry.type == PatternType::select_op) {
    if (entry.word == table_opcode(instruction) && decoded.literal) {
      forms.push_back(filled(entry, std::to_string(*decoded.literal), {}));
    }
    return;
  }
  if (entry.type != PatternType::fsr_op || !decoded.fsr) return;
  if (decoded.mode) {
    // The mode forms hold their mode in their word, FSR0's.
    const auto mode_word = static_cast<std::uint16_t>(instruction.opcode | *decoded.mode);
    if (entry.word == mode_word) forms.push_back(filled(entry, fsr_name(decoded), {}));
    return;
  }
  if (entry.word != instruction.opcode || !decoded.offset) return;
  const std::string offset = std::to_string(*decoded.offset);
  // k[n] writes the offset first, ADDFSR the FSR.
  const bool indexed = !entry.second_piece.empty();
  forms.push_back(indexed ? filled(entry, offset, fsr_name(decoded))
                          : filled(entry, fsr_name(decoded), offset));
}

// The statements of one table entry that encode to the word.
void add_entry_forms(const PatternEntry& entry, const DecodedWord& decoded,
                     const std::vector<RegisterSpelling>& spellings,
                     std::vector<std::string>& forms) {
  const std::uint16_t word = decoded.word;
  const Instruction& instruction = *decoded.instruction;
  if (entry.type == PatternType::fsr_op || entry.type == PatternType::select_op) {
    return add_enhanced_forms(entry, decoded, forms);
  }
  if (entry.type == PatternType::inherent) {
    if (entry.word == word) forms.emplace_back(entry.text);
    return;
  }
  if (entry.type == PatternType::bit_op) {
    if (entry.word != instruction.opcode) return;
    for (const RegisterSpelling& spelling : spellings) {
      if (spelling.bit_name) forms.push_back(filled(entry, spelling.text, *spelling.bit_name));
      forms.push_back(filled(entry, spelling.text, std::to_string(*decoded.bit)));
    }
    return;
  }
  if (entry.type != PatternType::register_op) return;
  if (instruction.operands == OperandKind::literal) {
    if (entry.literal_word == instruction.opcode && is_plain_encoding(instruction, word)) {
      forms.push_back(filled(entry, dollar_hex(*decoded.literal, 2), "W"));
    }
    return;
  }
  // A form without a destination puts the result back in the register.
  if (!decoded.file || entry.word != (instruction.opcode & ~kDestinationBit) ||
      (operand_places(entry) == 1 && !decoded.to_file)) {
    return;
  }
  for (const RegisterSpelling& spelling : spellings) {
    forms.push_back(filled(entry, spelling.text, decoded.to_file ? "F" : "W"));
  }
}

}  // namespace

std::vector<std::string> statement_forms(const DecodedWord& decoded,
                                         const std::vector<RegisterSpelling>& spellings,
                                         CoreFamily family) {
  std::vector<std::string> forms;
  if (decoded.flow == WordFlow::no_form || decoded.flow == WordFlow::jump ||
      decoded.flow == WordFlow::call || decoded.flow == WordFlow::relative_jump) {
    return forms;
  }
  // Rounds over the table: the short forms (one operand place, the result
  // back in the register) first, then the forms with a destination, then
  // those without operands.
  const PatternTable table = pattern_table(family);
  for (const std::size_t wanted_places : {std::size_t{1}, std::size_t{2}, std::size_t{0}}) {
    for (std::size_t place = 0; place < table.size(); ++place) {
      const PatternEntry& entry = table[place];
      if (operand_places(entry) == wanted_places) add_entry_forms(entry, decoded, spellings, forms);
    }
  }
  return forms;
}

}  // namespace korva
