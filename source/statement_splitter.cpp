#include "source/statement_splitter.h"

#include "source/source_reader.h"
#include "support/byte_scan.h"

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
