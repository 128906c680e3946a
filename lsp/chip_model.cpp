#include "lsp/chip_model.h"

#include <charconv>

namespace korva::lsp {
namespace {

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

std::optional<std::uint32_t> hex_number(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return {};
  return value;
}

std::vector<std::string_view> words_of(std::string_view text) {
  std::vector<std::string_view> words;
  while (!(text = trim(text)).empty()) {
    const std::size_t end = std::min(text.find(' '), text.size());
    words.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
  return words;
}

// "----- PORTB bits (PORTB EQU $06) ---": the register; "----- CONFIG at
// 2007 ---": the address (in `config`).
struct SectionHeader {
  std::optional<std::string> bits_of;
  std::optional<std::uint32_t> config;
};

SectionHeader section_header(std::string_view remark) {
  SectionHeader header;
  if (!remark.starts_with("-----")) return header;
  const std::vector<std::string_view> words = words_of(remark.substr(5));
  if (words.size() >= 2 && words[1] == "bits") header.bits_of = std::string(words[0]);
  if (words.size() >= 3 && words[0] == "CONFIG" && words[1] == "at") {
    header.config = hex_number(words[2]);
  }
  return header;
}

}  // namespace

const ConfigWord* ChipModel::config_at(std::uint32_t address) const {
  for (const ConfigWord& word : config_words) {
    if (word.address == address) return &word;
  }
  return nullptr;
}

ChipModel read_chip_model(std::string_view text) {
  ChipModel model;
  std::optional<std::string> register_name;
  ConfigWord* config = nullptr;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = trim(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.starts_with(';')) {
      const std::string_view remark = trim(line.substr(1));
      if (model.title.empty() && !remark.empty()) model.title = std::string(remark);
      const SectionHeader header = section_header(remark);
      if (remark.starts_with("-----")) {
        register_name = header.bits_of;
        config = nullptr;
        if (header.config) {
          model.config_words.push_back(ConfigWord{*header.config, {}});
          config = &model.config_words.back();
        }
        continue;
      }
      if (config == nullptr) continue;
      const std::size_t indent = line.size() - trim(line.substr(1)).size() - 1;
      const std::vector<std::string_view> words = words_of(remark);
      if (words.empty()) continue;
      if (indent == 1 && remark.find(", bit") != std::string_view::npos && remark.ends_with(":")) {
        config->fields.push_back(
            ConfigField{std::string(remark.substr(0, remark.size() - 1)), {}, 0});
      } else if (indent == 3 && !config->fields.empty() && hex_number(words[0]) &&
                 words.size() >= 2 && words[1].starts_with('_')) {
        ConfigSetting setting{*hex_number(words[0]), {}, {}};
        for (std::size_t i = 1; i < words.size(); ++i) setting.names.emplace_back(words[i]);
        ConfigField& field = config->fields.back();
        field.mask |= ~setting.word & 0x3FFF;
        field.settings.push_back(std::move(setting));
      } else if (indent > 3 && !config->fields.empty() && !config->fields.back().settings.empty()) {
        std::string& description = config->fields.back().settings.back().description;
        if (!description.empty()) description += ' ';
        description += remark;
      }
      continue;
    }
    // "NAME EQU VALUE" under a bits header: a bit of that register.
    const std::vector<std::string_view> words = words_of(line);
    if (register_name && words.size() >= 3 && words[1] == "EQU") {
      model.bit_registers.emplace(std::string(words[0]), *register_name);
    }
  }
  return model;
}

std::vector<std::string> describe_config(const ConfigWord& config, std::uint32_t word) {
  std::vector<std::string> lines;
  for (const ConfigField& field : config.fields) {
    const std::uint32_t selected = (word | ~field.mask) & 0x3FFF;
    std::string line = field.name + ": ";
    const ConfigSetting* found = nullptr;
    for (const ConfigSetting& setting : field.settings) {
      if (setting.word == selected) found = &setting;
    }
    if (found == nullptr) {
      line += "no setting of this field";
    } else {
      line += found->names.front();
      if (!found->description.empty()) line += " (" + found->description + ")";
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace korva::lsp
