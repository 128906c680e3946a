// The map file (.map): a plain-text account of a program's symbols and of
// the memory it uses, laid out in columns for reading and for scripts. The
// format is described in docs/map-and-debug-files.md.
#pragma once

#include <string>
#include <string_view>

#include "outputs/program_facts.h"

namespace korva {

// Program memory is counted in pages of 2048 words (the reach of a GOTO or
// CALL), data memory in banks of 128 bytes.
inline constexpr std::uint32_t kProgramPageWords = 0x800;
inline constexpr std::uint32_t kDataBankBytes = 0x80;

// The map's text, CP932 bytes with CR LF line ends. `program` names the
// program in the title (the output base name without its folder).
std::string map_file_text(const ProgramFacts& facts, std::string_view program);

}  // namespace korva
