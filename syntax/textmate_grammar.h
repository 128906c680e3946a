// The TextMate grammar of the notation (korva.tmLanguage.json), read by
// VS Code and the other editors that take TextMate grammars.
#pragma once

#include <string>

#include "syntax/syntax_model.h"

namespace korva::syntax {

// One rule per form matches a whole line from its start: the label, then the
// form's statement with one capture per unit. The rules stand in table order
// and all match at the line's start, so the first form that fits the
// statement wins, as in the assembler. Operands are shown term by term by
// the repository's rules.
std::string textmate_grammar(const Notation& notation);

}  // namespace korva::syntax
