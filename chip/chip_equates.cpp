#include "chip/chip_equates.h"

#include <algorithm>

namespace korva {

std::string_view trimmed_line(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

std::optional<std::uint32_t> leading_hex(std::string_view text) {
  std::uint32_t value = 0;
  std::size_t i = 0;
  for (; i < text.size() && i < 8; ++i) {
    const char c = text[i];
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    value = value << 4 | digit;
  }
  if (i == 0) return std::nullopt;
  return value;
}

namespace {

// A run of decimal digits at the start of `text`, or none.
std::optional<std::uint32_t> leading_decimal(std::string_view text) {
  std::uint32_t value = 0;
  std::size_t i = 0;
  for (; i < text.size() && i < 9 && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
  }
  if (i == 0) return std::nullopt;
  return value;
}

// "EQU" in either case: hand-written chip files use both.
bool is_equ(std::string_view word) {
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  return upper(word[0]) == 'E' && upper(word[1]) == 'Q' && upper(word[2]) == 'U';
}

}  // namespace

std::optional<ChipEquate> chip_equate(std::string_view line) {
  line = trimmed_line(line);
  const std::size_t blank = line.find_first_of(" \t");
  if (blank == std::string_view::npos || line.front() == ';') return std::nullopt;
  std::string_view rest = trimmed_line(line.substr(blank));
  if (rest.size() < 4 || !is_equ(rest.substr(0, 3)) || (rest[3] != ' ' && rest[3] != '\t')) {
    return std::nullopt;
  }
  rest = trimmed_line(rest.substr(4));
  const std::optional<std::uint32_t> value =
      rest.starts_with('$') ? leading_hex(rest.substr(1)) : leading_decimal(rest);
  if (!value) return std::nullopt;
  return ChipEquate{line.substr(0, blank), *value};
}

std::vector<std::string> chip_equate_names(std::string_view file_text) {
  std::vector<std::string> names;
  for (std::string_view rest = file_text; !rest.empty();) {
    const std::size_t end = rest.find('\n');
    if (const std::optional<ChipEquate> found = chip_equate(rest.substr(0, end))) {
      names.emplace_back(found->name);
    }
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace korva
