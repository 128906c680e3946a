#include "lsp/chip_model.h"

namespace korva::lsp {
namespace {

constexpr std::uint32_t kBankSize = 0x80;

}  // namespace

bool is_register_address(const ChipFile& chip, std::uint32_t value) {
  const std::uint32_t banks = chip.facts ? chip.facts->banks : 4;
  return value < banks * kBankSize;
}

std::vector<std::string> describe_config(const ConfigWord& config, std::uint32_t word) {
  std::vector<std::string> lines;
  for (const auto& [field, setting] : field_settings(config, word)) {
    std::string line = field->name + "=";
    if (setting == nullptr) {
      line += "(no named setting)";
    } else {
      line += setting->name;
      if (!setting->description.empty()) line += " (" + setting->description + ")";
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace korva::lsp
