// The KSyntaxHighlighting definition of the notation (korva.xml), read by
// Kate, KWrite, KDevelop and Qt Creator.
#pragma once

#include <string>

#include "syntax/syntax_model.h"

namespace korva::syntax {

// A line is taken apart as the assembler does: the label up to the first
// colon (or the name before EQU), then the statement, which one look-ahead
// rule per form hands to that form's chain of contexts, one context per
// unit; a remark ends every context. Chains that end alike share contexts.
std::string kate_definition(const Notation& notation);

}  // namespace korva::syntax
