// What a chip definition file says about its chip in its ";@" remark lines:
// the program memory, the data banks with their general purpose registers,
// the other word ranges, and the configuration words with their fields and
// settings. scripts/generate_chips.py writes the lines; the assembler reads
// them to check a program against its chip and to lay out the map.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/core_family.h"
#include "support/expected.h"

namespace korva {

struct AddressRange {
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  bool contains(std::uint32_t address) const { return address >= first && address <= last; }
  friend bool operator==(const AddressRange&, const AddressRange&) = default;
};

struct ConfigSetting {
  std::string name;         // as "XT"
  std::uint32_t word = 0;   // the whole word with this setting and every other bit blank
  std::string description;  // from the header, may be empty
};

struct ConfigField {
  std::string name;        // as "FOSC"
  std::uint32_t mask = 0;  // the bits the field owns
  std::vector<ConfigSetting> settings;
  // The setting of that name (letter case aside); null when there is none.
  const ConfigSetting* find(std::string_view setting) const;
  // The setting a word holding `value` has (the field's bits as in it); null
  // when no setting matches them.
  const ConfigSetting* selected(std::uint32_t value) const;
  // The setting an erased word has (its bits as in `blank`).
  const ConfigSetting* erased(std::uint32_t blank) const { return selected(blank); }
};

struct ConfigWord {
  std::string name;           // as "CONFIG1"
  std::uint32_t address = 0;  // as 2007
  std::uint32_t blank = 0;    // the value the settings are ANDed from (erased: 3FFF)
  std::vector<ConfigField> fields;
  // The bits that some field owns.
  std::uint32_t field_bits() const;
};

struct ChipFacts {
  std::string name;                       // as "16F877A"
  CoreFamily core = CoreFamily::classic;  // ";@core enhanced" for the PIC12F1/16F1 parts
  AddressRange program;
  std::uint32_t banks = 1;
  std::vector<AddressRange> gpr;  // general purpose registers, every bank
  // The enhanced core's linear data memory: the general purpose registers of
  // every bank in one run from 2000h, which FSR0 and FSR1 reach.
  std::optional<AddressRange> linear;
  std::optional<AddressRange> eeprom;
  std::optional<AddressRange> id;
  std::optional<AddressRange> calibration;
  std::vector<ConfigWord> config_words;
  // The field of that name in any word (letter case aside), with its word;
  // nulls when there is none.
  std::pair<const ConfigWord*, const ConfigField*> find_field(std::string_view field) const;
  // Whether a data address is one of the general purpose registers, by its
  // bank or in the linear data memory.
  bool is_gpr(std::uint32_t address) const;
  // The first word of the configuration space (ID, configuration words,
  // EEPROM), which program memory ends below: 2000, or 8000 on the
  // enhanced core.
  std::uint32_t configuration_space() const {
    return core == CoreFamily::enhanced ? 0x8000 : 0x2000;
  }
};

// The facts of a chip file's ";@" lines; none for a text without a ";@chip"
// line (any other source). A line that cannot be read is a failure naming
// the line.
Expected<std::optional<ChipFacts>> read_chip_facts(std::string_view file_text);

// Whether a text holds a ";@chip" line, the mark of a chip definition file.
bool has_chip_facts(std::string_view file_text);

}  // namespace korva
