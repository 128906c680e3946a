#include "lsp/chip_model.h"

namespace korva::lsp {
namespace {

constexpr std::uint32_t kBankSize = 0x80;

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
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

// "----- PORTB bits (PORTB EQU $06) ---": PORTB; any other header: none.
std::optional<std::string> bits_header(std::string_view remark) {
  const std::vector<std::string_view> words = words_of(remark.substr(5));
  if (words.size() >= 2 && words[1] == "bits") return std::string(words[0]);
  return std::nullopt;
}

}  // namespace

const ConfigWord* ChipModel::config_at(std::uint32_t address) const {
  if (!facts) return nullptr;
  for (const ConfigWord& word : facts->config_words) {
    if (word.address == address) return &word;
  }
  return nullptr;
}

bool ChipModel::is_register_address(std::uint32_t value) const {
  const std::uint32_t banks = facts ? facts->banks : 4;
  return value < banks * kBankSize;
}

ChipModel read_chip_model(std::string_view text) {
  ChipModel model;
  if (auto facts = read_chip_facts(text)) model.facts = std::move(*facts);
  std::optional<std::string> register_name;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = trim(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.starts_with(';')) {
      const std::string_view remark = trim(line.substr(1));
      if (model.title.empty() && !remark.empty()) model.title = std::string(remark);
      if (remark.starts_with("-----")) register_name = bits_header(remark);
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
    std::string line = field.name + "=";
    const ConfigSetting* selected = field.selected(word);
    if (selected == nullptr) {
      line += "(no named setting)";
    } else {
      line += selected->name;
      if (!selected->description.empty()) line += " (" + selected->description + ")";
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace korva::lsp
