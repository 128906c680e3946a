#include "lsp/source_text.h"

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

LineStarts::LineStarts(std::string_view text) {
  starts_.push_back(0);
  for (std::size_t at = text.find('\n'); at != std::string_view::npos;
       at = text.find('\n', at + 1)) {
    starts_.push_back(at + 1);
  }
}

std::string_view LineStarts::line(std::string_view text, std::size_t line) const {
  if (line >= starts_.size()) return {};
  const std::size_t end = line + 1 < starts_.size() ? starts_[line + 1] : text.size();
  return without_line_end(text.substr(starts_[line], end - starts_[line]));
}

SourceText::SourceText(std::string cp932, std::string utf8)
    : cp932_(std::move(cp932)), utf8_(std::move(utf8)), cp932_lines_(cp932_), utf8_lines_(utf8_) {}

SourceText SourceText::from_editor(std::string utf8) {
  std::string cp932 = utf8_to_cp932(utf8);
  return SourceText(std::move(cp932), std::move(utf8));
}

SourceText SourceText::from_file(std::string cp932) {
  std::string utf8 = cp932_to_utf8(cp932);
  return SourceText(std::move(cp932), std::move(utf8));
}

std::size_t SourceText::utf16_column(std::size_t line, std::size_t cp932_column) const {
  return korva::utf16_column(cp932_line(line), utf8_line(line), cp932_column);
}

std::size_t SourceText::cp932_column(std::size_t line, std::size_t utf16_column) const {
  return byte_column(cp932_line(line), utf8_line(line), utf16_column);
}

std::size_t SourceText::line_end(std::size_t line) const {
  return utf16_length(utf8_line(line));
}

}  // namespace korva::lsp
