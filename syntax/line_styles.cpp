#include "syntax/line_styles.h"

#include "source/line_layout.h"

namespace korva::syntax {
namespace {

// The label's name without its blanks in front and colons behind:
// "NAME::" and the name before EQU are global, "NAME:" is local.
void add_label(std::string_view line, const LineLayout& layout, std::vector<StyledSpan>& spans) {
  std::size_t end = layout.label_end;
  while (end > 0 && line[end - 1] == ':') --end;
  std::size_t begin = 0;
  while (begin < end && (line[begin] == ' ' || line[begin] == '\t')) ++begin;
  if (end <= begin) return;
  const std::string_view label = line.substr(0, layout.label_end);
  const bool global = layout.label_before_equ || label.ends_with("::");
  spans.push_back({begin, end - begin, global ? Style::global_label : Style::local_label});
}

}  // namespace

std::vector<StyledSpan> line_styles(const Notation& notation, std::span<const PatternEntry> entries,
                                    std::string_view line, std::size_t& budget) {
  std::vector<StyledSpan> spans;
  const LineLayout layout = layout_line(line);
  if (layout.has_label()) add_label(line, layout, spans);
  const CollapsedStatement statement = collapse_statement(line, layout);
  const std::size_t size = statement.text.size();
  if (size > 0 && size <= kStyledStatementLimit && size <= budget) {
    budget -= size;
    for (const StyledSpan& span : statement_styles(notation, entries, statement.text)) {
      if (span.length == 0 || span.style == Style::normal ||
          span.start + span.length > statement.columns.size()) {
        continue;
      }
      const std::size_t begin = statement.line_begin(span.start);
      spans.push_back({begin, statement.line_end(span.start, span.length) - begin, span.style});
    }
  }
  if (layout.has_remark()) {
    spans.push_back({layout.remark_begin, line.size() - layout.remark_begin, Style::remark});
  }
  return spans;
}

}  // namespace korva::syntax
