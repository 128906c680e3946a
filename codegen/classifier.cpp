#include "codegen/classifier.h"

#include <algorithm>

#include "codegen/hex_text.h"
#include "resources/system_texts.h"

namespace korva {

void Classifier::reset() {
  ram_pointer_ = "0010";
  repeated_.reset();
  repeats_reported_.clear();
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
  record.code = "2000";
  if (record.statement.empty()) {
    record.code.clear();
    return;
  }
  std::string name = record.statement;
  if (symbols.lookup_symbol(name, "sub")) {
    record.kind = "call sub";
    record.error.clear();
  } else {
    record.error = texts::kGrammarError;
    record.code.clear();
  }
}

void Classifier::classify_statement(LineRecord& record, std::string& location_counter,
                                    SymbolTable& symbols, std::optional<std::size_t> origin) {
  repeated_.reset();
  const char type = record.pattern_key.empty() ? '\0' : record.pattern_key[0];
  const std::string_view opcode =
      record.pattern_key.view().substr(std::min<std::size_t>(1, record.pattern_key.size()), 4);

  switch (type) {
    case 'N':
      record.code = "XXXX";
      record.kind = "normal";
      break;
    case 'b':
      record.code = "XXXX";
      record.kind = "bit";
      break;
    case 'B':
      record.code = opcode.substr(0, 2);
      record.code += "XX";
      record.kind = "branch";
      record.operand3 = record.operand1;
      break;
    case 'I':
      record.code = opcode;
      record.kind = "inherent";
      break;
    case 'O':
      record.code.clear();
      if (check_number(record.operand1)) {
        record.kind = "org";
        location_counter = record.operand1;
        record.address = record.operand1;
      } else {
        record.error = "ORG Error";
      }
      break;
    case 'E':
      record.code.clear();
      if (check_number(record.operand1)) {
        record.kind = "equ";
        record.address = record.operand1;
      } else {
        record.error = "EQU Error";
      }
      break;
    case 'r':
      record.code.clear();
      if (check_number(record.operand1)) {
        record.kind = "rem";
        ram_pointer_ = record.operand1;
      } else {
        record.error = "RAM Error";
      }
      break;
    case 'M':
      record.code.clear();
      if (check_number(record.operand1)) {
        record.kind = "equ";
        record.address = ram_pointer_;
        add_hex(ram_pointer_, record.operand1, 4);
        record.operand1 = record.address;
      } else {
        record.error = "Mem Error";
      }
      break;
    case 'D':
      if (check_number(record.operand1)) {
        pad_hex(record.operand1, 2);
        record.code = record.operand1;
        record.kind = "data";
      } else {
        record.error = "DE Error";
        record.kind = "error";
        record.code.clear();
      }
      break;
    case '\\':
      if (record.operand1.size() % 2 != 0 || record.operand1.size() > 8) {
        record.error = "byte error";
        record.kind = "error";
        record.code.clear();
      } else {
        record.code = record.operand1;
        record.kind = "data";
      }
      break;
    case 'S':
      record.code.clear();
      record.kind = "sub";
      give_value(symbols, origin, true, record.address.view());
      return;
    case 'R':
      record.code.clear();
      record.kind = "rem";
      break;
    default:
      classify_call(record, symbols);
      break;
  }

  if (!record.label.empty()) {
    give_value(symbols, origin, false,
               (type == 'E' || type == 'M') ? record.operand1.view() : record.address.view());
  }
  advance_address(location_counter, record.code);
}

}  // namespace korva
