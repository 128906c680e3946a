// Names a 14-bit program word by the mid-range instruction it encodes, for
// diagnostics that say what a word turned into.
#pragma once

#include <cstdint>
#include <string_view>

namespace korva {

// The mnemonic of the instruction that `word` encodes ("ADDLW", "GOTO", ...),
// or "no instruction" for a value that is not a 14-bit instruction word.
std::string_view instruction_name(std::uint32_t word);

}  // namespace korva
