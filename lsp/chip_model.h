// What hover tells about a chip definition file beyond the EQU values, over
// the one chip-file model (chip/chip_file.h): whether a value is a register
// address, and the settings a configuration word holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chip/chip_file.h"

namespace korva::lsp {

// Whether a value defined in the chip file is a data memory address.
bool is_register_address(const ChipFile& chip, std::uint32_t value);

// The setting of each field that `word` selects, one line each:
// "FOSC=XT (XT oscillator)".
std::vector<std::string> describe_config(const ConfigWord& config, std::uint32_t word);

}  // namespace korva::lsp
