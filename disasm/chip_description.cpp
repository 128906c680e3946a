#include "disasm/chip_description.h"

#include <algorithm>
#include <cstddef>

namespace korva {

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// A run of hexadecimal digits at the start of `text`, or none.
std::optional<std::uint32_t> leading_hex(std::string_view text, std::size_t* used = nullptr) {
  std::uint32_t value = 0;
  std::size_t i = 0;
  for (; i < text.size() && i < 8; ++i) {
    const char c = text[i];
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    value = value << 4 | digit;
  }
  if (used != nullptr) *used = i;
  if (i == 0) return std::nullopt;
  return value;
}

std::optional<std::uint32_t> number_after(std::string_view text, std::string_view marker) {
  const std::size_t at = text.find(marker);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = text.substr(at + marker.size());
  std::uint32_t value = 0;
  std::size_t i = 0;
  for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) {
    value = value * 10 + static_cast<std::uint32_t>(rest[i] - '0');
  }
  if (i == 0) return std::nullopt;
  return value;
}

// "NAME EQU $HH" or "NAME EQU n": the name and the value.
struct Equate {
  std::string_view name;
  std::uint32_t value = 0;
};

std::optional<Equate> equate(std::string_view line) {
  const std::size_t blank = line.find(' ');
  if (blank == std::string_view::npos || line.empty() || line.front() == ';') return std::nullopt;
  std::string_view rest = trimmed(line.substr(blank));
  if (!rest.starts_with("EQU ")) return std::nullopt;
  rest = trimmed(rest.substr(4));
  Equate found{line.substr(0, blank), 0};
  if (rest.starts_with('$')) {
    const std::optional<std::uint32_t> value = leading_hex(rest.substr(1));
    if (!value) return std::nullopt;
    found.value = *value;
    return found;
  }
  const std::optional<std::uint32_t> value = number_after(rest, "");
  if (!value) return std::nullopt;
  found.value = *value;
  return found;
}

enum class Section { other, registers, bits, config };

class ChipFileReader {
 public:
  explicit ChipFileReader(std::string_view chip) { description_.memory.chip = chip; }

  void line(std::string_view text) {
    text = trimmed(text);
    if (text.starts_with(";-----")) return heading(text);
    if (text.starts_with(';')) return remark(trimmed(text.substr(1)));
    const std::optional<Equate> found = equate(text);
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
    } else if (text.find("CONFIG") != std::string_view::npos) {
      const std::size_t place = text.find(" at ");
      if (place == std::string_view::npos) return;
      if (const auto address = leading_hex(text.substr(place + 4))) {
        section_ = Section::config;
        config_address_ = *address;
        description_.config[config_address_];
      }
    }
  }

  void remark(std::string_view text) {
    if (memory_line(text)) return;
    if (section_ != Section::config) return;
    std::vector<ConfigField>& fields = description_.config[config_address_];
    const std::size_t comma = text.find(", bit");
    if (comma != std::string_view::npos && text.back() == ':' && text.find(' ') == comma + 1) {
      fields.push_back(ConfigField{std::string(text.substr(0, comma)), {}});
      return;
    }
    std::size_t used = 0;
    const std::optional<std::uint32_t> word = leading_hex(text, &used);
    if (!word || used != 4 || fields.empty() || text.size() < 6 || text[4] != ' ' ||
        text[5] != '_') {
      return;
    }
    std::string_view name = text.substr(5);
    name = name.substr(0, name.find(' '));
    fields.back().settings.push_back(
        ConfigSetting{static_cast<std::uint16_t>(*word), std::string(name)});
  }

  // The memory lines at the head of the file.
  bool memory_line(std::string_view text) {
    MemoryMap& memory = description_.memory;
    if (text.starts_with("Program memory:")) {
      if (const auto words = number_after(text, "memory: ")) memory.program = {0, *words};
      return true;
    }
    if (text.starts_with("Data EEPROM:")) {
      const auto bytes = number_after(text, "EEPROM: ");
      if (bytes) memory.eeprom = {0x2100, 0x2100 + *bytes};
      saw_eeprom_ = true;
      return true;
    }
    if (text.starts_with("Configuration word")) {
      const std::size_t colon = text.find(": ");
      std::string_view list = colon == std::string_view::npos ? "" : text.substr(colon + 2);
      std::uint32_t first = 0x2007;
      std::uint32_t last = 0x2007;
      bool any = false;
      while (const auto address = leading_hex(list)) {
        if (!any) first = *address;
        last = *address;
        any = true;
        const std::size_t next = list.find(", ");
        if (next == std::string_view::npos) break;
        list.remove_prefix(next + 2);
      }
      if (any) memory.config = {first, last + 1};
      return true;
    }
    return false;
  }

 public:
  bool saw_eeprom() const { return saw_eeprom_; }
  void drop_eeprom() { description_.memory.eeprom = {0x2100, 0x2100}; }

 private:
  ChipDescription description_;
  Section section_ = Section::other;
  std::uint32_t bit_register_ = 0;
  std::uint32_t config_address_ = 0;
  bool saw_eeprom_ = false;
};

}  // namespace

std::uint16_t ConfigField::mask() const {
  unsigned bits = 0;
  for (const ConfigSetting& setting : settings) bits |= ~setting.word & 0x3FFFu;
  return static_cast<std::uint16_t>(bits);
}

std::vector<std::string> ChipDescription::config_settings(std::uint32_t address,
                                                          std::uint16_t word) const {
  std::vector<std::string> found;
  const auto fields = config.find(address);
  if (fields == config.end()) return found;
  for (const ConfigField& field : fields->second) {
    const std::uint16_t mask = field.mask();
    for (const ConfigSetting& setting : field.settings) {
      if ((setting.word & mask) == (word & mask)) {
        found.push_back(setting.name);
        break;
      }
    }
  }
  return found;
}

ChipDescription read_chip_description(std::string_view chip, std::string_view text) {
  ChipFileReader reader(chip);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    reader.line(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  if (!reader.saw_eeprom()) reader.drop_eeprom();
  return reader.finish();
}

}  // namespace korva
