#include "disasm/chip_description.h"

#include <algorithm>
#include <cstddef>

#include "chip/chip_equates.h"

namespace korva {

namespace {

enum class Section { other, registers, bits };

// The names of the EQU lines: registers under "Registers, bank" headings,
// bits under "NAME bits (NAME EQU $HH)" headings.
class ChipNameReader {
 public:
  void line(std::string_view text) {
    text = trimmed_line(text);
    if (text.starts_with(";-----")) return heading(text);
    const std::optional<ChipEquate> found = chip_equate(text);
    if (!found) return;
    description_.names.emplace_back(found->name);
    if (section_ == Section::registers) {
      description_.registers.try_emplace(found->value, found->name);
    } else if (section_ == Section::bits && found->value < 8) {
      std::string& name = description_.bits[bit_register_][found->value];
      if (name.empty()) name = found->name;
    }
  }

  ChipDescription finish() {
    std::sort(description_.names.begin(), description_.names.end());
    return std::move(description_);
  }

 private:
  void heading(std::string_view text) {
    section_ = Section::other;
    if (text.find("Registers, bank") != std::string_view::npos) {
      section_ = Section::registers;
    } else if (const std::size_t at = text.find(" bits ("); at != std::string_view::npos) {
      const std::size_t dollar = text.find('$', at);
      if (dollar == std::string_view::npos) return;
      if (const auto address = leading_hex(text.substr(dollar + 1))) {
        section_ = Section::bits;
        bit_register_ = *address;
      }
    }
  }

  ChipDescription description_;
  Section section_ = Section::other;
  std::uint32_t bit_register_ = 0;
};

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
    for (const ConfigField& field : config.fields) {
      for (const ConfigSetting& setting : field.settings) {
        if ((setting.word & field.mask) == (word & field.mask)) {
          found.push_back(field.name + "=" + setting.name);
          break;
        }
      }
    }
  }
  return found;
}

Expected<ChipDescription> read_chip_description(std::string_view chip, std::string_view text) {
  Expected<std::optional<ChipFacts>> facts = read_chip_facts(text);
  if (!facts) return facts.failure();
  ChipNameReader reader;
  for (std::string_view rest = text; !rest.empty();) {
    const std::size_t end = rest.find('\n');
    reader.line(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  ChipDescription description = reader.finish();
  if (*facts) {
    description.memory = memory_of(**facts);
    description.banks = (*facts)->banks;
    description.config_words = std::move((*facts)->config_words);
  }
  description.memory.chip = chip;
  return description;
}

}  // namespace korva
