// Pass 3: completes each record's program words, resolves jumps and
// subroutine calls, and sets the address column of the listing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/operand_encoding.h"
#include "support/line_record.h"
#include "symbols/symbol_table.h"

namespace korva {

// How a record moves the subroutine whose local labels the jumps find: a
// SUB starts one, an END SUB ends it. Whether the record was either.
bool follow_subroutine(const LineRecord& record, std::string& subroutine);

class CodeGenerator {
 public:
  // Start of pass 3, or of a stretch of its records: within `subroutine`
  // (none at the start), and nothing remembered from an earlier pass 3 (the
  // symbols may have other values now).
  void reset(std::string_view subroutine = {}) {
    subroutine_ = subroutine;
    ++generation_;
  }

  // The subroutine whose local labels the jumps of the next record find.
  const std::string& subroutine() const { return subroutine_; }

  void generate_code(LineRecord& record, const SymbolTable& symbols);

  // The target address of the last jump or call resolved.
  std::uint32_t last_target() const { return last_target_; }

  // What the evaluation of the last record's operands did that its text
  // does not say; empty for most records.
  const std::vector<OperandNote>& operand_notes() const { return notes_; }

  // The value of operand 1 of the last register or bit operation, where its
  // evaluation gave one; none for any other record.
  const std::optional<OperandValue>& last_operand1() const { return last_operand1_; }

 private:
  void resolve_branch(LineRecord& record, const SymbolTable& symbols);
  void resolve_call(LineRecord& record, const SymbolTable& symbols);
  // The word of a GOTO or CALL (`base`, its opcode) to `address`.
  void encode_target(LineRecord& record, std::uint32_t base, std::uint32_t address);
  void encode_operation(LineRecord& record, const SymbolTable& symbols, bool bit);

  // A register, literal or bit operation as encoded: within one pass 3 the
  // result depends on the pattern key and the two operands alone (the
  // symbols have their final values), and programs repeat their
  // operations, so recent ones are remembered in a table indexed by a hash
  // of those texts. Only results that made no operand notes are kept.
  struct EncodedOperation {
    std::uint64_t generation = 0;  // the pass 3 it belongs to; 0: empty
    bool bit = false;
    FieldText<kPatternKeyFieldSize> pattern_key;
    FieldText<kOperandFieldSize> operand1;
    FieldText<kOperandFieldSize> operand2;
    // The outcome: the evaluated operands and the fields encoding set.
    FieldText<kOperandFieldSize> evaluated1;
    FieldText<kOperandFieldSize> evaluated2;
    FieldText<kCodeFieldSize> code;
    FieldText<kErrorFieldSize> error;
    FieldText<kKindFieldSize> kind;
    std::optional<OperandValue> value1;
  };
  static constexpr std::size_t kRememberedOperations = 1024;
  std::vector<EncodedOperation> encoded_;
  std::uint64_t generation_ = 1;

  std::string subroutine_;
  std::uint32_t last_target_ = 0;
  std::vector<OperandNote> notes_;
  std::optional<OperandValue> last_operand1_;
};

}  // namespace korva
