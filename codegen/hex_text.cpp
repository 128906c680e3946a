#include "codegen/hex_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <limits>

#include "source/source_reader.h"
#include "source/statement_splitter.h"

namespace korva {
namespace {

// The value of every byte as a digit: 0-9, then letters from 10 (for any
// base up to 36), 99 for the rest. Hexadecimal texts are read for every
// record more than once, so this is a table rather than a chain of tests.
constexpr std::array<std::uint8_t, 256> kDigitValues = [] {
  std::array<std::uint8_t, 256> values{};
  values.fill(99);
  for (int c = '0'; c <= '9'; ++c) values[c] = static_cast<std::uint8_t>(c - '0');
  for (int c = 'a'; c <= 'z'; ++c) values[c] = static_cast<std::uint8_t>(c - 'a' + 10);
  for (int c = 'A'; c <= 'Z'; ++c) values[c] = static_cast<std::uint8_t>(c - 'A' + 10);
  return values;
}();

int digit_value(char c) {
  return kDigitValues[static_cast<unsigned char>(c)];
}

bool is_c_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool all_hex_digits(std::string_view text) {
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

constexpr char kHexDigits[] = "0123456789abcdef";

// The low `width` hexadecimal digits of `value`, zero-padded: what to_hex
// followed by pad_hex gives, written without building either text.
void assign_hex(std::string& text, std::uint32_t value, std::size_t width) {
  text.assign(width, '0');
  for (std::size_t i = 0; i < width && i < 8; ++i) {
    text[width - 1 - i] = kHexDigits[(value >> (4 * i)) & 0xF];
  }
}

}  // namespace

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
  // The common case, plain digits that fit in 28 bits, needs neither blank,
  // sign and prefix handling nor clamping.
  if (text.empty() || text.size() > 7) return read_integer(text, 16).value;
  std::int32_t value = 0;
  for (char c : text) {
    const int digit = digit_value(c);
    if (digit >= 16) return read_integer(text, 16).value;
    value = value * 16 + digit;
  }
  return value;
}

std::string to_hex(std::uint32_t value) {
  char digits[8];
  std::size_t start = sizeof digits;
  do {
    digits[--start] = kHexDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  return std::string(digits + start, sizeof digits - start);
}

bool check_number(std::string& operand) {
  std::string text = operand;
  collapse_blanks(text);
  if (text.empty()) return false;
  if (text == "$XXXX") return true;

  std::string digits;
  // Looking for the quote first spares the letter-case-blind search in the
  // common case of a text without one.
  const bool quoted =
      text.find('\'') != std::string::npos && find_nocase(text, "H'") != std::string_view::npos;
  if (quoted) {
    if (text.back() == '\'') text.pop_back();
    digits = text.size() > 2 ? text.substr(2) : std::string();
  } else if (text.back() == 'h' || text.back() == 'H') {
    if (text.size() == 1) return false;
    digits = text.substr(0, text.size() - 1);
  } else if (text.front() == '$') {
    digits = text.substr(1);
  } else {
    // Decimal: the whole text must be read. Signed values become their
    // two's complement, as every computed value does.
    const IntegerReading reading = read_integer(text, 10);
    if (reading.consumed == 0 || reading.consumed != text.size()) return false;
    digits = to_hex(static_cast<std::uint32_t>(reading.value));
    pad_hex(digits, 4);
    operand = digits;
    return true;
  }
  // Hexadecimal forms keep their digits as written; only digits may stand
  // there, so no sign, blank or 0x prefix ends up inside the stored text.
  if (!all_hex_digits(digits)) return false;
  pad_hex(digits, 4);
  operand = digits;
  return true;
}

bool is_written_number(std::string_view operand) {
  // Blanks inside a number make it no number at all, so trimming the ends is
  // all the blank handling needed here.
  const std::size_t first = operand.find_first_not_of(' ');
  if (first == std::string_view::npos) return false;
  const std::string_view text = operand.substr(first, operand.find_last_not_of(' ') + 1 - first);
  if (text == "$XXXX") return true;
  const auto hex_digits = [](std::string_view digits) {
    return !digits.empty() && all_hex_digits(digits);
  };
  if (text.size() >= 2 && text.front() == '$') return hex_digits(text.substr(1));
  if (starts_with_nocase(text, "H'")) {
    return text.size() >= 4 && text.back() == '\'' && hex_digits(text.substr(2, text.size() - 3));
  }
  if (text.size() >= 2 && (text.back() == 'h' || text.back() == 'H')) {
    return hex_digits(text.substr(0, text.size() - 1));
  }
  std::string_view decimal = text;
  if (!decimal.empty() && (decimal.front() == '+' || decimal.front() == '-')) {
    decimal.remove_prefix(1);
  }
  return !decimal.empty() &&
         std::all_of(decimal.begin(), decimal.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void pad_hex(std::string& text, std::size_t width) {
  if (text.size() >= width) {
    text.erase(0, text.size() - width);
  } else {
    text.insert(0, width - text.size(), '0');
  }
}

void add_hex(std::string& a, std::string_view b, std::size_t width) {
  const std::uint32_t sum =
      static_cast<std::uint32_t>(hex_value(a)) + static_cast<std::uint32_t>(hex_value(b));
  assign_hex(a, sum, width);
}

std::int64_t hex_difference(std::string_view a, std::string_view b) {
  return std::int64_t{hex_value(a)} - std::int64_t{hex_value(b)};
}

void advance_address(std::string& address, std::string_view code) {
  const auto words = static_cast<std::uint32_t>(code.size() / 4);
  assign_hex(address, static_cast<std::uint32_t>(hex_value(address)) + words, 4);
}

}  // namespace korva
