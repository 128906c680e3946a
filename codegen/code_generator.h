// Pass 3: completes each record's program words, resolves jumps and
// subroutine calls, and sets the address column of the listing.
#pragma once

#include <string>

#include "driver/line_record.h"
#include "symbols/symbol_table.h"

namespace korva {

class CodeGenerator {
 public:
  void reset() { subroutine_.clear(); }

  void generate_code(LineRecord& record, const SymbolTable& symbols);

  // The subroutine whose local labels jumps resolve against.
  const std::string& subroutine() const { return subroutine_; }

 private:
  void resolve_branch(LineRecord& record, const SymbolTable& symbols) const;
  void resolve_call(LineRecord& record, const SymbolTable& symbols) const;

  std::string subroutine_;
};

}  // namespace korva
