// The names a map file (korva-asm --map) gives to addresses, for a
// disassembly of the same program: its subroutines, its labels and its
// data memory reservations.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace korva {

struct SymbolNames {
  std::map<std::uint32_t, std::string> subroutines;   // by program address
  std::map<std::uint32_t, std::string> labels;        // by program address, the first by name
  std::map<std::uint32_t, std::string> reservations;  // by data address
};

// Reads the "Symbols by name" section of a map file's bytes (CP932). Rows
// it cannot read are passed over; a text without the section gives no names.
SymbolNames read_symbol_map(std::string_view map_text);

}  // namespace korva
