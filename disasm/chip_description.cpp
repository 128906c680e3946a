#include "disasm/chip_description.h"

#include <algorithm>
#include <cstddef>

namespace korva {

namespace {

WordRange word_range(const AddressRange& range) {
  return {range.first, range.last + 1};
}

// The memory map the facts give; what they leave out stays empty.
MemoryMap memory_of(const ChipFacts& facts) {
  MemoryMap memory;
  memory.program = word_range(facts.program);
  memory.id = facts.id ? word_range(*facts.id) : WordRange{0x2000, 0x2000};
  memory.eeprom = facts.eeprom ? word_range(*facts.eeprom) : WordRange{0x2100, 0x2100};
  memory.config = {0x2007, 0x2007};
  for (const ConfigWord& word : facts.config_words) {
    if (memory.config.begin == memory.config.end) {
      memory.config = {word.address, word.address + 1};
      continue;
    }
    memory.config.begin = std::min(memory.config.begin, word.address);
    memory.config.end = std::max(memory.config.end, word.address + 1);
  }
  return memory;
}

}  // namespace

std::vector<std::string> ChipDescription::config_settings(std::uint32_t address,
                                                          std::uint16_t word) const {
  std::vector<std::string> found;
  for (const ConfigWord& config : config_words) {
    if (config.address != address) continue;
    for (const auto& [field, setting] : field_settings(config, word)) {
      if (setting != nullptr) found.push_back(field->name + "=" + setting->name);
    }
  }
  return found;
}

Expected<ChipDescription> read_chip_description(std::string_view chip, std::string_view text) {
  ChipDescription description;
  static_cast<ChipFile&>(description) = read_chip_file(text);
  if (!description.facts_error.empty()) return fail(description.facts_error);
  if (description.facts) {
    description.memory = memory_of(*description.facts);
    description.banks = description.facts->banks;
    description.config_words = description.facts->config_words;
  }
  description.memory.chip = chip;
  return description;
}

}  // namespace korva
