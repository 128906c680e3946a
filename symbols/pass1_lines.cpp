#include "symbols/pass1_lines.h"

#include <bit>
#include <cstdint>

#include "support/byte_scan.h"

namespace korva {

namespace {

constexpr std::uint32_t three_letters(const char (&word)[4]) {
  return (static_cast<std::uint32_t>(word[0]) << 16) | (static_cast<std::uint32_t>(word[1]) << 8) |
         static_cast<std::uint32_t>(word[2]);
}

// Whether one of the words pass 1 looks for starts at `at`, in any case.
bool keyword_at(std::string_view text, std::size_t at) {
  if (text.size() - at < 3) return false;
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
  // Clearing bit 5 turns a letter into its capital, and no other byte into
  // one of these capitals.
  const std::uint32_t three = ((byte(0) << 16) | (byte(1) << 8) | byte(2)) & 0xDFDFDFu;
  return three == three_letters("EQU") || three == three_letters("END") ||
         three == three_letters("SUB") || three == three_letters("MAC");
}

// The high bit of each byte of `word` that may matter: a line end, the
// start of a remark, a colon, or the first letter of one of the words.
std::uint64_t marks(std::uint64_t word) {
  using byte_scan::matches;
  using byte_scan::repeated;
  // With bit 5 set, E and e both read e, and no other byte does; S and M
  // alike.
  const std::uint64_t lower = word | repeated(0x20);
  return matches(word, repeated('\n')) | matches(word, repeated(';')) |
         matches(word, repeated(':')) | matches(lower, repeated('e')) |
         matches(lower, repeated('s')) | matches(lower, repeated('m'));
}

}  // namespace

std::optional<RawLine> Pass1Lines::next() {
  std::size_t line_start = position_;
  bool in_remark = false;
  bool wanted = false;
  // Looks at one byte that may matter; returns the line when it ends one
  // that pass 1 wants.
  const auto look_at = [&](std::size_t at) -> std::optional<RawLine> {
    const char c = text_[at];
    if (c == '\n') {
      if (wanted) {
        const std::size_t end = at > line_start && text_[at - 1] == '\r' ? at - 1 : at;
        position_ = at + 1;
        return RawLine{text_.substr(line_start, end - line_start), line_start, at + 1};
      }
      line_start = at + 1;
      in_remark = false;
    } else if (!in_remark) {
      if (c == ';') {
        in_remark = true;
      } else if (c == ':' || keyword_at(text_, at)) {
        wanted = true;
      }
    }
    return std::nullopt;
  };
  std::size_t at = position_;
  if constexpr (byte_scan::kLittleEndian) {
    // Eight bytes at a time, since this runs over the whole source: most of
    // its bytes are none of these.
    for (; at + 8 <= text_.size(); at += 8) {
      for (std::uint64_t found = marks(byte_scan::load(text_.data() + at)); found != 0;
           found &= found - 1) {
        if (auto line = look_at(at + static_cast<std::size_t>(std::countr_zero(found)) / 8)) {
          return line;
        }
      }
    }
  }
  for (; at < text_.size(); ++at) {
    if (auto line = look_at(at)) return line;
  }
  position_ = text_.size();
  // The last line, when no line end closes it.
  if (wanted) {
    return RawLine{text_.substr(line_start), line_start, text_.size()};
  }
  return std::nullopt;
}

}  // namespace korva
