#include "cli/terminal_diagnostics.h"

#include <algorithm>

#include "system/glossed_text.h"
#include "system/text_encoding.h"

namespace korva {
namespace {

// CP932 text for the terminal; plain ASCII, as most of it is, as it stands.
std::string shown(std::string_view cp932) {
  const bool ascii = std::all_of(cp932.begin(), cp932.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return ascii ? std::string(cp932) : cp932_to_utf8(cp932);
}

}  // namespace

void TerminalFileNames::add(std::string cp932_name, std::string shown) {
  names_.insert_or_assign(std::move(cp932_name), std::move(shown));
}

std::string TerminalFileNames::shown(std::string_view cp932_name) const {
  const auto known = names_.find(cp932_name);
  return known != names_.end() ? known->second : korva::shown(cp932_name);
}

std::string TerminalFileNames::shown_message(std::string_view cp932_message) const {
  for (const auto& [name, shown] : names_) {
    const std::string_view rest =
        cp932_message.starts_with(name) ? cp932_message.substr(name.size()) : std::string_view();
    if (!name.empty() && (rest.starts_with(':') || rest.starts_with(' '))) {
      return shown + glossed_utf8(rest);
    }
  }
  return glossed_utf8(cp932_message);
}

std::string terminal_place(const SourceLocation& where, const std::optional<ColumnSpan>& span,
                           const TerminalFileNames& names) {
  if (where.line == 0) return "korva-asm";
  std::string place = names.shown(where.file) + ":" + std::to_string(where.line);
  if (span) {
    place += ':';
    place += std::to_string(span->column);
  }
  return place;
}

std::string source_excerpt(std::string_view source_line_cp932,
                           const std::optional<ColumnSpan>& span) {
  std::string text = "    " + shown(source_line_cp932) + "\n";
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

std::string terminal_text(const Diagnostic& diagnostic, const std::vector<std::string>& extra_notes,
                          const TerminalFileNames& names) {
  const bool warning = diagnostic.severity == Severity::warning;
  const std::string place = terminal_place(diagnostic.where, diagnostic.span, names);
  std::string text = place + (warning ? ": warning: " : ": error: ") +
                     glossed_utf8(diagnostic_message(diagnostic));
  text += '\n';
  if (!diagnostic.source_line.empty()) {
    text += source_excerpt(diagnostic.source_line, diagnostic.span);
  } else if (!diagnostic.listing_line.empty()) {
    std::string line = shown(diagnostic.listing_line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    text += "    " + line + "\n";
  }
  const auto add_note = [&text](const std::string& at, const std::string& note) {
    text += at;
    text += ": note: ";
    text += note;
    text += '\n';
  };
  for (const DiagnosticNote& note : diagnostic.notes) {
    add_note(terminal_place(note.where, note.span, names), shown(note.text));
  }
  if (!diagnostic.hint.empty()) add_note(place, shown(diagnostic.hint));
  for (const std::string& note : extra_notes) add_note(place, note);
  return text;
}

}  // namespace korva
