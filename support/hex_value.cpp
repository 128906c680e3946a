#include "support/hex_value.h"

#include <algorithm>
#include <limits>

namespace korva {
IntegerReading read_integer(std::string_view text, int base) {
  std::size_t pos = 0;
  while (pos < text.size() && is_c_space(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  if (base == 16 && pos + 1 < text.size() && text[pos] == '0' &&
      (text[pos + 1] == 'x' || text[pos + 1] == 'X') && pos + 2 < text.size() &&
      digit_value(text[pos + 2]) < 16) {
    pos += 2;
  }
  const std::size_t digits_start = pos;
  std::int64_t magnitude = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  while (pos < text.size() && digit_value(text[pos]) < base) {
    if (magnitude <= kLimit) magnitude = magnitude * base + digit_value(text[pos]);
    ++pos;
  }
  if (pos == digits_start) return {0, 0};
  std::int64_t value = negative ? -magnitude : magnitude;
  value = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max());
  return {static_cast<std::int32_t>(value), pos};
}

std::int32_t hex_value(std::string_view text) {
  // The common case, a run of up to seven hex digits at the front (the rest
  // of the text, if any, not read), needs neither blank, sign and prefix
  // handling nor clamping.
  std::int32_t value = 0;
  std::size_t i = 0;
  for (; i < text.size() && i < 7; ++i) {
    const int digit = digit_value(text[i]);
    if (digit >= 16) break;
    value = value * 16 + digit;
  }
  const bool run_ended = i == text.size() || digit_value(text[i]) >= 16;
  const bool prefix = i == 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (i > 0 && run_ended && !prefix) return value;
  return read_integer(text, 16).value;
}

std::optional<std::uint32_t> plain_hex_number(std::string_view text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : text) {
    const int digit = digit_value(c);
    if (digit >= 16) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

}  // namespace korva
