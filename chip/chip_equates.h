// The names a chip file defines, from its "NAME EQU $HH" and "NAME EQU n"
// lines: one reader for the terminal's hints and the disassembler's names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

struct ChipEquate {
  std::string_view name;
  std::uint32_t value = 0;
};

// The line's name and value when it is an EQU line (EQU in either case,
// blanks and tabs around the words), or none.
std::optional<ChipEquate> chip_equate(std::string_view line);

// Every name the file's EQU lines define, sorted.
std::vector<std::string> chip_equate_names(std::string_view file_text);

// A run of up to eight upper-case hexadecimal digits at the start of
// `text`, or none.
std::optional<std::uint32_t> leading_hex(std::string_view text);

// The text without the blanks, tabs and carriage return around it.
std::string_view trimmed_line(std::string_view text);

}  // namespace korva
