#include "codegen/code_generator.h"

#include <algorithm>

#include "codegen/hex_text.h"
#include "codegen/operand_encoding.h"
#include "patterns/instruction_set.h"
#include "patterns/pattern_table.h"
#include "resources/error_texts.h"
#include "source/statement_splitter.h"
#include "support/diagnostic_kind.h"

namespace korva {

namespace {

// GOTO and CALL hold the low 11 bits of their target; bits 4 and 3 of
// PCLATH supply the 2K page when the instruction runs.
constexpr std::uint32_t kPageOffsetMask = 0x7FF;

}  // namespace

void CodeGenerator::encode_target(LineRecord& record, std::uint32_t base, std::uint32_t address) {
  last_target_ = address;
  assign_hex(record.code, base | (last_target_ & kPageOffsetMask), 4);
}

void CodeGenerator::resolve_branch(LineRecord& record, const SymbolTable& symbols) {
  const Symbol* target = symbols.find_jump_target(record.operand3, subroutine_);
  // A label that never received a value (one inside a macro definition, say)
  // has no address to jump to.
  if (target == nullptr || !target->number) {
    record.error = error_text(DiagnosticKind::jump_error);
    return;
  }
  const PatternEntry* jump = pattern_of(record);
  encode_target(record, jump != nullptr ? jump->word.value_or(0) : 0, *target->number);
}

void CodeGenerator::resolve_call(LineRecord& record, const SymbolTable& symbols) {
  const Symbol* target = symbols.find_subroutine(record.statement);
  if (target == nullptr || !target->number) {
    record.error = error_text(DiagnosticKind::call_error);
    return;
  }
  encode_target(record, kCallWord, *target->number);
}

void CodeGenerator::encode_operation(LineRecord& record, const SymbolTable& symbols, bool bit) {
  // The operands as written, for a fault to name: the evaluation rewrites
  // them as their values.
  collapse_blanks(record.operand1);
  collapse_blanks(record.operand2);
  const FieldText<kOperandFieldSize> written[2] = {record.operand1, record.operand2};
  std::optional<TermPlace> unvalued[2];
  const std::optional<OperandValue> value1 =
      evaluate_operand(record.operand1, symbols, &notes_, &unvalued[0]);
  const std::optional<OperandValue> value2 =
      evaluate_operand(record.operand2, symbols, &notes_, &unvalued[1]);
  last_operand1_ = value1;
  fault_ = bit ? encode_bit(record, value1, value2) : encode_normal(record, value1);
  if (!bit && !record.error.empty()) {
    set_kind(record, RecordKind::error);
    record.code.clear();
  }
  if (!fault_) return;
  const std::size_t at = fault_->operand == 2 ? 1 : 0;
  fault_->operands[0] = std::string(written[0]);
  fault_->operands[1] = std::string(written[1]);
  // An operand without a value is at fault through its first such term; a
  // bit operation's register without parentheses is at fault as a whole.
  const bool bare_register = bit && fault_->operand == 1 && !fault_->written().starts_with('(');
  if (fault_->cause == OperationFault::term_without_value ||
      (fault_->cause == OperationFault::operand_not_register && !bare_register)) {
    fault_->term = unvalued[at];
    if (fault_->term) fault_->cause = OperationFault::term_without_value;
  }
}

void CodeGenerator::generate_code(LineRecord& record, const SymbolTable& symbols) {
  notes_.clear();
  last_operand1_.reset();
  fault_.reset();
  if (has_kind(record, RecordKind::normal)) {
    encode_operation(record, symbols, false);
  } else if (has_kind(record, RecordKind::bit)) {
    encode_operation(record, symbols, true);
  } else if (has_kind(record, RecordKind::branch)) {
    resolve_branch(record, symbols);
  } else if (has_kind(record, RecordKind::call_sub)) {
    resolve_call(record, symbols);
  } else if (has_kind(record, RecordKind::rem) || has_kind(record, RecordKind::macro)) {
    record.address.clear();
  } else if (has_kind(record, RecordKind::equ)) {
    record.address = record.operand1;
  } else {
    follow_subroutine(record, subroutine_);
  }
}

bool follow_subroutine(const LineRecord& record, std::string& subroutine) {
  if (has_kind(record, RecordKind::sub)) {
    assign_cut(subroutine, record.operand1, SymbolTable::kSubroutineNameCapacity);
    return true;
  }
  // Local labels after END SUB belong to no subroutine, as in pass 1.
  if (ends_subroutine(record)) {
    subroutine.clear();
    return true;
  }
  return false;
}

bool ends_subroutine(const LineRecord& record) {
  return has_kind(record, RecordKind::inherent) && equals_nocase(record.statement, "END SUB");
}

}  // namespace korva
