// A source file in both of its forms: the CP932 bytes that the assembler
// reads and the UTF-8 text that the editor shows, with positions converted
// between CP932 byte columns and the UTF-16 code units that the protocol
// counts (support/column_map.h).
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

// The starts of the lines of a text (after each LF).
class LineStarts {
 public:
  explicit LineStarts(std::string_view text);
  std::size_t count() const { return starts_.size(); }
  std::size_t start(std::size_t line) const { return starts_[line]; }
  // The line without its line end (LF or CR LF); empty beyond the last.
  std::string_view line(std::string_view text, std::size_t line) const;

 private:
  std::vector<std::size_t> starts_;
};

class SourceText {
 public:
  static SourceText from_editor(std::string utf8);
  static SourceText from_file(std::string cp932);

  const std::string& cp932() const { return cp932_; }
  const std::string& utf8() const { return utf8_; }
  std::size_t line_count() const { return cp932_lines_.count(); }
  std::string_view cp932_line(std::size_t line) const { return cp932_lines_.line(cp932_, line); }
  std::string_view utf8_line(std::size_t line) const { return utf8_lines_.line(utf8_, line); }

  // A byte column of a CP932 line (from 0) in UTF-16 units, and back (the
  // start of the CP932 character the unit belongs to). Columns beyond the
  // line's end give its end.
  std::size_t utf16_column(std::size_t line, std::size_t cp932_column) const;
  std::size_t cp932_column(std::size_t line, std::size_t utf16_column) const;
  // The end of a line in UTF-16 units.
  std::size_t line_end(std::size_t line) const;

 private:
  SourceText(std::string cp932, std::string utf8);

  std::string cp932_;
  std::string utf8_;
  LineStarts cp932_lines_;
  LineStarts utf8_lines_;
};

}  // namespace korva::lsp
