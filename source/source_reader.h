// Hands out a text one line at a time, the way both the passes of an assembly
// and the project-file loader read their input.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korva {

// Writes the characters first to end of `text`, with the blanks at both ends
// removed and every inner run of blanks reduced to one, to the front of
// `text`, and returns how many there are; the rest is left for the caller to
// cut. Only code 32 counts as a blank.
std::size_t collapse_blanks_in_place(char* text, std::size_t first, std::size_t end);

// Removes blanks at both ends and reduces every inner run of blanks to one
// (a std::string or a record field).
template <typename Text>
void collapse_blanks(Text& text) {
  text.resize(collapse_blanks_in_place(text.data(), 0, text.size()));
}

// Appends `text` to `destination` with tabs turned into blanks and blanks
// collapsed (as collapse_blanks does to the text alone), in one pass.
void append_collapsed(std::string& destination, std::string_view text);

// Turns every tab into a blank.
void tabs_to_blanks(std::string& text);

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
