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

#include "chip/chip_facts.h"
#include "disasm/memory_image.h"
#include "support/expected.h"

namespace korva {

struct ChipDescription {
  MemoryMap memory;
  std::uint32_t banks = 4;
  // Register names by data address (bank × 80h + register), the first the
  // file defines for an address.
  std::map<std::uint32_t, std::string> registers;
  // Bit names by register address, then bit number.
  std::map<std::uint32_t, std::array<std::string, 8>> bits;
  // Every name the file defines, so that made-up names keep clear of them.
  std::vector<std::string> names;
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
