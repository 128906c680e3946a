// Where the parts of a source line stand: the label in front, the statement,
// the remark from its ";". The assembler, the explainer, the language server
// and the window all take a line apart here, so that they agree on every
// line the assembler accepts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

// Byte columns of one line, from 0.
struct LineLayout {
  static constexpr std::size_t npos = std::string_view::npos;

  // The label is [0, label_end): up to the first ":" before the remark (and
  // a second one right behind it), or in the form `NAME EQU value` the name
  // before the blank, which is stored as "NAME::". npos: no label.
  std::size_t label_end = npos;
  bool label_before_equ = false;
  // The statement's text, blanks included: from the label's end (or the
  // line's start) to the remark (or the line's end).
  std::size_t statement_begin = 0;
  std::size_t statement_end = 0;
  // The remark runs from its ";" to the line's end. npos: no remark.
  std::size_t remark_begin = npos;

  bool has_label() const { return label_end != npos; }
  bool has_remark() const { return remark_begin != npos; }
};

LineLayout layout_line(std::string_view line);

// The statement as the record holds it, with blanks and tabs collapsed to
// one blank and none at either end, and for each of its bytes the line's
// column it came from (a collapsed blank: the first blank of its run).
struct CollapsedStatement {
  std::string text;
  std::vector<std::size_t> columns;

  // The line's columns [begin, end) that bytes [at, at + size) of the text
  // came from; size is at least 1 and at + size within the text.
  std::size_t line_begin(std::size_t at) const { return columns[at]; }
  std::size_t line_end(std::size_t at, std::size_t size) const {
    return columns[at + size - 1] + 1;
  }
};

CollapsedStatement collapse_statement(std::string_view line, const LineLayout& layout);

}  // namespace korva
