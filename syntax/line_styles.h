// The styles of a whole source line as the editors show it, in the line's
// byte columns: the label (global or local), the statement's forms and the
// remark. The language server's tokens and the window's colours both come
// from here, over the line layout the assembler uses.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "syntax/statement_styles.h"

namespace korva::syntax {

// Styling a statement takes time that grows faster than its length: a
// statement longer than any the record holds keeps its label and remark
// only, as does every statement once a document's budget is spent.
constexpr std::size_t kStyledStatementLimit = 128;
constexpr std::size_t kStyledBytesBudget = std::size_t{1} << 20;

// Spans in byte columns of `line`, in order, not overlapping. `budget` is
// the statement bytes that may still be styled; what is styled is taken
// from it.
std::vector<StyledSpan> line_styles(const Notation& notation, std::span<const PatternEntry> entries,
                                    std::string_view line, std::size_t& budget);

}  // namespace korva::syntax
