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
#include "patterns/pattern_table.h"
#include "support/line_record.h"
#include "symbols/symbol_table.h"

namespace korva {

// How a record moves the subroutine whose local labels the jumps find: a
// SUB starts one, an END SUB ends it. Whether the record was either.
bool follow_subroutine(const LineRecord& record, std::string& subroutine);
// Whether the record is an END SUB.
bool ends_subroutine(const LineRecord& record);

class CodeGenerator {
 public:
  // Start of pass 3: within no subroutine. `banks` is the chip's bank
  // count (MOVLB's width), 0 without a chip.
  void reset(std::uint32_t banks = 0) {
    subroutine_.clear();
    banks_ = banks;
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

  // Why the last record's register, literal or bit operation got no word.
  const std::optional<EncodingFault>& last_fault() const { return fault_; }

 private:
  void resolve_branch(LineRecord& record, const SymbolTable& symbols);
  // BRA's word from the offset of the target to the word after it.
  void encode_relative(LineRecord& record, std::uint32_t base, std::uint32_t address);
  void resolve_call(LineRecord& record, const SymbolTable& symbols);
  // The word of a GOTO or CALL (`base`, its opcode) to `address`.
  void encode_target(LineRecord& record, std::uint32_t base, std::uint32_t address);
  void encode_operation(LineRecord& record, const SymbolTable& symbols, bool bit);
  // An operand's value, a leading minus sign read as the FSR offsets take it.
  std::optional<OperandValue> evaluate_signed(FieldText<kOperandFieldSize>& operand,
                                              PatternType type, const SymbolTable& symbols,
                                              std::optional<TermPlace>& unvalued);

  std::string subroutine_;
  std::uint32_t banks_ = 0;
  std::uint32_t last_target_ = 0;
  std::vector<OperandNote> notes_;
  std::optional<OperandValue> last_operand1_;
  std::optional<EncodingFault> fault_;
};

}  // namespace korva
