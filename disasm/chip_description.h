// What the disassembler reads from a chip definition file (chips/NAME.inc):
// the register and bit names, the memory map and the settings of the
// configuration word fields, all from the file's EQU lines and its
// section remarks.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "disasm/memory_image.h"

namespace korva {

// One setting of a configuration field: the whole word with the field set
// and every other bit 1, and the setting's first name.
struct ConfigSetting {
  std::uint16_t word = 0x3FFF;
  std::string name;
};

struct ConfigField {
  std::string name;
  std::vector<ConfigSetting> settings;
  // The bits of the word that the field's settings tell apart.
  std::uint16_t mask() const;
};

struct ChipDescription {
  MemoryMap memory;
  // Register names by data address (bank × 80h + register), the first the
  // file defines for an address.
  std::map<std::uint32_t, std::string> registers;
  // Bit names by register address, then bit number.
  std::map<std::uint32_t, std::array<std::string, 8>> bits;
  // Every name the file defines, so that made-up names keep clear of them.
  std::vector<std::string> names;
  // Configuration fields by configuration word address.
  std::map<std::uint32_t, std::vector<ConfigField>> config;

  // The names of the settings that `word` at `address` has, one per field.
  std::vector<std::string> config_settings(std::uint32_t address, std::uint16_t word) const;
};

// Reads a chip file's bytes (CP932 text, CR LF or LF). `chip` is its name.
ChipDescription read_chip_description(std::string_view chip, std::string_view text);

}  // namespace korva
