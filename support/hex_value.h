// The hex value rule: how a hexadecimal text (an address, a value, a program
// word) is read as a number, and the strtol-like reading under it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace korva {

// The value of every byte as a digit: 0-9, then the letters of either case
// from 10 (for any base up to 36), 99 for the rest. Hexadecimal texts are
// read for every record more than once, so this is a table rather than a
// chain of tests.
inline constexpr std::array<std::uint8_t, 256> kDigitValues = [] {
  std::array<std::uint8_t, 256> values{};
  values.fill(99);
  for (int c = '0'; c <= '9'; ++c) values[c] = static_cast<std::uint8_t>(c - '0');
  for (int c = 'a'; c <= 'z'; ++c) values[c] = static_cast<std::uint8_t>(c - 'a' + 10);
  for (int c = 'A'; c <= 'Z'; ++c) values[c] = static_cast<std::uint8_t>(c - 'A' + 10);
  return values;
}();

inline int digit_value(char c) {
  return kDigitValues[static_cast<unsigned char>(c)];
}

// White space as the C library's isspace sees it in the "C" locale.
inline bool is_c_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

struct IntegerReading {
  std::int32_t value = 0;
  std::size_t consumed = 0;  // characters read; 0 when no digit was found
};

// Reads an integer the way the C library's strtol does on a 32-bit system:
// leading white space, an optional sign, for base 16 an optional 0x prefix,
// then digits as far as they go. Values beyond 32 bits are clamped.
IntegerReading read_integer(std::string_view text, int base);

// The hex value rule: the text read in base 16; text without digits is 0.
std::int32_t hex_value(std::string_view text);

// A text of one to eight hexadecimal digits and nothing else, read exactly;
// none for any other text (where the hex value rule would still read a
// value, such as 0 for "$XXXX").
std::optional<std::uint32_t> plain_hex_number(std::string_view text);

}  // namespace korva
