#include "codegen/operand_encoding.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "codegen/hex_text.h"
#include "patterns/pattern_table.h"
#include "source/source_reader.h"

namespace korva {
namespace {

bool is_operator(char c) {
  return c == '+' || c == '-' || c == '*' || c == '/';
}

struct TermValue {
  std::uint32_t value = 0;
  bool written = true;  // false for a number that no notation fits ('H', $)
};

// The value of one term: a number in any notation, else a global symbol that
// has received a value.
std::optional<TermValue> term_value(std::string_view term, const SymbolTable& symbols) {
  if (const std::optional<std::uint32_t> number = number_value(term)) {
    return TermValue{*number, is_written_number(term)};
  }
  const Symbol* symbol = symbols.find_global(term);
  if (symbol != nullptr && !symbol->value.empty()) {
    return TermValue{static_cast<std::uint32_t>(hex_value(symbol->value)), true};
  }
  return std::nullopt;
}

std::string four_digits(std::uint32_t value) {
  std::string digits;
  assign_hex(digits, value, 4);
  return digits;
}

// The 7-bit file-register field of an evaluated file-register operand: the
// low byte of "($hhhh)" (the two characters after "($hh"), reduced to 7
// bits; none when the operand is not a file register.
std::optional<std::uint32_t> register_field(std::string_view operand) {
  if (operand.find("($") == std::string_view::npos) return std::nullopt;
  const std::string_view low = operand.size() > 4 ? operand.substr(4, 2) : std::string_view();
  return static_cast<std::uint32_t>(hex_value(low)) & 0x7F;
}

template <typename Text>
bool evaluate_text(Text& operand, const SymbolTable& symbols, std::vector<OperandNote>* notes) {
  collapse_blanks(operand);
  if (operand.empty()) return false;
  if (operand.size() == 1 &&
      (operand[0] == 'W' || operand[0] == 'w' || operand[0] == 'F' || operand[0] == 'f')) {
    return false;
  }
  const bool file_register = operand.front() == '(';
  const std::string_view inner = file_register
                                     ? std::string_view(operand).substr(1, operand.size() - 2)
                                     : std::string_view(operand);
  std::vector<OperandNote> found;
  std::uint32_t running = 0;
  char pending = '+';
  std::size_t position = 0;
  while (position < inner.size()) {
    std::size_t end = position;
    while (end < inner.size() && !is_operator(inner[end])) ++end;
    const std::string_view term = inner.substr(position, end - position);
    const std::optional<TermValue> value = term_value(term, symbols);
    if (!value) return false;
    if (!value->written) {
      found.push_back(
          {OperandNote::Kind::unwritten_number, 0, std::string(term), four_digits(value->value)});
    }
    if (pending == '+') running += value->value;
    if (pending == '-') running -= value->value;
    if (pending == '*' || pending == '/') {
      found.push_back(
          {OperandNote::Kind::operator_ignored, pending, std::string(term), four_digits(running)});
    }
    if (end < inner.size()) pending = inner[end];
    position = end + 1;
  }
  char text[7] = {'(', '$', 0, 0, 0, 0, ')'};
  for (std::size_t i = 0; i < 4; ++i) text[5 - i] = "0123456789abcdef"[(running >> (4 * i)) & 0xF];
  operand.assign(file_register ? std::string_view(text, 7) : std::string_view(text + 1, 5));
  if (notes != nullptr) notes->insert(notes->end(), found.begin(), found.end());
  return true;
}

}  // namespace

bool evaluate_operand(std::string& operand, const SymbolTable& symbols,
                      std::vector<OperandNote>* notes) {
  return evaluate_text(operand, symbols, notes);
}

bool evaluate_operand(FieldText<kOperandFieldSize>& operand, const SymbolTable& symbols,
                      std::vector<OperandNote>* notes) {
  return evaluate_text(operand, symbols, notes);
}

void mask_register(std::string& text) {
  text = to_hex(static_cast<std::uint32_t>(hex_value(text)) & 0x7F);
  pad_hex(text, 2);
}

void encode_normal(LineRecord& record) {
  record.error.clear();
  if (record.operand2.size() >= 2) {
    record.error = "normal err";
    return;
  }
  const PatternEntry* entry = pattern_of_key(record.pattern_key.view());
  if (const std::optional<std::uint32_t> literal = number_value(record.operand1)) {
    if (record.operand2 != "W" && record.operand2 != "w") {
      record.error = "normal err";
      return;
    }
    if (entry == nullptr || !entry->literal_word) {
      record.error = "normal err";
      return;
    }
    assign_hex(record.code, *entry->literal_word + *literal, 4);
    set_kind(record, RecordKind::normal);
    return;
  }

  if (entry == nullptr || !entry->word) {
    record.error = "normal err";
    return;
  }
  const std::string& destination = record.operand2;
  const bool to_register = destination.empty() || destination == "F" || destination == "f" ||
                           destination == "M" || destination == "m";
  if (!to_register && destination != "W" && destination != "w") {
    record.error = "normal err";
    return;
  }
  const std::uint32_t direction = to_register ? 0x80 : 0;
  if (const std::optional<std::uint32_t> field = register_field(record.operand1)) {
    assign_hex(record.code, *entry->word + direction + *field, 4);
  } else {
    record.error = "normal err";
  }
}

void encode_bit(LineRecord& record) {
  check_number(record.operand2);
  const IntegerReading bit = read_integer(record.operand2, 10);
  if (bit.consumed == 0 || bit.consumed != record.operand2.size() || bit.value < 0 ||
      bit.value > 7) {
    record.error = "bit err";
    set_kind(record, RecordKind::bit);
    record.code.clear();
    return;
  }
  const PatternEntry* entry = pattern_of_key(record.pattern_key.view());
  const std::uint32_t base = entry != nullptr ? entry->word.value_or(0) : 0;
  const std::uint32_t word = base + static_cast<std::uint32_t>(bit.value) * 0x80;
  assign_hex(record.code, word, 4);
  if (const std::optional<std::uint32_t> field = register_field(record.operand1)) {
    assign_hex(record.code, word + *field, 4);
  } else {
    record.error = "bit err";
  }
}

}  // namespace korva
