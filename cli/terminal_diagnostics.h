// Diagnostics as korva-asm prints them, the way compilers do:
//   FILE:LINE:COLUMN: error: TEXT: EXPLANATION
//       the source line
//       ^~~~~ under the offending text
//   FILE:LINE:COLUMN: note: ...
// Texts are decoded from CP932 for the terminal, and the system's Japanese
// texts get their English gloss.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "driver/diagnostics.h"

namespace korva {

// How the terminal shows the files of a run: a file that the system named
// (the command line's) as the user typed it; every other name, a project
// entry's, decoded from CP932.
class TerminalFileNames {
 public:
  // The file that the diagnostics call `cp932_name` is shown as `shown`.
  void add(std::string cp932_name, std::string shown);
  std::string shown(std::string_view cp932_name) const;
  // A message (CP932) for the terminal: one that starts with the name of a
  // file added here ("NAME: ...", "NAME  not found") starts with its shown
  // form, and the rest is glossed.
  std::string shown_message(std::string_view cp932_message) const;

 private:
  std::map<std::string, std::string, std::less<>> names_;
};

// "FILE:LINE" or "FILE:LINE:COLUMN", or "korva-asm" for a diagnostic of the
// whole run.
std::string terminal_place(const SourceLocation& where, const std::optional<ColumnSpan>& span,
                           const TerminalFileNames& names = {});

// The source line (UTF-8) and under it the caret line that marks `span`:
// a tab stays a tab so that the caret keeps its place, every other byte
// before the span is a blank (a two-byte CP932 character is two columns
// wide, as it shows), and the span is ^~~~. Both lines end in a line feed
// and are indented by four blanks.
std::string source_excerpt(std::string_view source_line_cp932,
                           const std::optional<ColumnSpan>& span);

// The whole diagnostic with its excerpt, its notes, its hint and then
// `extra_notes` (notes of the front end, at the diagnostic's place).
std::string terminal_text(const Diagnostic& diagnostic,
                          const std::vector<std::string>& extra_notes = {},
                          const TerminalFileNames& names = {});

}  // namespace korva
