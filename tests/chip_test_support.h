// The EQU lines of chip files and of the gputils headers they are made from,
// read without regular expressions: the tests read hundreds of these files,
// and std::regex is slow, the more so under the sanitizers.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "test_support.h"

namespace korva::testing {

// "NAME  EQU  REST" at the start of a line (no blank before NAME): NAME and
// REST; none for any other line.
inline std::optional<std::pair<std::string_view, std::string_view>> equ_line(
    std::string_view line) {
  const auto word_end = [&](std::size_t from) {
    while (from < line.size() &&
           (std::isalnum(static_cast<unsigned char>(line[from])) != 0 || line[from] == '_')) {
      ++from;
    }
    return from;
  };
  const auto blanks_end = [&](std::size_t from) {
    while (from < line.size() && (line[from] == ' ' || line[from] == '\t')) ++from;
    return from;
  };
  const std::size_t name_end = word_end(0);
  if (name_end == 0) return std::nullopt;
  const std::size_t equ = blanks_end(name_end);
  if (equ == name_end || line.substr(equ, 3) != "EQU") return std::nullopt;
  const std::size_t value = blanks_end(equ + 3);
  if (value == equ + 3) return std::nullopt;
  return std::pair{line.substr(0, name_end), line.substr(value)};
}

inline std::optional<std::uint32_t> hex_digits(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(
                             std::isdigit(static_cast<unsigned char>(c)) != 0
                                 ? c - '0'
                                 : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
  }
  return value;
}

inline std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// NAME EQU H'VALUE' of a gputils header, the first value of each name.
inline std::map<std::string, std::uint32_t> gputils_header_values(
    const std::filesystem::path& header) {
  std::map<std::string, std::uint32_t> values;
  const std::string text = read_bytes(header);
  for (const std::string_view line : lines_of(text)) {
    const auto equ = equ_line(line);
    if (!equ || !equ->second.starts_with("H'")) continue;
    const std::size_t close = equ->second.find('\'', 2);
    if (close == std::string_view::npos) continue;
    if (const auto value = hex_digits(equ->second.substr(2, close - 2))) {
      values.emplace(std::string(equ->first), *value);
    }
  }
  return values;
}

// NAME EQU $HEX or NAME EQU DECIMAL of a chip file, in file order.
inline std::vector<std::pair<std::string, std::uint32_t>> chip_file_definitions(
    const std::filesystem::path& file) {
  std::vector<std::pair<std::string, std::uint32_t>> definitions;
  const std::string text = read_bytes(file);
  for (const std::string_view line : lines_of(text)) {
    const auto equ = equ_line(line);
    if (!equ) continue;
    std::optional<std::uint32_t> value;
    if (equ->second.starts_with('$')) {
      value = hex_digits(equ->second.substr(1));
    } else if (!equ->second.empty() &&
               equ->second.find_first_not_of("0123456789") == std::string_view::npos) {
      value = static_cast<std::uint32_t>(std::stoul(std::string(equ->second)));
    }
    if (value) definitions.emplace_back(std::string(equ->first), *value);
  }
  return definitions;
}

}  // namespace korva::testing
