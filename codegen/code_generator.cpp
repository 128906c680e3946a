#include "codegen/code_generator.h"

#include "codegen/hex_text.h"
#include "codegen/operand_encoding.h"
#include "source/statement_splitter.h"

namespace korva {

void CodeGenerator::resolve_branch(LineRecord& record, const SymbolTable& symbols) {
  std::string target = record.operand3;
  if (!symbols.lookup_symbol(target, subroutine_)) {
    target = record.operand3;
    if (!symbols.lookup_symbol(target, "Llab")) {
      record.error = "label err";
      return;
    }
  }
  // A label that never received a value (one inside a macro definition, say)
  // has no address to jump to.
  if (target.empty()) {
    record.error = "label err";
    return;
  }
  pad_hex(target, 4);
  last_target_ = target;
  record.code.resize(std::min<std::size_t>(record.code.size(), 2));
  add_hex(record.code, target.substr(0, 2), 2);
  record.code += target.substr(2);
}

void CodeGenerator::resolve_call(LineRecord& record, const SymbolTable& symbols) {
  std::string target = record.statement;
  if (!symbols.lookup_symbol(target, "sub") || target.empty()) {
    record.error = "sub err";
    return;
  }
  last_target_ = target;
  add_hex(record.code, target, 4);
}

void CodeGenerator::generate_code(LineRecord& record, const SymbolTable& symbols) {
  notes_.clear();
  if (has_kind(record, "normal")) {
    evaluate_operand(record.operand1, symbols, &notes_);
    evaluate_operand(record.operand2, symbols, &notes_);
    encode_normal(record);
    if (!record.error.empty()) {
      record.kind = "error";
      record.code.clear();
    }
  } else if (has_kind(record, "bit")) {
    evaluate_operand(record.operand1, symbols, &notes_);
    evaluate_operand(record.operand2, symbols, &notes_);
    encode_bit(record);
  } else if (record.kind.find("branch") != std::string::npos) {
    resolve_branch(record, symbols);
  } else if (has_kind(record, "call sub")) {
    resolve_call(record, symbols);
  } else if (has_kind(record, "sub")) {
    assign_cut(subroutine_, record.operand1, SymbolTable::kSubroutineNameCapacity);
  } else if (has_kind(record, "rem") || has_kind(record, "macro")) {
    record.address.clear();
  } else if (has_kind(record, "equ")) {
    record.address = record.operand1;
  } else if (has_kind(record, "inherent") && equals_nocase(record.statement, "END SUB")) {
    // Local labels after END SUB belong to no subroutine, as in pass 1.
    subroutine_.clear();
  }
}

}  // namespace korva
