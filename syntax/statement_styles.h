// The styles of one statement as the editor definitions show it, found
// without regular expressions, fast enough to style lines as they come into
// view: the first form that fits (by the matcher's rules), the tokens of its
// pieces and the terms of its operands.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "syntax/syntax_model.h"

namespace korva::syntax {

struct StyledSpan {
  std::size_t start = 0;
  std::size_t length = 0;
  Style style = Style::normal;

  bool operator==(const StyledSpan&) const = default;
};

// The statement is a statement text as the listing shows it: label and
// remark removed, blanks collapsed. Text that no span covers is normal.
// Spans are in order and do not overlap.
std::vector<StyledSpan> statement_styles(const Notation& notation,
                                         std::span<const PatternEntry> entries,
                                         std::string_view statement);

}  // namespace korva::syntax
