#include "support/column_map.h"

#include <algorithm>

#include "support/text.h"
#include "support/utf8_text.h"

namespace korva {
namespace {

struct Utf8Character {
  std::size_t bytes = 1;
  std::size_t units = 1;  // UTF-16 code units
};

Utf8Character character_at(std::string_view text, std::size_t at) {
  const std::size_t bytes = std::max<std::size_t>(1, utf8_length(text, at));
  return Utf8Character{bytes, bytes == 4 ? 2u : 1u};
}

bool is_ascii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Walks the characters of the line in both forms until `stop(byte, width,
// units, unit_count)` says so; ends with a call for the line's end (width
// 0).
template <typename Stop>
void walk(std::string_view cp932, std::string_view utf8, Stop stop) {
  std::size_t byte = 0;
  std::size_t units = 0;
  for (std::size_t at = 0; at < utf8.size() && byte < cp932.size();) {
    const Utf8Character c = character_at(utf8, at);
    const bool pair = c.bytes > 1 && utf8.substr(at, c.bytes) != kReplacement &&
                      is_cp932_lead_byte(static_cast<unsigned char>(cp932[byte]));
    const std::size_t width = std::min<std::size_t>(pair ? 2 : 1, cp932.size() - byte);
    if (stop(byte, width, units, c.units)) return;
    byte += width;
    units += c.units;
    at += c.bytes;
  }
  stop(cp932.size(), 0, units, 0);
}

}  // namespace

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

std::size_t utf16_column(std::string_view cp932, std::string_view utf8, std::size_t byte_column) {
  // Most lines are ASCII: one byte, one unit, in both forms.
  if (is_ascii(cp932) && is_ascii(utf8)) return std::min(byte_column, cp932.size());
  std::size_t result = 0;
  walk(cp932, utf8, [&](std::size_t byte, std::size_t width, std::size_t units, std::size_t) {
    result = units;
    return width == 0 || byte_column < byte + width;
  });
  return result;
}

std::size_t byte_column(std::string_view cp932, std::string_view utf8, std::size_t utf16_column) {
  if (is_ascii(cp932) && is_ascii(utf8)) return std::min(utf16_column, cp932.size());
  std::size_t result = 0;
  walk(cp932, utf8,
       [&](std::size_t byte, std::size_t width, std::size_t units, std::size_t unit_count) {
         result = byte;
         return width == 0 || utf16_column < units + unit_count;
       });
  return result;
}

}  // namespace korva
