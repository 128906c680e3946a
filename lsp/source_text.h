// A source file in both of its forms: the CP932 bytes that the assembler
// reads and the UTF-8 text that the editor shows, with places converted
// between the assembler's lines and CP932 byte columns and the editor's
// lines and UTF-16 code units (support/column_map.h).
//
// The two sides count lines differently. The assembler ends a line at LF
// only (a CR before it is dropped); the protocol ends one at LF, CR LF and
// a lone CR. A file from an old Mac therefore has one assembler line and
// many editor lines, and every place goes through the byte offset.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korva::lsp {

// A place in the editor's terms.
struct Position {
  std::size_t line = 0;
  std::size_t character = 0;  // UTF-16 code units
  friend bool operator==(const Position&, const Position&) = default;
};

struct Range {
  Position start;
  Position end;
  friend bool operator==(const Range&, const Range&) = default;
};

// A place in the assembler's terms: a line and a CP932 byte column (from 0).
struct LineColumn {
  std::size_t line = 0;
  std::size_t column = 0;
  friend bool operator==(const LineColumn&, const LineColumn&) = default;
};

enum class LineEnds {
  assembler,  // LF, with a CR before it dropped
  protocol,   // LF, CR LF and a lone CR
};

// The starts of the lines of a text.
class LineStarts {
 public:
  LineStarts(std::string_view text, LineEnds ends);
  std::size_t count() const { return starts_.size(); }
  std::size_t start(std::size_t line) const { return starts_[line]; }
  // The line without its line end; empty beyond the last.
  std::string_view line(std::string_view text, std::size_t line) const;
  // The line a byte offset belongs to (a line end belongs to its line).
  std::size_t line_of(std::size_t offset) const;

 private:
  std::vector<std::size_t> starts_;
};

class SourceText {
 public:
  static SourceText from_editor(std::string utf8);
  static SourceText from_file(std::string cp932);

  const std::string& cp932() const { return cp932_; }
  const std::string& utf8() const { return utf8_; }
  // The assembler's lines.
  std::size_t line_count() const { return lines_.count(); }
  std::string_view cp932_line(std::size_t line) const { return lines_.line(cp932_, line); }
  std::size_t offset_of_line(std::size_t line) const { return lines_.start(line); }

  // Where a byte column of an assembler line stands in the editor; a column
  // beyond the line's end gives its end, a line beyond the last the text's.
  Position position(std::size_t line, std::size_t cp932_column) const;
  // The reverse: the start of the CP932 character the unit belongs to; a
  // place beyond a line's end or the text's gives that end.
  LineColumn place(Position position) const;
  // The end of an assembler line in the editor.
  Position line_end(std::size_t line) const;
  // Assembler lines first to last, whole, in the editor.
  Range lines(std::size_t first, std::size_t last) const {
    return Range{position(first, 0), line_end(last)};
  }

 private:
  SourceText(std::string cp932, std::string utf8);

  std::string cp932_;
  std::string utf8_;
  LineStarts lines_;       // the assembler's, in cp932_
  LineStarts cp932_rows_;  // the editor's, in cp932_
  LineStarts utf8_rows_;   // the editor's, in utf8_
};

}  // namespace korva::lsp
