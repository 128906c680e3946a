// What hover tells about a chip definition file's names beyond the EQU
// values: which register each bit belongs to (from the bits section
// headers), and the chip's facts (memory and configuration words) as the
// assembler reads them from the ";@" lines.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chip/chip_facts.h"

namespace korva::lsp {

struct ChipModel {
  std::string title;                                              // the file's first remark line
  std::map<std::string, std::string, std::less<>> bit_registers;  // bit name -> register
  std::optional<ChipFacts> facts;  // none when the file has no readable ";@" lines

  const ConfigWord* config_at(std::uint32_t address) const;
  // Whether a value defined in the file is a data memory address.
  bool is_register_address(std::uint32_t value) const;
};

// Reads a chip file (CP932; the remarks are ASCII).
ChipModel read_chip_model(std::string_view text);

// The setting of each field that `word` selects, one line each:
// "FOSC=XT (XT oscillator)".
std::vector<std::string> describe_config(const ConfigWord& config, std::uint32_t word);

}  // namespace korva::lsp
