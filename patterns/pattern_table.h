// The pattern table: the one definition of the statement notation. Each entry
// is a 9-character pattern key (type letter, four opcode digits, four-character
// mnemonic) followed by a pattern text in which "@" marks an operand place.
// The matcher takes the first entry that fits, so the order is part of the
// language.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace korva {

// The 45 entries, each followed by a comma.
inline constexpr std::string_view kPatternTable =
    "\\0000    \\@,"
    "N0F00INC @+1>@(Z)->,"
    "N0A00INC @+1>@,"
    "N0B00INC @-1>@(Z)->,"
    "N0300INC @-1>@,"
    "N0F00INC @+1(Z)->,"
    "N0A00INC @+1,"
    "N0B00INC @-1(Z)->,"
    "N0300INC @-1,"
    "N073EADD W+@>@,"
    "N0539AND W^@>@,"
    "N0438OR  WV@>@,"
    "N063AXOR W\\@>@,"
    "N023CSUB @-W>@,"
    "NFF34RETKRET @>@,"
    "N0D00RLF <<@<<->@,"
    "N0D00RLF <<@<<,"
    "N0C00RRF >>@>>->@,"
    "N0C00RRF >>@>>,"
    "N0900COM /@>@,"
    "I0100CLR 00>W,"
    "N0100CLR 00>@,"
    "b1000BCF @_BIT@<0,"
    "b1400BSF @_BIT@<1,"
    "b1800BTF @_BIT@=0->,"
    "b1C00BTF @_BIT@=1->,"
    "I0008RET RET,"
    "I0009RETIRETI,"
    "I0063SLEPSLEEP,"
    "I0064CWDTCLRWDT,"
    "I0000NOP NOP,"
    "B2800JP  ===->@,"
    "E0000EQU EQU@,"
    "D0000DE  DE @,"
    "N0000MOV W>@,"
    "O0000ORG ORG@,"
    "N0E00SWP SWAP@>@,"
    "N0E00SWP SWAP@,"
    "M0000MEM [@],"
    "r0000RAM RAM=@,"
    "S0000    SUB @,"
    "N0830MOV @>@,"
    "E0000    =@,"
    "R0000    END MACRO@,"
    "I0008RET END SUB,";

inline constexpr std::size_t kPatternKeySize = 9;
inline constexpr std::size_t kPatternCount = 45;

// One entry cut into its parts.
struct PatternEntry {
  std::string_view key;
  bool leading = false;   // an operand place before the first piece
  bool middle = false;    // an operand place after the first piece
  bool trailing = false;  // an operand place after the second piece
  std::string_view first_piece;
  std::string_view second_piece;
};

// Cuts the next entry off the front of `working` (a view of the table text
// not yet tried). Returns false when no entry is left ("end data").
bool next_pattern(std::string_view& working, PatternEntry& entry);

// All entries, cut once, in table order.
std::span<const PatternEntry> pattern_entries();

}  // namespace korva
