// Hands out a text one line at a time, the way both the passes of an assembly
// and the project-file loader read their input.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "support/text.h"

namespace korva {

class SourceReader {
 public:
  // The text must outlive the reads; the reader keeps only a view of it.
  void reset(std::string_view text) {
    text_ = text;
    position_ = 0;
  }

  // Writes the next line into `destination`, with the line end removed,
  // tabs turned into blanks and blanks collapsed; at the end of the text it
  // writes "end" (untouched by blank handling) every time. A line ends at LF;
  // a CR in front of the LF is dropped. Returns the read position after the
  // line, the start of the next one.
  std::size_t read_line(std::string& destination);

  std::size_t position() const { return position_; }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

}  // namespace korva
