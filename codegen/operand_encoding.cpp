#include "codegen/operand_encoding.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "codegen/hex_text.h"
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
  std::string text(term);
  if (check_number(text)) {
    return TermValue{static_cast<std::uint32_t>(hex_value(text)), is_written_number(term)};
  }
  text = term;
  if (symbols.lookup_symbol(text, "Llab") && !text.empty()) {
    return TermValue{static_cast<std::uint32_t>(hex_value(text)), true};
  }
  return std::nullopt;
}

std::string four_digits(std::uint32_t value) {
  std::string digits = to_hex(value);
  pad_hex(digits, 4);
  return digits;
}

// The low byte of an evaluated file-register address ("($hhhh)" gives hh),
// reduced to 7 bits; none when the operand is not a file register.
std::optional<std::string> register_field(std::string_view operand) {
  const std::size_t marker = operand.find("($");
  if (marker == std::string_view::npos) return std::nullopt;
  std::string field(operand.size() > 4 ? operand.substr(4, 2) : std::string_view());
  mask_register(field);
  return field;
}

// The four opcode digits of the record's pattern key.
std::string opcode_digits(const LineRecord& record) {
  std::string digits = record.pattern_key.size() >= 5 ? record.pattern_key.substr(1, 4) : "";
  digits.resize(4, '0');
  return digits;
}

}  // namespace

bool evaluate_operand(std::string& operand, const SymbolTable& symbols,
                      std::vector<OperandNote>* notes) {
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
  const std::string digits = four_digits(running);
  operand = file_register ? "($" + digits + ")" : "$" + digits;
  if (notes != nullptr) notes->insert(notes->end(), found.begin(), found.end());
  return true;
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
  const std::string opcode = opcode_digits(record);
  std::string literal = record.operand1;
  if (check_number(literal)) {
    if (record.operand2 != "W" && record.operand2 != "w") {
      record.error = "normal err";
      return;
    }
    if (opcode.substr(2, 2) == "00") {
      record.error = "normal err";
      return;
    }
    record.code = opcode.substr(2, 2) + "00";
    add_hex(record.code, literal, 4);
    record.kind = "normal";
    return;
  }

  record.code = opcode.substr(0, 2);
  if (record.code == "FF") {
    record.error = "normal err";
    return;
  }
  const std::string& destination = record.operand2;
  if (destination == "W" || destination == "w") {
    record.code += "00";
  } else if (destination.empty() || destination == "F" || destination == "f" ||
             destination == "M" || destination == "m") {
    record.code += "80";
  } else {
    record.error = "normal err";
    return;
  }
  if (const std::optional<std::string> field = register_field(record.operand1)) {
    add_hex(record.code, *field, 4);
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
    record.kind = "bit";
    record.code.clear();
    return;
  }
  record.code = opcode_digits(record);
  add_hex(record.code, to_hex(static_cast<std::uint32_t>(bit.value) * 0x80), 4);
  if (const std::optional<std::string> field = register_field(record.operand1)) {
    add_hex(record.code, *field, 4);
  } else {
    record.error = "bit err";
  }
}

}  // namespace korva
