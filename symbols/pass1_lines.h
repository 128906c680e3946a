// Which source lines pass 1 has to read: it acts only on labels,
// subroutine and macro definitions and the source's end line, and most
// lines of a program are none of these.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace korva {

// A line of the source as it stands.
struct RawLine {
  std::string_view bytes;  // without its line end (LF, or CR LF)
  std::size_t start = 0;   // where it starts in the text
  std::size_t next = 0;    // where the line after it starts
};

// Finds, in order, the lines of a text that pass 1 may act on, judged from
// their bytes: a colon before the remark (a label), or EQU, SUB, MACRO or
// END in any case before it (a label in the EQU form, a subroutine or its
// end, a macro definition or its end, the end line). It may hand out a line
// that turns out to be none of these, never pass over one that is.
class Pass1Lines {
 public:
  explicit Pass1Lines(std::string_view text) : text_(text) {}

  // The next such line; none once the text is through.
  std::optional<RawLine> next();

 private:
  std::string_view text_;
  std::size_t position_ = 0;  // the start of the line to look at next
};

}  // namespace korva
