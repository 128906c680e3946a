// Pass 3: completes each record's program words, resolves jumps and
// subroutine calls, and sets the address column of the listing.
#pragma once

#include <string>
#include <vector>

#include "codegen/operand_encoding.h"
#include "driver/line_record.h"
#include "symbols/symbol_table.h"

namespace korva {

class CodeGenerator {
 public:
  void reset() { subroutine_.clear(); }

  void generate_code(LineRecord& record, const SymbolTable& symbols);

  // The target address of the last jump or call resolved.
  const std::string& last_target() const { return last_target_; }

  // What the evaluation of the last record's operands did that its text
  // does not say; empty for most records.
  const std::vector<OperandNote>& operand_notes() const { return notes_; }

 private:
  void resolve_branch(LineRecord& record, const SymbolTable& symbols);
  void resolve_call(LineRecord& record, const SymbolTable& symbols);

  std::string subroutine_;
  std::string last_target_;
  std::vector<OperandNote> notes_;
};

}  // namespace korva
