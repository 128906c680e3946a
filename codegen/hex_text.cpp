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

bool all_hex_digits(std::string_view text) {
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// How check_number reads an operand whose blanks are collapsed.
struct NumberReading {
  enum class Form {
    none,       // not a number
    unchanged,  // "$XXXX", a number that stays as written
    digits,     // hexadecimal digits, as written
    decimal,    // a decimal value, two's complement
  };
  Form form = Form::none;
  std::string_view digits;
  std::uint32_t value = 0;
};

NumberReading read_number(std::string_view text) {
  using Form = NumberReading::Form;
  if (text.empty()) return {};
  if (text == "$XXXX") return {Form::unchanged, {}, 0};
  std::string_view digits;
  // Looking for the quote first spares the letter-case-blind search in the
  // common case of a text without one.
  const bool quoted = std::find(text.begin(), text.end(), '\'') != text.end() &&
                      find_nocase(text, "H'") != std::string_view::npos;
  if (quoted) {
    if (text.back() == '\'') text.remove_suffix(1);
    digits = text.size() > 2 ? text.substr(2) : std::string_view();
  } else if (text.back() == 'h' || text.back() == 'H') {
    if (text.size() == 1) return {};
    digits = text.substr(0, text.size() - 1);
  } else if (text.front() == '$') {
    digits = text.substr(1);
  } else {
    // Decimal: the whole text must be read. Signed values become their
    // two's complement, as every computed value does. A text that starts
    // with none of what the reading skips or reads (a name) is no number.
    const char first = text.front();
    if (digit_value(first) >= 10 && first != '+' && first != '-' && !is_c_space(first)) return {};
    const IntegerReading reading = read_integer(text, 10);
    if (reading.consumed == 0 || reading.consumed != text.size()) return {};
    return {Form::decimal, {}, static_cast<std::uint32_t>(reading.value)};
  }
  // Hexadecimal forms keep their digits as written; only digits may stand
  // there, so no sign, blank or 0x prefix ends up inside the stored text.
  if (!all_hex_digits(digits)) return {};
  return {Form::digits, digits, 0};
}

// The operand as collapse_blanks leaves it: a view of the operand itself
// when that is only a matter of its ends, else a collapsed copy in `copy`.
std::string_view collapsed_text(std::string_view operand, std::string& copy) {
  const char* first = operand.data();
  const char* last = first + operand.size();
  while (first != last && *first == ' ') ++first;
  while (last != first && last[-1] == ' ') --last;
  for (const char* c = first; c + 1 < last; ++c) {
    if (c[0] == ' ' && c[1] == ' ') {
      copy = operand;
      collapse_blanks(copy);
      return copy;
    }
  }
  return std::string_view(first, static_cast<std::size_t>(last - first));
}

// Whether a text without blanks at its ends can be a number: only with a
// quote (H'..'), an h at its end, or a start that the forms allow ($, a
// digit, a sign, white space). Names, the common case of a term, fail here
// before any reading.
bool may_be_number(std::string_view text) {
  const char first = text.front();
  const char last = text.back();
  return digit_value(first) < 10 || first == '$' || first == '+' || first == '-' ||
         is_c_space(first) || last == 'h' || last == 'H' ||
         std::find(text.begin(), text.end(), '\'') != text.end();
}

}  // namespace

std::string to_hex(std::uint32_t value) {
  char digits[8];
  std::size_t start = sizeof digits;
  do {
    digits[--start] = kLowerHexDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  return std::string(digits + start, sizeof digits - start);
}

NumberCheck read_number_text(std::string_view operand) {
  std::string copy;
  const NumberReading reading = read_number(collapsed_text(operand, copy));
  NumberCheck check;
  switch (reading.form) {
    case NumberReading::Form::none:
      break;
    case NumberReading::Form::unchanged:
      check.is_number = true;
      break;
    case NumberReading::Form::digits: {
      // The digits brought to four: zero-padded, or cut to the last four.
      const std::string_view digits = reading.digits;
      const std::size_t kept = std::min<std::size_t>(digits.size(), 4);
      std::fill_n(check.digits, 4, '0');
      digits.substr(digits.size() - kept).copy(check.digits + 4 - kept, kept);
      for (const char c : std::string_view(check.digits, 4)) {
        check.value = check.value * 16 + static_cast<std::uint32_t>(digit_value(c));
      }
      check.is_number = check.rewritten = true;
      break;
    }
    case NumberReading::Form::decimal: {
      char digits[8];
      format_hex(reading.value, 4, digits).copy(check.digits, 4);
      check.value = reading.value & 0xFFFF;
      check.is_number = check.rewritten = true;
      break;
    }
  }
  return check;
}

std::optional<std::uint32_t> number_value(std::string_view operand) {
  // Collapsing blanks leaves the first and last character of such a text.
  if (!operand.empty() && operand.front() != ' ' && operand.back() != ' ' &&
      !may_be_number(operand)) {
    return std::nullopt;
  }
  std::string copy;
  const NumberReading reading = read_number(collapsed_text(operand, copy));
  switch (reading.form) {
    case NumberReading::Form::none:
      return std::nullopt;
    case NumberReading::Form::unchanged:
      return 0;
    case NumberReading::Form::digits: {
      const std::string_view digits = reading.digits;
      std::uint32_t value = 0;
      for (const char c : digits.substr(digits.size() - std::min<std::size_t>(digits.size(), 4))) {
        value = value * 16 + static_cast<std::uint32_t>(digit_value(c));
      }
      return value;
    }
    case NumberReading::Form::decimal:
      return reading.value & 0xFFFF;
  }
  return std::nullopt;
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

}  // namespace korva
