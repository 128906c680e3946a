// Names a 14-bit program word by the mid-range instruction it encodes, for
// diagnostics that say what a word turned into.
#pragma once

#include <cstdint>
#include <string_view>

namespace korva {

// The base word of CALL, which pass 2 gives a subroutine call statement and
// pass 3 completes with the subroutine's address.
inline constexpr std::uint16_t kCallWord = 0x2000;

// The mnemonic of the instruction that `word` encodes ("ADDLW", "GOTO", ...),
// or "no instruction" for a value that is not a 14-bit instruction word.
std::string_view instruction_name(std::uint32_t word);

}  // namespace korva
