// What a chip definition file tells beyond its names: which bank each
// register lies in, which register each bit belongs to, and the settings
// of each configuration word, read from the file's section headers and
// remarks. Hover shows it; the assembler itself reads only the EQU lines.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korva::lsp {

struct ConfigSetting {
  std::uint32_t word = 0x3FFF;  // the whole word with the field set
  std::vector<std::string> names;
  std::string description;
};

struct ConfigField {
  std::string name;  // "FOSC, bits 1-0"
  std::vector<ConfigSetting> settings;
  std::uint32_t mask = 0;  // the bits the settings differ in
};

struct ConfigWord {
  std::uint32_t address = 0;
  std::vector<ConfigField> fields;
};

struct ChipModel {
  std::string title;                                              // the file's first remark line
  std::map<std::string, std::string, std::less<>> bit_registers;  // bit name -> register
  std::vector<ConfigWord> config_words;

  const ConfigWord* config_at(std::uint32_t address) const;
};

// Reads the remarks of a chip file (CP932; the remarks are ASCII).
ChipModel read_chip_model(std::string_view text);

// The setting of each field that `word` selects, one line each:
// "FOSC, bits 1-0: _FOSC_XT (XT oscillator)".
std::vector<std::string> describe_config(const ConfigWord& config, std::uint32_t word);

}  // namespace korva::lsp
