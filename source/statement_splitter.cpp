#include "source/statement_splitter.h"

#include "source/byte_scan.h"
#include "source/source_reader.h"

namespace korva {
namespace {

// The label at the front of `text` (a line without its remark): up to its
// first colon (and a second one right behind it), or, in the EQU form (a
// name, a blank and EQU), the name followed by "::".
struct FoundLabel {
  std::size_t end = std::string_view::npos;  // where the statement starts; npos: no label
  std::size_t size = 0;                      // of the label as stored, before cutting
};

// `colon` is where the first colon of `text` is, if anywhere.
FoundLabel find_label(std::string_view text, std::size_t colon, FieldText<kLabelFieldSize>& label) {
  if (colon != std::string_view::npos) {
    const std::size_t label_end =
        (colon + 1 < text.size() && text[colon + 1] == ':') ? colon + 2 : colon + 1;
    assign_cut(label, text.substr(0, label_end), kLabelCapacity);
    return {label_end, label_end};
  }
  const std::size_t equ = find_nocase(text, "EQU");
  if (equ == std::string_view::npos || equ == 0 ||
      (text[equ - 1] != ' ' && text[equ - 1] != '\t')) {
    return {};
  }
  const std::string name = std::string(text.substr(0, equ - 1)) + "::";
  assign_cut(label, name, kLabelCapacity);
  return {equ, name.size()};
}

}  // namespace

std::string upper_cased(std::string_view text) {
  std::string copy(text);
  upper_case(copy);
  return copy;
}

std::size_t find_nocase(std::string_view text, std::string_view pattern) {
  if (pattern.size() > text.size()) return std::string_view::npos;
  if (pattern.empty()) return 0;
  // Candidates are the places of the first character in either case.
  const char first = pattern.front();
  const char first_lower =
      (first >= 'A' && first <= 'Z') ? static_cast<char>(first - 'A' + 'a') : first;
  const std::size_t last = text.size() - pattern.size();
  for (std::size_t start = 0; start <= last; ++start) {
    if (text[start] != first && text[start] != first_lower) continue;
    std::size_t i = 1;
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
  std::string_view text = line;
  // The remark starts at the first ";"; a label ends at the first ":" before it.
  std::size_t semicolon = byte_scan::find_either(text, ';', ':');
  std::size_t colon = std::string_view::npos;
  if (semicolon != std::string_view::npos && text[semicolon] == ':') {
    colon = semicolon;
    semicolon = byte_scan::find(text, ';', colon + 1);
  }
  const bool remark_cut =
      semicolon != std::string_view::npos && text.size() - semicolon > kRemarkCapacity;
  if (semicolon != std::string_view::npos) {
    assign_cut(record.remark, text.substr(semicolon), kRemarkCapacity);
    text = text.substr(0, semicolon);
  } else {
    record.remark.clear();
  }

  const FoundLabel label = find_label(text, colon, record.label);
  if (label.end == std::string_view::npos) record.label.clear();

  // The statement is what stands between label and remark, collapsed; it
  // is moved to the front of the line.
  const std::size_t statement_start = label.end == std::string_view::npos ? 0 : label.end;
  line.resize(collapse_blanks_in_place(line.data(), statement_start, text.size()));
  assign_cut(record.statement, line, kStatementCapacity);
  return SplitCuts{label.size > kLabelCapacity, line.size() > kStatementCapacity, remark_cut};
}

}  // namespace korva
