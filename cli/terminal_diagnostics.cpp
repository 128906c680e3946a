#include "cli/terminal_diagnostics.h"

#include <algorithm>

#include "cli/terminal_glosses.h"
#include "support/text_encoding.h"

namespace korva {

std::string terminal_place(const SourceLocation& where, const std::optional<ColumnSpan>& span) {
  if (where.line == 0) return "korva-asm";
  std::string place = cp932_to_utf8(where.file) + ":" + std::to_string(where.line);
  if (span) place += ":" + std::to_string(span->column);
  return place;
}

std::string source_excerpt(std::string_view source_line_cp932,
                           const std::optional<ColumnSpan>& span) {
  std::string text = "    " + cp932_to_utf8(source_line_cp932) + "\n";
  if (!span || span->column > source_line_cp932.size()) return text;
  const std::size_t begin = span->column - 1;
  const std::size_t length =
      std::max<std::size_t>(1, std::min(span->length, source_line_cp932.size() - begin));
  text += "    ";
  for (std::size_t i = 0; i < begin; ++i) text += source_line_cp932[i] == '\t' ? '\t' : ' ';
  text += '^';
  text.append(length - 1, '~');
  text += '\n';
  return text;
}

std::string terminal_text(const Diagnostic& diagnostic,
                          const std::vector<std::string>& extra_notes) {
  const bool warning = diagnostic.severity == Severity::warning;
  const std::string place = terminal_place(diagnostic.where, diagnostic.span);
  std::string text =
      place + (warning ? ": warning: " : ": error: ") + glossed_for_terminal(diagnostic.text);
  if (!diagnostic.explanation.empty()) text += ": " + cp932_to_utf8(diagnostic.explanation);
  text += '\n';
  if (!diagnostic.source_line.empty()) {
    text += source_excerpt(diagnostic.source_line, diagnostic.span);
  } else if (!diagnostic.listing_line.empty()) {
    std::string line = cp932_to_utf8(diagnostic.listing_line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    text += "    " + line + "\n";
  }
  for (const DiagnosticNote& note : diagnostic.notes) {
    text += terminal_place(note.where, note.span) + ": note: " + cp932_to_utf8(note.text) + "\n";
  }
  if (!diagnostic.hint.empty()) {
    text += place + ": note: " + cp932_to_utf8(diagnostic.hint) + "\n";
  }
  for (const std::string& note : extra_notes) text += place + ": note: " + note + "\n";
  return text;
}

}  // namespace korva
