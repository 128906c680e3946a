// Number notations of the source language and the hexadecimal texts in which
// numbers travel through the assembler (addresses, values, program words).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "support/hex_value.h"

namespace korva {

// What check_number makes of an operand.
struct NumberCheck {
  bool is_number = false;
  bool rewritten = false;   // false for "$XXXX", a number that stays as written
  char digits[4] = {};      // the four digits it is rewritten as
  std::uint32_t value = 0;  // what hex_value reads from the text it leaves (16 bits)
};
NumberCheck read_number_text(std::string_view operand);

// Validates an operand written in any number notation ($1F, 1Fh, H'1F', 31)
// and rewrites it as four hexadecimal digits. Returns false, leaving the
// operand untouched, when it is not a number. "$XXXX" is a number and stays.
// (A std::string or a record field.)
template <typename Text>
bool check_number(Text& operand) {
  const NumberCheck check = read_number_text(operand);
  if (check.rewritten) operand.assign(std::string_view(check.digits, 4));
  return check.is_number;
}

// check_number that also gives the operand's value, as hex_value reads the
// text it leaves ("$XXXX" as 0); none, leaving the operand untouched, when
// it is not a number.
template <typename Text>
std::optional<std::uint32_t> check_number_value(Text& operand) {
  const NumberCheck check = read_number_text(operand);
  if (!check.is_number) return std::nullopt;
  if (check.rewritten) operand.assign(std::string_view(check.digits, 4));
  return check.value;
}

// The value that hex_value reads from the text check_number would store, or
// none where check_number would return false; the operand is not changed.
// Never beyond 16 bits ("$XXXX" reads as 0).
std::optional<std::uint32_t> number_value(std::string_view operand);

// Whether the operand is written in one of the number notations: "$" and
// hexadecimal digits, hexadecimal digits and "h", "H'" with hexadecimal digits
// and a closing quote, or decimal digits (with an optional sign). check_number
// also accepts texts such as 'H', $ and H'' and reads them as 0; those are
// numbers nobody wrote.
bool is_written_number(std::string_view operand);

// Brings a hexadecimal text to `width` characters: zero-padded on the left,
// or cut to its last (low-order) `width` characters.
template <typename Text>
void pad_hex(Text& text, std::size_t width) {
  if (text.size() >= width) {
    text.assign(std::string_view(text).substr(text.size() - width));
  } else {
    std::string padded(width - text.size(), '0');
    padded += std::string_view(text);
    text.assign(padded);
  }
}

inline constexpr char kLowerHexDigits[] = "0123456789abcdef";

// The low `width` hexadecimal digits of `value`, lower case and
// zero-padded: what to_hex followed by pad_hex gives, without either text.
// Inline, so that a constant width (an address's four digits in every
// record) unrolls.
inline std::string_view format_hex(std::uint32_t value, std::size_t width, char (&digits)[8]) {
  const std::size_t written = std::min<std::size_t>(width, sizeof digits);
  for (std::size_t i = 0; i < written; ++i) {
    digits[written - 1 - i] = kLowerHexDigits[(value >> (4 * i)) & 0xF];
  }
  return std::string_view(digits, written);
}
template <typename Text>
void assign_hex(Text& text, std::uint32_t value, std::size_t width) {
  char digits[8];
  const std::string_view low = format_hex(value, width, digits);
  if (low.size() == width) {
    text.assign(low);
  } else {
    std::string padded(width - low.size(), '0');
    padded += low;
    text.assign(padded);
  }
}

// Lower-case hexadecimal digits of a 32-bit value, without leading zeros.
std::string to_hex(std::uint32_t value);

}  // namespace korva
