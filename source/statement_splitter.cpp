#include "source/statement_splitter.h"

#include "source/source_reader.h"

namespace korva {
namespace {

char upper_char(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Takes the label off the front of the line: by its first colon, or by the
// EQU form (a name, a blank and EQU). Returns whether a label was found.
bool take_label(std::string& line, std::string& label) {
  const std::size_t colon = line.find(':');
  if (colon != std::string::npos) {
    const std::size_t label_end =
        (colon + 1 < line.size() && line[colon + 1] == ':') ? colon + 2 : colon + 1;
    label = line.substr(0, label_end);
    line.erase(0, label_end);
    return true;
  }
  const std::size_t equ = find_nocase(line, "EQU");
  if (equ == std::string::npos || equ == 0 || (line[equ - 1] != ' ' && line[equ - 1] != '\t')) {
    return false;
  }
  label = line.substr(0, equ - 1) + "::";
  line.erase(0, equ);
  return true;
}

}  // namespace

void upper_case(std::string& text) {
  for (char& c : text) c = upper_char(c);
}

std::string upper_cased(std::string_view text) {
  std::string copy(text);
  upper_case(copy);
  return copy;
}

std::size_t find_nocase(std::string_view text, std::string_view pattern) {
  if (pattern.size() > text.size()) return std::string_view::npos;
  const std::size_t last = text.size() - pattern.size();
  for (std::size_t start = 0; start <= last; ++start) {
    std::size_t i = 0;
    while (i < pattern.size() && upper_char(text[start + i]) == pattern[i]) ++i;
    if (i == pattern.size()) return start;
  }
  return std::string_view::npos;
}

bool starts_with_nocase(std::string_view text, std::string_view upper) {
  if (text.size() < upper.size()) return false;
  for (std::size_t i = 0; i < upper.size(); ++i) {
    if (upper_char(text[i]) != upper[i]) return false;
  }
  return true;
}

bool equals_nocase(std::string_view text, std::string_view upper) {
  return text.size() == upper.size() && starts_with_nocase(text, upper);
}

SplitCuts split_statement(std::string& line, LineRecord& record) {
  const std::size_t semicolon = line.find(';');
  const bool remark_cut =
      semicolon != std::string::npos && line.size() - semicolon > kRemarkCapacity;
  if (semicolon != std::string::npos) {
    assign_cut(record.remark, std::string_view(line).substr(semicolon), kRemarkCapacity);
    line.resize(semicolon);
  } else {
    record.remark.clear();
  }

  std::string label;
  const bool labelled = take_label(line, label);
  assign_cut(record.label, labelled ? label : std::string(), kLabelCapacity);

  collapse_blanks(line);
  assign_cut(record.statement, line, kStatementCapacity);
  return SplitCuts{label.size() > kLabelCapacity, line.size() > kStatementCapacity, remark_cut};
}

}  // namespace korva
