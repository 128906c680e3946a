// Finds the first pattern-table entry that fits a statement and cuts the
// statement's operand texts out of it.
#pragma once

#include <cstddef>
#include <vector>

#include "patterns/pattern_table.h"
#include "support/line_record.h"

namespace korva {

// Empties the record's error text, pattern key and kind tag; then gives an
// empty statement the kind tag "rem", a statement that fits no entry the error
// "syntax error", and any other the pattern key and its operands, packed to
// the left in operand 1 to 3. Returns the entry that fitted, if one did.
const PatternEntry* match_statement(LineRecord& record);

// match_statement with a memory of recent statements. A statement's fit
// depends on its text alone, and programs repeat their statements, so the
// fits of recent ones are kept in a table indexed by a hash of the text.
class StatementMatcher {
 public:
  StatementMatcher();
  ~StatementMatcher();
  StatementMatcher(const StatementMatcher&) = delete;
  StatementMatcher& operator=(const StatementMatcher&) = delete;

  // Does what match_statement does.
  const PatternEntry* match(LineRecord& record);
  // Sizes the table for a program of about `statements` statements: from
  // 4 096 slots (160 KiB) to 8 192 for the largest.
  void expect(std::size_t statements);

 private:
  struct Remembered;
  static constexpr std::size_t kFewestRemembered = 4096;
  static constexpr std::size_t kMostRemembered = 8192;
  std::vector<Remembered> remembered_;
  std::size_t slots_ = kFewestRemembered;
};

}  // namespace korva
