#include "lsp/source_text.h"

#include <algorithm>

#include "support/text.h"
#include "system/text_encoding.h"

namespace korva::lsp {
namespace {

// The length of the UTF-8 character that starts with `lead`; 1 for a byte
// that starts none.
std::size_t utf8_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

struct Utf8Character {
  std::size_t bytes = 1;
  std::size_t units = 1;  // UTF-16 code units
  bool replacement = false;
};

Utf8Character character_at(std::string_view text, std::size_t at) {
  std::size_t bytes = utf8_length(static_cast<unsigned char>(text[at]));
  if (at + bytes > text.size()) bytes = 1;
  for (std::size_t i = 1; i < bytes; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) bytes = 1;
  }
  const bool replacement = text.substr(at, bytes) == "\xEF\xBF\xBD";
  return Utf8Character{bytes, bytes == 4 ? 2u : 1u, replacement};
}

// Most lines are ASCII: one byte, one unit, in both forms.
bool is_ascii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

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

std::size_t utf16_length(std::string_view utf8) {
  std::size_t units = 0;
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Character c = character_at(utf8, at);
    units += c.units;
    at += c.bytes;
  }
  return units;
}

std::size_t utf8_offset(std::string_view utf8, std::size_t utf16_column) {
  std::size_t units = 0;
  std::size_t at = 0;
  while (at < utf8.size() && units < utf16_column) {
    const Utf8Character c = character_at(utf8, at);
    if (units + c.units > utf16_column) break;
    units += c.units;
    at += c.bytes;
  }
  return at;
}

SourceText::SourceText(std::string cp932, std::string utf8, TextOrigin origin)
    : cp932_(std::move(cp932)),
      utf8_(std::move(utf8)),
      origin_(origin),
      cp932_lines_(cp932_),
      utf8_lines_(utf8_) {}

SourceText SourceText::from_editor(std::string utf8) {
  std::string cp932 = utf8_to_cp932(utf8);
  return SourceText(std::move(cp932), std::move(utf8), TextOrigin::editor);
}

SourceText SourceText::from_file(std::string cp932) {
  std::string utf8 = cp932_to_utf8(cp932);
  return SourceText(std::move(cp932), std::move(utf8), TextOrigin::file);
}

template <typename Stop>
void SourceText::walk(std::size_t line, Stop stop) const {
  const std::string_view bytes = cp932_line(line);
  const std::string_view text = utf8_line(line);
  std::size_t byte = 0;
  std::size_t units = 0;
  for (std::size_t at = 0; at < text.size() && byte < bytes.size();) {
    const Utf8Character c = character_at(text, at);
    std::size_t width = 1;
    if (c.bytes > 1 || static_cast<unsigned char>(text[at]) >= 0x80) {
      const auto first = static_cast<unsigned char>(bytes[byte]);
      if (origin_ == TextOrigin::file && c.replacement) {
        width = 1;  // a byte that is no CP932 character
      } else {
        width = is_cp932_lead_byte(first) ? 2 : 1;  // "?" for a character CP932 lacks
      }
    }
    width = std::min(width, bytes.size() - byte);
    if (stop(byte, width, units, c.units)) return;
    byte += width;
    units += c.units;
    at += c.bytes;
  }
  stop(bytes.size(), 0, units, 0);
}

std::size_t SourceText::utf16_column(std::size_t line, std::size_t cp932_column) const {
  const std::string_view bytes = cp932_line(line);
  if (is_ascii(bytes) && is_ascii(utf8_line(line))) return std::min(cp932_column, bytes.size());
  std::size_t result = 0;
  walk(line, [&](std::size_t byte, std::size_t width, std::size_t units, std::size_t) {
    result = units;
    return width == 0 || cp932_column < byte + width;
  });
  return result;
}

std::size_t SourceText::cp932_column(std::size_t line, std::size_t utf16_column) const {
  const std::string_view bytes = cp932_line(line);
  if (is_ascii(bytes) && is_ascii(utf8_line(line))) {
    return std::min(utf16_column, bytes.size());
  }
  std::size_t result = 0;
  walk(line, [&](std::size_t byte, std::size_t width, std::size_t units, std::size_t unit_count) {
    result = byte;
    return width == 0 || utf16_column < units + unit_count;
  });
  return result;
}

std::size_t SourceText::line_end(std::size_t line) const {
  return utf16_length(utf8_line(line));
}

}  // namespace korva::lsp
