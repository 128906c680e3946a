// The chip options of the batch programs: --list-chips and --chip NAME, with
// their messages on the terminal.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace korva {

// --list-chips: the known chips on standard output, one per line; false,
// with a message on standard error, when no chip folder is found.
bool print_known_chips(const char* argv0);

// --chip NAME: the file of the named chip; empty, with the nearest known
// chips on standard error, when there is none.
std::optional<std::filesystem::path> chip_file_for(const char* argv0, std::string_view chip);

}  // namespace korva
