#include "source/statement_splitter.h"

#include "source/line_layout.h"

namespace korva {

SplitCuts split_statement(std::string& line, LineRecord& record) {
  const LineLayout layout = layout_line(line);
  const std::string_view text = line;
  const bool remark_cut =
      layout.has_remark() && text.size() - layout.remark_begin > kRemarkCapacity;
  if (layout.has_remark()) {
    assign_cut(record.remark, text.substr(layout.remark_begin), kRemarkCapacity);
  } else {
    record.remark.clear();
  }
  std::size_t label_size = 0;
  if (!layout.has_label()) {
    record.label.clear();
  } else if (layout.label_before_equ) {
    const std::string name = std::string(text.substr(0, layout.label_end)) + "::";
    assign_cut(record.label, name, kLabelCapacity);
    label_size = name.size();
  } else {
    assign_cut(record.label, text.substr(0, layout.label_end), kLabelCapacity);
    label_size = layout.label_end;
  }
  // The statement is what stands between label and remark, collapsed; it
  // is moved to the front of the line.
  line.resize(collapse_blanks_in_place(line.data(), layout.statement_begin, layout.statement_end));
  assign_cut(record.statement, line, kStatementCapacity);
  return SplitCuts{label_size > kLabelCapacity, line.size() > kStatementCapacity, remark_cut};
}

}  // namespace korva
