#include "codegen/classifier.h"

#include "codegen/hex_text.h"
#include "patterns/instruction_set.h"
#include "resources/error_texts.h"
#include "resources/system_texts.h"
#include "support/diagnostic_kind.h"

namespace korva {

void Classifier::reset() {
  ram_pointer_ = kFirstRamAddress;
  ram_written_.reset();
  repeated_.reset();
  repeats_reported_.clear();
}

std::string Classifier::ram_pointer() const {
  if (ram_written_) return *ram_written_;
  std::string text;
  assign_hex(text, ram_pointer_, 4);
  return text;
}

void Classifier::give_value(SymbolTable& symbols, std::optional<std::size_t> origin,
                            bool subroutine, std::string_view value) {
  if (!origin) return;
  const SymbolTable::ValuingResult result = symbols.give_value(*origin, subroutine, value);
  if (result.outcome != SymbolTable::Valuing::kept_earlier) return;
  if (repeats_reported_.insert(result.index).second) {
    const Symbol& entry = *result.entry;
    repeated_ = RepeatedSymbol{subroutine ? entry.subroutine : entry.name, subroutine, entry.value};
  }
}

void Classifier::classify_call(LineRecord& record, const SymbolTable& symbols) {
  assign_hex(record.code, kCallWord, 4);
  if (record.statement.empty()) {
    record.code.clear();
    return;
  }
  if (symbols.find_subroutine(record.statement) != nullptr) {
    set_kind(record, RecordKind::call_sub);
    record.error.clear();
  } else {
    record.error = error_text(DiagnosticKind::grammar_error);
    record.code.clear();
  }
}

namespace {

// Addresses of program and data memory are 16 bits; a sum beyond wraps.
std::uint32_t address_value(std::uint32_t value) {
  return value & 0xFFFF;
}

// Program words in a code text: one for every four characters.
std::uint32_t words_in(std::string_view code) {
  return static_cast<std::uint32_t>(code.size() / 4);
}

// Register, literal, bit and jump operations get a placeholder that pass 3
// completes; instructions without operands their word.
void classify_operation(LineRecord& record, const PatternEntry& entry) {
  switch (entry.type) {
    case PatternType::register_op:
    case PatternType::fsr_op:
    case PatternType::select_op:
      record.code = "XXXX";
      set_kind(record, RecordKind::normal);
      break;
    case PatternType::selection:
      // The classic core selects with two bit operations.
      record.code = entry.word == opcode_of("BCF") ? "XXXXXXXX" : "XXXX";
      set_kind(record, RecordKind::normal);
      break;
    case PatternType::bit_op:
      record.code = "XXXX";
      set_kind(record, RecordKind::bit);
      break;
    case PatternType::branch:
    case PatternType::relative_branch:
      assign_hex(record.code, entry.word.value_or(0) >> 8, 2);
      record.code += "XX";
      set_kind(record, RecordKind::branch);
      record.operand3 = record.operand1;
      break;
    default:
      assign_hex(record.code, entry.word.value_or(0), 4);
      set_kind(record, RecordKind::inherent);
      break;
  }
}

// DE and backslash data lines: their bytes as written.
void classify_data(LineRecord& record, PatternType type) {
  if (type == PatternType::data_byte) {
    if (check_number(record.operand1)) {
      pad_hex(record.operand1, 2);
      record.code = record.operand1;
      set_kind(record, RecordKind::data);
      return;
    }
    record.error = error_text(DiagnosticKind::data_byte_error);
  } else if (record.operand1.size() % 2 == 0 && record.operand1.size() <= 8) {
    record.code = record.operand1;
    set_kind(record, RecordKind::data);
    return;
  } else {
    record.error = error_text(DiagnosticKind::raw_data_error);
  }
  set_kind(record, RecordKind::error);
  record.code.clear();
}

}  // namespace

// ORG, EQU and =, RAM= and [n]: a number in operand 1 moves the location
// counter, gives a value or reserves data memory.
void Classifier::classify_directive(LineRecord& record, PatternType type,
                                    std::uint32_t& location_counter) {
  record.code.clear();
  const std::optional<std::uint32_t> value = check_number_value(record.operand1);
  if (!value) {
    record.error = error_text(type == PatternType::origin      ? DiagnosticKind::origin_error
                              : type == PatternType::constant  ? DiagnosticKind::constant_error
                              : type == PatternType::ram_start ? DiagnosticKind::ram_error
                                                               : DiagnosticKind::reservation_error);
    return;
  }
  switch (type) {
    case PatternType::origin:
      set_kind(record, RecordKind::org);
      location_counter = *value;
      record.address = record.operand1;
      break;
    case PatternType::constant:
      set_kind(record, RecordKind::equ);
      record.address = record.operand1;
      break;
    case PatternType::ram_start:
      set_kind(record, RecordKind::rem);
      ram_pointer_ = *value;
      ram_written_ = std::string(record.operand1);
      break;
    default:
      set_kind(record, RecordKind::equ);
      record.address = ram_pointer();
      ram_pointer_ = address_value(ram_pointer_ + *value);
      ram_written_.reset();
      record.operand1 = record.address;
      break;
  }
}

void Classifier::classify_statement(LineRecord& record, std::string& location_counter,
                                    SymbolTable& symbols, std::optional<std::size_t> origin) {
  auto counter = static_cast<std::uint32_t>(hex_value(location_counter));
  classify_statement(record, counter, symbols, origin);
  assign_hex(location_counter, counter, 4);
}

void Classifier::classify_statement(LineRecord& record, std::uint32_t& location_counter,
                                    SymbolTable& symbols, std::optional<std::size_t> origin) {
  repeated_.reset();
  const PatternEntry* entry = pattern_of(record);
  const PatternType type = entry == nullptr ? PatternType::none : entry->type;

  switch (type) {
    case PatternType::register_op:
    case PatternType::bit_op:
    case PatternType::branch:
    case PatternType::inherent:
    case PatternType::fsr_op:
    case PatternType::select_op:
    case PatternType::relative_branch:
    case PatternType::selection:
      classify_operation(record, *entry);
      break;
    case PatternType::origin:
    case PatternType::constant:
    case PatternType::ram_start:
    case PatternType::reservation:
      classify_directive(record, type, location_counter);
      break;
    case PatternType::data_byte:
    case PatternType::raw_words:
      classify_data(record, type);
      break;
    case PatternType::subroutine:
      // The subroutine's entry takes the address; no label step, no words.
      record.code.clear();
      set_kind(record, RecordKind::sub);
      give_value(symbols, origin, true, record.address.view());
      return;
    case PatternType::macro_end:
      record.code.clear();
      set_kind(record, RecordKind::rem);
      break;
    case PatternType::none:
    default:
      classify_call(record, symbols);
      break;
  }

  if (!record.label.empty()) {
    const bool valued_by_operand =
        type == PatternType::constant || type == PatternType::reservation;
    give_value(symbols, origin, false,
               valued_by_operand ? record.operand1.view() : record.address.view());
  }
  location_counter = address_value(location_counter + words_in(record.code.view()));
}

}  // namespace korva
