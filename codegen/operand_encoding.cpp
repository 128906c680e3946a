#include "codegen/operand_encoding.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

#include "codegen/hex_text.h"
#include "patterns/pattern_table.h"
#include "resources/error_texts.h"
#include "source/source_reader.h"
#include "support/diagnostic_kind.h"
#include "support/text.h"

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
  if (symbol != nullptr && symbol->number) return TermValue{*symbol->number, true};
  return std::nullopt;
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
std::optional<OperandValue> evaluate_text(Text& operand, const SymbolTable& symbols,
                                          std::vector<OperandNote>* notes,
                                          std::optional<TermPlace>* unvalued) {
  collapse_blanks(operand);
  if (operand.empty()) return std::nullopt;
  if (operand.size() == 1 &&
      (operand[0] == 'W' || operand[0] == 'w' || operand[0] == 'F' || operand[0] == 'f')) {
    if (unvalued != nullptr) *unvalued = TermPlace{0, 1};
    return std::nullopt;
  }
  const std::optional<OperandValue> value =
      operand_value(std::string_view(operand), symbols, notes, unvalued);
  if (!value) return std::nullopt;
  char text[7] = {'(', '$', 0, 0, 0, 0, ')'};
  char digits[8];
  format_hex(value->value, 4, digits).copy(text + 2, 4);
  operand.assign(value->file_register ? std::string_view(text, 7) : std::string_view(text + 1, 5));
  return value;
}

}  // namespace

std::optional<OperandValue> operand_value(std::string_view operand, const SymbolTable& symbols,
                                          std::vector<OperandNote>* notes,
                                          std::optional<TermPlace>* unvalued) {
  if (operand.empty()) return std::nullopt;
  const bool file_register = operand.front() == '(';
  // The last character is taken for the closing parenthesis, whatever it is.
  const std::string_view inner = file_register ? operand.substr(1, operand.size() - 2) : operand;
  std::vector<OperandNote> found;
  std::uint32_t running = 0;
  char pending = '+';
  std::size_t position = 0;
  while (position < inner.size()) {
    std::size_t end = position;
    while (end < inner.size() && !is_operator(inner[end])) ++end;
    const std::string_view term = inner.substr(position, end - position);
    const std::optional<TermValue> value = term_value(term, symbols);
    if (!value) {
      if (unvalued != nullptr)
        *unvalued = TermPlace{position + (file_register ? 1 : 0), term.size()};
      return std::nullopt;
    }
    if (!value->written) {
      found.push_back(
          {OperandNote::Kind::unwritten_number, 0, std::string(term), value->value & 0xFFFF});
    }
    if (pending == '+') running += value->value;
    if (pending == '-') running -= value->value;
    if (pending == '*' || pending == '/') {
      found.push_back(
          {OperandNote::Kind::operator_ignored, pending, std::string(term), running & 0xFFFF});
    }
    if (end < inner.size()) pending = inner[end];
    position = end + 1;
  }
  if (notes != nullptr) notes->insert(notes->end(), found.begin(), found.end());
  return OperandValue{running & 0xFFFF, file_register};
}

std::optional<OperandValue> evaluate_operand(std::string& operand, const SymbolTable& symbols,
                                             std::vector<OperandNote>* notes,
                                             std::optional<TermPlace>* unvalued) {
  return evaluate_text(operand, symbols, notes, unvalued);
}

std::optional<OperandValue> evaluate_operand(FieldText<kOperandFieldSize>& operand,
                                             const SymbolTable& symbols,
                                             std::vector<OperandNote>* notes,
                                             std::optional<TermPlace>* unvalued) {
  return evaluate_text(operand, symbols, notes, unvalued);
}

namespace {

// Operand 1 of a literal operation: its value, or the number its text is.
std::optional<std::uint32_t> literal_of(const LineRecord& record,
                                        const std::optional<OperandValue>& operand1) {
  if (!operand1) return number_value(record.operand1);
  if (operand1->file_register) return std::nullopt;
  return operand1->value;
}

// The 7-bit file-register field of operand 1, from its value or its text.
std::optional<std::uint32_t> field_of(const LineRecord& record,
                                      const std::optional<OperandValue>& operand1) {
  if (!operand1) return register_field(record.operand1);
  if (!operand1->file_register) return std::nullopt;
  return operand1->value & 0x7F;
}

EncodingFault fault(OperationFault cause, int operand = 1,
                    std::optional<std::uint32_t> value = std::nullopt) {
  EncodingFault found;
  found.cause = cause;
  found.operand = operand;
  found.value = value;
  return found;
}

// The bit number 0 to 7 of a bit operation, from operand 2's value or its
// text; the text is brought to its four digits either way, as it has been.
// Otherwise why it is none.
std::variant<std::uint32_t, EncodingFault> bit_number(LineRecord& record,
                                                      const std::optional<OperandValue>& operand2) {
  check_number(record.operand2);
  if (operand2) {
    if (operand2->file_register)
      return fault(OperationFault::bit_number_register, 2, operand2->value);
    if (operand2->value > 7) {
      return fault(OperationFault::bit_number_out_of_range, 2, operand2->value);
    }
    return operand2->value;
  }
  const IntegerReading bit = read_integer(record.operand2, 10);
  if (bit.consumed == 0 || bit.consumed != record.operand2.size()) {
    return fault(OperationFault::term_without_value, 2);
  }
  if (bit.value < 0 || bit.value > 7) {
    return fault(OperationFault::bit_number_out_of_range, 2,
                 static_cast<std::uint32_t>(bit.value) & 0xFFFF);
  }
  return static_cast<std::uint32_t>(bit.value);
}

}  // namespace

std::optional<EncodingFault> encode_normal(LineRecord& record,
                                           const std::optional<OperandValue>& operand1) {
  record.error.clear();
  const auto refuse = [&](OperationFault cause, int operand = 1) {
    record.error = error_text(DiagnosticKind::operation_error);
    return fault(cause, operand);
  };
  if (record.operand2.size() >= 2) return refuse(OperationFault::destination_not_letter, 2);
  const PatternEntry* entry = pattern_of(record);
  if (const std::optional<std::uint32_t> literal = literal_of(record, operand1)) {
    if (entry == nullptr || !entry->literal_word) {
      return refuse(OperationFault::literal_without_form);
    }
    if (record.operand2 != "W" && record.operand2 != "w") {
      return refuse(OperationFault::literal_not_into_w, 2);
    }
    // The instruction holds the low byte; a negative value arrives as its
    // 16-bit two's complement, whose low byte is the 8-bit one.
    assign_hex(record.code, *entry->literal_word | (*literal & 0xFF), 4);
    set_kind(record, RecordKind::normal);
    return std::nullopt;
  }

  if (entry == nullptr || !entry->word) return refuse(OperationFault::register_without_form);
  const std::string& destination = record.operand2;
  const bool to_register = destination.empty() || destination == "F" || destination == "f" ||
                           destination == "M" || destination == "m";
  if (!to_register && destination != "W" && destination != "w") {
    return refuse(OperationFault::destination_not_letter, 2);
  }
  const std::uint32_t direction = to_register ? 0x80 : 0;
  const std::optional<std::uint32_t> field = field_of(record, operand1);
  if (!field) return refuse(OperationFault::operand_not_register);
  assign_hex(record.code, *entry->word + direction + *field, 4);
  return std::nullopt;
}

std::optional<EncodingFault> encode_bit(LineRecord& record,
                                        const std::optional<OperandValue>& operand1,
                                        const std::optional<OperandValue>& operand2) {
  const std::variant<std::uint32_t, EncodingFault> bit = bit_number(record, operand2);
  if (const EncodingFault* wrong = std::get_if<EncodingFault>(&bit)) {
    record.error = error_text(DiagnosticKind::bit_error);
    set_kind(record, RecordKind::bit);
    record.code.clear();
    return *wrong;
  }
  const PatternEntry* entry = pattern_of(record);
  const std::uint32_t base = entry != nullptr ? entry->word.value_or(0) : 0;
  const std::uint32_t word = base + std::get<std::uint32_t>(bit) * 0x80;
  assign_hex(record.code, word, 4);
  if (const std::optional<std::uint32_t> field = field_of(record, operand1)) {
    assign_hex(record.code, word + *field, 4);
    return std::nullopt;
  }
  record.error = error_text(DiagnosticKind::bit_error);
  return fault(OperationFault::operand_not_register);
}

namespace {

const Instruction& bank_select(std::uint32_t banks) {
  return banks > kNarrowBankSelectBanks
             ? kWideBankSelect
             : *find_instruction(opcode_of("MOVLB", CoreFamily::enhanced), CoreFamily::enhanced);
}

}  // namespace

OperandRange bank_range(std::uint32_t banks) {
  return {0, operand_bits(bank_select(banks).operands)};
}

std::uint16_t bank_select_word(std::uint32_t banks, std::uint32_t bank) {
  const Instruction& movlb = bank_select(banks);
  return static_cast<std::uint16_t>(movlb.opcode | (bank & operand_bits(movlb.operands)));
}

namespace {

constexpr OperandRange kPageRange{0, 127};
constexpr OperandRange kOffsetRange{-32, 31};

// FSR0 or FSR1 as the statement writes it: 0 or 1.
std::optional<std::uint32_t> fsr_number(std::string_view written) {
  if (equals_nocase(written, "FSR0")) return 0;
  if (equals_nocase(written, "FSR1")) return 1;
  return std::nullopt;
}

EncodingFault out_of_range(std::int32_t value, OperandRange range, int operand) {
  EncodingFault found = fault(OperationFault::value_out_of_range, operand);
  found.signed_value = value;
  found.range = range;
  return found;
}

// A literal operand's value, or why it has none.
std::variant<std::int32_t, EncodingFault> literal_operand(const std::optional<OperandValue>& value,
                                                          int operand) {
  if (!value) return fault(OperationFault::term_without_value, operand);
  if (value->file_register) return fault(OperationFault::register_without_form, operand);
  return signed_value(value->value);
}

}  // namespace

std::optional<EncodingFault> encode_enhanced(LineRecord& record,
                                             const std::optional<OperandValue>& operand1,
                                             const std::optional<OperandValue>& operand2,
                                             const std::array<std::string_view, 2>& written,
                                             std::uint32_t banks) {
  record.error.clear();
  const PatternEntry* entry = pattern_of(record);
  const std::uint16_t word = entry != nullptr ? entry->word.value_or(0) : 0;
  const auto refuse = [&](EncodingFault found) {
    record.error = error_text(DiagnosticKind::operation_error);
    return std::optional<EncodingFault>(found);
  };
  const auto encode = [&](std::uint32_t made) {
    assign_hex(record.code, made, 4);
    return std::optional<EncodingFault>();
  };
  if (entry == nullptr) return refuse(fault(OperationFault::operand_not_register));

  if (entry->type == PatternType::select_op) {
    const auto value = literal_operand(operand1, 1);
    if (const auto* wrong = std::get_if<EncodingFault>(&value)) return refuse(*wrong);
    const std::int32_t number = std::get<std::int32_t>(value);
    const bool bank = word == opcode_of("MOVLB", CoreFamily::enhanced);
    const OperandRange range = bank ? bank_range(banks) : kPageRange;
    if (!range.contains(number)) return refuse(out_of_range(number, range, 1));
    const auto field = static_cast<std::uint32_t>(number);
    return encode(bank ? bank_select_word(banks, field) : word | field);
  }

  // The FSR operations: k[n] writes the offset first, ADDFSR the FSR.
  const bool offset = entry->leading && entry->middle;
  const bool indexed = offset && !entry->second_piece.empty();
  const int fsr_operand = indexed ? 2 : 1;
  const std::optional<std::uint32_t> fsr = fsr_number(written[fsr_operand - 1]);
  if (!fsr) return refuse(fault(OperationFault::fsr_not_named, fsr_operand));
  if (!offset) return encode(word | *fsr << 2);
  const int offset_operand = indexed ? 1 : 2;
  const auto value = literal_operand(offset_operand == 1 ? operand1 : operand2, offset_operand);
  if (const auto* wrong = std::get_if<EncodingFault>(&value)) return refuse(*wrong);
  const std::int32_t number = std::get<std::int32_t>(value);
  if (!kOffsetRange.contains(number))
    return refuse(out_of_range(number, kOffsetRange, offset_operand));
  return encode(word | *fsr << 6 | (static_cast<std::uint32_t>(number) & 0x3F));
}

namespace {

// BCF or BSF of one bit, as `on` says.
std::uint32_t bit_word(std::uint32_t file, std::uint32_t bit, bool on) {
  return (on ? opcode_of("BSF") : opcode_of("BCF")) | bit << 7 | file;
}

}  // namespace

std::optional<EncodingFault> encode_selection(LineRecord& record,
                                              const std::optional<OperandValue>& operand1,
                                              std::uint32_t banks) {
  record.error.clear();
  const PatternEntry* entry = pattern_of(record);
  const auto refuse = [&](EncodingFault found) {
    record.error = error_text(DiagnosticKind::operation_error);
    return std::optional<EncodingFault>(found);
  };
  if (entry == nullptr || !operand1) return refuse(fault(OperationFault::term_without_value));
  if (entry->word == opcode_of("MOVLW")) {
    const std::uint32_t byte = entry->mnemonic == "HIGH" ? operand1->value >> 8 : operand1->value;
    assign_hex(record.code, opcode_of("MOVLW") | (byte & 0xFF), 4);
    return std::nullopt;
  }
  const bool bank = entry->mnemonic == "BANK";
  const std::uint32_t address = operand1->value;
  const auto value = static_cast<std::int32_t>(address);
  if (entry->word == opcode_of("BCF")) {
    // Banks 0 to 3 of 128 bytes, pages 0 to 3 of 2K words.
    const OperandRange range = bank ? OperandRange{0, 0x1FF} : OperandRange{0, 0x1FFF};
    if (!range.contains(value)) return refuse(out_of_range(value, range, 1));
    const std::uint32_t selected = bank ? address >> 7 : address >> 11;
    const std::uint32_t file = bank ? kStatusRegister : kPclathRegister;
    const std::uint32_t low_bit = bank ? kBankBitLow : kPageBitLow;
    const std::uint32_t first = bit_word(file, low_bit, (selected & 1) != 0);
    const std::uint32_t second = bit_word(file, low_bit + 1, (selected & 2) != 0);
    char digits[8];
    record.code.assign(format_hex(first, 4, digits));
    record.code += format_hex(second, 4, digits);
    return std::nullopt;
  }
  if (bank) {
    const OperandRange range{0, (bank_range(banks).high + 1) * 0x80 - 1};
    if (!range.contains(value)) return refuse(out_of_range(value, range, 1));
    assign_hex(record.code, bank_select_word(banks, address >> 7), 4);
    return std::nullopt;
  }
  const OperandRange range{0, 0x7FFF};
  if (!range.contains(value)) return refuse(out_of_range(value, range, 1));
  assign_hex(record.code, opcode_of("MOVLP", CoreFamily::enhanced) | (address >> 8), 4);
  return std::nullopt;
}

}  // namespace korva
