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
  const std::uint32_t base = jump != nullptr ? jump->word.value_or(0) : 0;
  if (jump != nullptr && jump->type == PatternType::relative_branch) {
    return encode_relative(record, base, *target->number);
  }
  encode_target(record, base, *target->number);
}

void CodeGenerator::encode_relative(LineRecord& record, std::uint32_t base, std::uint32_t address) {
  last_target_ = address;
  const auto here = static_cast<std::int32_t>(hex_value(record.address));
  const std::int32_t offset = static_cast<std::int32_t>(address) - (here + 1);
  if (!kBranchReach.contains(offset)) {
    // As GOTO's "label err", the word keeps its placeholder.
    record.error = error_text(DiagnosticKind::jump_error);
    EncodingFault found;
    found.cause = OperationFault::value_out_of_range;
    found.signed_value = offset;
    found.range = kBranchReach;
    found.operands[0] = std::string(record.operand3);
    fault_ = std::move(found);
    return;
  }
  assign_hex(record.code, base | (static_cast<std::uint32_t>(offset) & 0x1FF), 4);
}

void CodeGenerator::resolve_call(LineRecord& record, const SymbolTable& symbols) {
  const Symbol* target = symbols.find_subroutine(record.statement);
  if (target == nullptr || !target->number) {
    record.error = error_text(DiagnosticKind::call_error);
    return;
  }
  encode_target(record, kCallWord, *target->number);
}

std::optional<OperandValue> CodeGenerator::evaluate_signed(FieldText<kOperandFieldSize>& operand,
                                                           PatternType type,
                                                           const SymbolTable& symbols,
                                                           std::optional<TermPlace>& unvalued) {
  // The offsets of the FSR operations are signed, and written so: -2[FSR0]
  // reads as 0-2, as an operand of the other forms would have to be written.
  const bool signed_offset = type == PatternType::fsr_op && operand.view().starts_with('-');
  if (!signed_offset) return evaluate_operand(operand, symbols, &notes_, &unvalued);
  std::string zero_first = "0" + std::string(operand);
  const std::optional<OperandValue> value =
      evaluate_operand(zero_first, symbols, &notes_, &unvalued);
  if (unvalued && unvalued->offset > 0) --unvalued->offset;
  if (value) operand = zero_first;
  return value;
}

void CodeGenerator::encode_operation(LineRecord& record, const SymbolTable& symbols, bool bit) {
  // The operands as written, for a fault to name: the evaluation rewrites
  // them as their values.
  collapse_blanks(record.operand1);
  collapse_blanks(record.operand2);
  const FieldText<kOperandFieldSize> written[2] = {record.operand1, record.operand2};
  const PatternType type = pattern_type_of(record);
  std::optional<TermPlace> unvalued[2];
  const std::optional<OperandValue> value1 =
      evaluate_signed(record.operand1, type, symbols, unvalued[0]);
  const std::optional<OperandValue> value2 =
      evaluate_signed(record.operand2, type, symbols, unvalued[1]);
  last_operand1_ = value1;
  if (type == PatternType::selection) {
    fault_ = encode_selection(record, value1, banks_);
  } else if (type == PatternType::fsr_op || type == PatternType::select_op) {
    fault_ =
        encode_enhanced(record, value1, value2, {written[0].view(), written[1].view()}, banks_);
  } else {
    fault_ = bit ? encode_bit(record, value1, value2) : encode_normal(record, value1);
  }
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
