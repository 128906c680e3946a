// Finding single bytes in the short texts of a source line, eight bytes at a
// time. For lines of a few dozen characters this beats a call to memchr,
// whose set-up costs more than the search.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace korva::byte_scan {

inline constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// Eight copies of `c`.
constexpr std::uint64_t repeated(char c) {
  return 0x0101010101010101 * static_cast<std::uint8_t>(c);
}

// The high bit of every byte of `word` that equals the byte of `pattern`
// (a repeated byte), and of no other byte. The shorter subtraction trick
// also marks a byte one above a match (a "!" right after a blank, for a
// blank): no carry may run between the bytes here, since callers look at
// every byte's mark, not only the first.
constexpr std::uint64_t matches(std::uint64_t word, std::uint64_t pattern) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
  const std::uint64_t x = word ^ pattern;
  // A byte's high bit ends up set exactly when the byte of x is zero.
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

inline std::uint64_t load(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// Position of the first byte of `text`, from `from`, that is `a` or `b`, or
// npos.
inline std::size_t find_either(std::string_view text, char a, char b, std::size_t from = 0) {
  std::size_t at = from;
  if constexpr (kLittleEndian) {
    const std::uint64_t pattern_a = repeated(a);
    const std::uint64_t pattern_b = repeated(b);
    for (; at + 8 <= text.size(); at += 8) {
      const std::uint64_t word = load(text.data() + at);
      const std::uint64_t found = matches(word, pattern_a) | matches(word, pattern_b);
      if (found != 0) return at + static_cast<std::size_t>(std::countr_zero(found)) / 8;
    }
  }
  for (; at < text.size(); ++at) {
    if (text[at] == a || text[at] == b) return at;
  }
  return std::string_view::npos;
}

inline std::size_t find(std::string_view text, char c, std::size_t from = 0) {
  return find_either(text, c, c, from);
}

}  // namespace korva::byte_scan
