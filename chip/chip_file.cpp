#include "chip/chip_file.h"

#include <algorithm>

#include "chip/chip_equates.h"

namespace korva {
namespace {

enum class Section { other, registers, bits };

// The first word of a text, up to a blank.
std::string_view first_word(std::string_view text) {
  text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
  return text.substr(0, std::min(text.find_first_of(" \t"), text.size()));
}

// The names of the EQU lines: registers under "Registers, bank" headings,
// bits under "NAME bits (NAME EQU $HH)" headings.
class ChipNameReader {
 public:
  explicit ChipNameReader(ChipFile& file) : file_(file) {}

  void line(std::string_view text) {
    text = trimmed_line(text);
    if (text.starts_with(';')) {
      const std::string_view remark = trimmed_line(text.substr(1));
      if (file_.title.empty() && !remark.empty()) file_.title = std::string(remark);
      if (text.starts_with(";-----")) heading(text);
      return;
    }
    const std::optional<ChipEquate> found = chip_equate(text);
    if (!found) return;
    file_.names.emplace_back(found->name);
    if (section_ == Section::registers) {
      file_.registers.try_emplace(found->value, found->name);
    } else if (section_ == Section::bits) {
      file_.bit_registers.emplace(std::string(found->name), bit_register_name_);
      if (found->value < 8) {
        std::string& name = file_.bits[bit_register_][found->value];
        if (name.empty()) name = found->name;
      }
    }
  }

 private:
  void heading(std::string_view text) {
    section_ = Section::other;
    if (text.find("Registers, bank") != std::string_view::npos) {
      section_ = Section::registers;
      return;
    }
    const std::size_t at = text.find(" bits (");
    if (at == std::string_view::npos) return;
    const std::size_t dollar = text.find('$', at);
    if (dollar == std::string_view::npos) return;
    if (const auto address = leading_hex(text.substr(dollar + 1))) {
      section_ = Section::bits;
      bit_register_ = *address;
      bit_register_name_ = std::string(first_word(text.substr(6, at - 6)));
    }
  }

  ChipFile& file_;
  Section section_ = Section::other;
  std::uint32_t bit_register_ = 0;
  std::string bit_register_name_;
};

}  // namespace

const ConfigWord* ChipFile::config_at(std::uint32_t address) const {
  if (!facts) return nullptr;
  for (const ConfigWord& word : facts->config_words) {
    if (word.address == address) return &word;
  }
  return nullptr;
}

ChipFile read_chip_file(std::string_view text) {
  ChipFile file;
  if (Expected<std::optional<ChipFacts>> facts = read_chip_facts(text)) {
    file.facts = std::move(*facts);
  } else {
    file.facts_error = facts.message();
  }
  ChipNameReader reader(file);
  for (std::string_view rest = text; !rest.empty();) {
    const std::size_t end = rest.find('\n');
    reader.line(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  std::sort(file.names.begin(), file.names.end());
  return file;
}

std::vector<FieldSetting> field_settings(const ConfigWord& config, std::uint32_t word) {
  std::vector<FieldSetting> settings;
  for (const ConfigField& field : config.fields) settings.push_back({&field, field.selected(word)});
  return settings;
}

}  // namespace korva
