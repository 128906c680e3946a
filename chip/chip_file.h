// A chip definition file as the tools read it: the facts of its ";@" lines
// (chip/chip_facts.h) and the names of its EQU lines, with the register each
// bit belongs to. The disassembler, the language server's hover and the
// command line's hints all read chip files here.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chip/chip_facts.h"

namespace korva {

struct ChipFile {
  std::string title;  // the first remark line, without its ";"
  // The facts; none for a file without ";@" lines, or when one of them
  // cannot be read, which `facts_error` then tells.
  std::optional<ChipFacts> facts;
  std::string facts_error;
  std::vector<std::string> names;  // every name its EQU lines define, sorted
  // Register names by data address (bank × 80h + register), the first the
  // file defines for an address, from the "Registers, bank" sections.
  std::map<std::uint32_t, std::string> registers;
  // Bit names by register address, then bit number, from the sections
  // headed "NAME bits (NAME EQU $HH)"; and the register of each bit name.
  std::map<std::uint32_t, std::array<std::string, 8>> bits;
  std::map<std::string, std::string, std::less<>> bit_registers;

  // The configuration word at that address; null when there is none.
  const ConfigWord* config_at(std::uint32_t address) const;
};

// Reads a chip file's bytes (CP932 text, CR LF or LF).
ChipFile read_chip_file(std::string_view text);

// The setting that a configuration word's value selects in each of its
// fields, in field order; null where no named setting matches.
struct FieldSetting {
  const ConfigField* field = nullptr;
  const ConfigSetting* setting = nullptr;
};
std::vector<FieldSetting> field_settings(const ConfigWord& config, std::uint32_t word);

}  // namespace korva
