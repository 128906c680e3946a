// What the window's status bar says about an assembly: the summary after it
// ran, and the place and text of one error or warning.
#pragma once

#include <QString>
#include <cstddef>
#include <optional>
#include <string_view>

#include "driver/diagnostics.h"

namespace korva {

struct AssemblySummary {
  std::size_t errors = 0;
  std::size_t warnings = 0;
  std::size_t words = 0;
  // The program memory of the chip assembled for, in words; the share of
  // it is shown only when the chip is known.
  std::optional<std::size_t> program_memory_words;
  long long milliseconds = 0;
};

// "N errors, M warnings, W words (P % of program memory), T ms".
QString summary_text(const AssemblySummary& summary);

// "FILE:LINE: error: TEXT", with the macro call behind the body line;
// "warning: TEXT" for a summary that has no place.
QString diagnostic_text(const Diagnostic& diagnostic);

// The diagnostic's notes (the first definition, the macro call ...), each
// on a line of its own after a line end: "\nFILE:LINE: note: TEXT".
QString notes_text(const Diagnostic& diagnostic);

// An error list entry as shown: the place, the listing line (CP932, its
// line end and runs of blanks and tabs taken down to one blank) and what
// exactly is wrong: "FILE:LINE  LINE — EXPLANATION". Without an
// explanation the line's own error text says it.
QString error_entry_text(const Diagnostic& diagnostic, std::string_view listing_line);
// Its head: the place and the listing line, without the explanation.
QString error_entry_head(const Diagnostic& diagnostic, std::string_view listing_line);

}  // namespace korva
