// What the disassembler knows of a chip: the memory map and the
// configuration words from the chip file's ";@" lines (chip/chip_facts.h),
// and the register and bit names from its EQU lines and section headings.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "chip/chip_file.h"
#include "disasm/memory_image.h"
#include "support/expected.h"

namespace korva {

// The chip file as the disassembler reads it: its names (chip/chip_file.h),
// and the memory map, banks and configuration words its facts give.
struct ChipDescription : ChipFile {
  MemoryMap memory;
  std::uint32_t banks = 4;
  std::vector<ConfigWord> config_words;

  // The settings that `word` at `address` has, one per field, as the
  // FIELD=SETTING choices of korva-asm --config ("FOSC=XT").
  std::vector<std::string> config_settings(std::uint32_t address, std::uint16_t word) const;
};

// Reads a chip file's bytes (CP932 text, CR LF or LF). `chip` is its name.
// A file without ";@" lines keeps the memory map of the largest chip; a
// ";@" line that cannot be read is a failure.
Expected<ChipDescription> read_chip_description(std::string_view chip, std::string_view text);

}  // namespace korva
