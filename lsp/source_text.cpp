#include "lsp/source_text.h"

#include <algorithm>

#include "support/column_map.h"
#include "system/text_encoding.h"

namespace korva::lsp {
namespace {

std::string_view without_line_end(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

// CR and LF are never trail bytes in CP932, so both forms of a text split
// into the same lines.
LineStarts::LineStarts(std::string_view text, LineEnds ends) {
  starts_.push_back(0);
  for (std::size_t at = 0; at < text.size(); ++at) {
    const bool ends_line = text[at] == '\n' || (ends == LineEnds::protocol && text[at] == '\r' &&
                                                (at + 1 == text.size() || text[at + 1] != '\n'));
    if (ends_line) starts_.push_back(at + 1);
  }
}

std::string_view LineStarts::line(std::string_view text, std::size_t line) const {
  if (line >= starts_.size()) return {};
  const std::size_t end = line + 1 < starts_.size() ? starts_[line + 1] : text.size();
  return without_line_end(text.substr(starts_[line], end - starts_[line]));
}

std::size_t LineStarts::line_of(std::size_t offset) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return static_cast<std::size_t>(after - starts_.begin()) - 1;
}

SourceText::SourceText(std::string cp932, std::string utf8)
    : cp932_(std::move(cp932)),
      utf8_(std::move(utf8)),
      lines_(cp932_, LineEnds::assembler),
      cp932_rows_(cp932_, LineEnds::protocol),
      utf8_rows_(utf8_, LineEnds::protocol) {}

SourceText SourceText::from_editor(std::string utf8) {
  std::string cp932 = utf8_to_cp932(utf8);
  return SourceText(std::move(cp932), std::move(utf8));
}

SourceText SourceText::from_file(std::string cp932) {
  std::string utf8 = cp932_to_utf8(cp932);
  return SourceText(std::move(cp932), std::move(utf8));
}

Position SourceText::position(std::size_t line, std::size_t cp932_column) const {
  const std::size_t offset =
      line < lines_.count()
          ? lines_.start(line) + std::min(cp932_column, cp932_line(line).size())
          : lines_.start(lines_.count() - 1) + cp932_line(lines_.count() - 1).size();
  const std::size_t row = cp932_rows_.line_of(offset);
  return Position{row,
                  korva::utf16_column(cp932_rows_.line(cp932_, row), utf8_rows_.line(utf8_, row),
                                      offset - cp932_rows_.start(row))};
}

LineColumn SourceText::place(Position position) const {
  if (position.line >= cp932_rows_.count()) {
    const std::size_t last = lines_.count() - 1;
    return LineColumn{last, cp932_line(last).size()};
  }
  const std::size_t row = position.line;
  const std::size_t offset =
      cp932_rows_.start(row) +
      byte_column(cp932_rows_.line(cp932_, row), utf8_rows_.line(utf8_, row), position.character);
  const std::size_t line = lines_.line_of(offset);
  return LineColumn{line, std::min(offset - lines_.start(line), cp932_line(line).size())};
}

Position SourceText::line_end(std::size_t line) const {
  return position(line, cp932_line(line).size());
}

}  // namespace korva::lsp
