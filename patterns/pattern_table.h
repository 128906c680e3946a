// The pattern table: the one definition of the statement notation. Each entry
// is a 9-character pattern key (type letter, four opcode digits, four-character
// mnemonic) followed by a pattern text in which "@" marks an operand place.
// The matcher takes the first entry that fits, so the order is part of the
// language.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace korva {

// The 45 entries in table order.
inline constexpr std::array<std::string_view, 45> kPatternTexts = {
    "\\0000    \\@",       "N0F00INC @+1>@(Z)->", "N0A00INC @+1>@",    "N0B00INC @-1>@(Z)->",
    "N0300INC @-1>@",      "N0F00INC @+1(Z)->",   "N0A00INC @+1",      "N0B00INC @-1(Z)->",
    "N0300INC @-1",        "N073EADD W+@>@",      "N0539AND W^@>@",    "N0438OR  WV@>@",
    "N063AXOR W\\@>@",     "N023CSUB @-W>@",      "NFF34RETKRET @>@",  "N0D00RLF <<@<<->@",
    "N0D00RLF <<@<<",      "N0C00RRF >>@>>->@",   "N0C00RRF >>@>>",    "N0900COM /@>@",
    "I0100CLR 00>W",       "N0100CLR 00>@",       "b1000BCF @_BIT@<0", "b1400BSF @_BIT@<1",
    "b1800BTF @_BIT@=0->", "b1C00BTF @_BIT@=1->", "I0008RET RET",      "I0009RETIRETI",
    "I0063SLEPSLEEP",      "I0064CWDTCLRWDT",     "I0000NOP NOP",      "B2800JP  ===->@",
    "E0000EQU EQU@",       "D0000DE  DE @",       "N0000MOV W>@",      "O0000ORG ORG@",
    "N0E00SWP SWAP@>@",    "N0E00SWP SWAP@",      "M0000MEM [@]",      "r0000RAM RAM=@",
    "S0000    SUB @",      "N0830MOV @>@",        "E0000    =@",       "R0000    END MACRO@",
    "I0008RET END SUB",
};

inline constexpr std::size_t kPatternKeySize = 9;
inline constexpr std::size_t kPatternCount = 45;
static_assert(kPatternTexts.size() == kPatternCount, "the notation has 45 forms");

// What an entry's type letter (the key's first character) makes of a
// statement; `none` for an empty key (no entry fitted, or an empty statement).
enum class PatternType : char {
  none = '\0',
  raw_words = '\\',   // \@: program words written in hexadecimal
  register_op = 'N',  // register and literal operations
  bit_op = 'b',       // bit operations
  branch = 'B',       // the jump
  inherent = 'I',     // instructions without operands
  origin = 'O',       // ORG
  constant = 'E',     // EQU and =
  ram_start = 'r',    // RAM=
  reservation = 'M',  // [n]
  data_byte = 'D',    // DE
  subroutine = 'S',   // SUB
  macro_end = 'R',    // the end line of a macro expansion
};

constexpr PatternType pattern_type(std::string_view key) {
  return key.empty() ? PatternType::none : static_cast<PatternType>(key.front());
}

// One entry cut into its parts.
struct PatternEntry {
  std::string_view key;
  bool leading = false;   // an operand place before the first piece
  bool middle = false;    // an operand place after the first piece
  bool trailing = false;  // an operand place after the second piece
  std::string_view first_piece;
  std::string_view second_piece;
};

// Cuts one entry's text into its key, pieces and operand places.
constexpr PatternEntry cut_pattern(std::string_view text) {
  PatternEntry entry;
  entry.key = text.substr(0, kPatternKeySize);
  std::string_view pattern =
      text.substr(text.size() < kPatternKeySize ? text.size() : kPatternKeySize);
  if (!pattern.empty() && pattern.front() == '@') {
    entry.leading = true;
    pattern.remove_prefix(1);
  }
  const std::size_t place = pattern.find('@');
  if (place == std::string_view::npos) {
    entry.first_piece = pattern;
    return entry;
  }
  entry.middle = true;
  entry.first_piece = pattern.substr(0, place);
  std::string_view rest = pattern.substr(place + 1);
  if (!rest.empty() && rest.back() == '@') {
    entry.trailing = true;
    rest.remove_suffix(1);
  }
  entry.second_piece = rest;
  return entry;
}

// All entries, cut when the program is compiled, in table order.
inline constexpr std::array<PatternEntry, kPatternCount> kPatterns = [] {
  std::array<PatternEntry, kPatternCount> cut{};
  for (std::size_t i = 0; i < kPatternCount; ++i) cut[i] = cut_pattern(kPatternTexts[i]);
  return cut;
}();
static_assert(kPatterns[31].first_piece == "===->" && kPatterns[44].first_piece == "END SUB");

inline std::span<const PatternEntry> pattern_entries() {
  return kPatterns;
}

}  // namespace korva
