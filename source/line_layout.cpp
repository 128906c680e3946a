#include "source/line_layout.h"

#include "support/byte_scan.h"
#include "support/text.h"

namespace korva {
namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

LineLayout layout_line(std::string_view line) {
  LineLayout layout;
  // The remark starts at the first ";"; a label ends at the first ":" before it.
  std::size_t semicolon = byte_scan::find_either(line, ';', ':');
  std::size_t colon = LineLayout::npos;
  if (semicolon != LineLayout::npos && line[semicolon] == ':') {
    colon = semicolon;
    semicolon = byte_scan::find(line, ';', colon + 1);
  }
  layout.remark_begin = semicolon;
  layout.statement_end = semicolon == LineLayout::npos ? line.size() : semicolon;
  if (colon != LineLayout::npos) {
    const bool double_colon = colon + 1 < layout.statement_end && line[colon + 1] == ':';
    layout.label_end = double_colon ? colon + 2 : colon + 1;
    layout.statement_begin = layout.label_end;
    return layout;
  }
  const std::size_t equ = find_nocase(line.substr(0, layout.statement_end), "EQU");
  if (equ != LineLayout::npos && equ > 0 && is_blank(line[equ - 1])) {
    layout.label_end = equ - 1;
    layout.label_before_equ = true;
    layout.statement_begin = equ;
  }
  return layout;
}

CollapsedStatement collapse_statement(std::string_view line, const LineLayout& layout) {
  CollapsedStatement statement;
  std::size_t blank_run = LineLayout::npos;  // where the blanks before `at` started
  for (std::size_t at = layout.statement_begin; at < layout.statement_end; ++at) {
    if (is_blank(line[at])) {
      if (blank_run == LineLayout::npos) blank_run = at;
      continue;
    }
    if (blank_run != LineLayout::npos && !statement.text.empty()) {
      statement.text += ' ';
      statement.columns.push_back(blank_run);
    }
    blank_run = LineLayout::npos;
    statement.text += line[at];
    statement.columns.push_back(at);
  }
  return statement;
}

}  // namespace korva
