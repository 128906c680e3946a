// Finds the first pattern-table entry that fits a statement and cuts the
// statement's operand texts out of it.
#pragma once

#include <array>
#include <string_view>

#include "patterns/pattern_table.h"
#include "support/line_record.h"

namespace korva {

// Empties the record's error text, pattern key and kind tag; then gives an
// empty statement the kind tag "rem", a statement that fits no entry the error
// "syntax error", and any other the pattern key and its operands, packed to
// the left in operand 1 to 3. Returns the entry that fitted, if one did.
// The chip's core family chooses the table: the enhanced one has the forms
// of the enhanced core's instructions as well.
const PatternEntry* match_statement(LineRecord& record, CoreFamily family = CoreFamily::classic);

// The entry of the family's table that a statement (blanks collapsed) fits,
// or none.
const PatternEntry* fitting_entry(std::string_view statement, CoreFamily family);

// The operands of a statement that `entry` fits, as the statement writes
// them and packed to the left as the match packs them; all empty where the
// entry does not fit. For a record whose passes have rewritten its operands
// (numbers as hexadecimal, terms as values), from its statement and entry.
std::array<std::string_view, 3> written_operands(const PatternEntry& entry,
                                                 std::string_view statement);

}  // namespace korva
