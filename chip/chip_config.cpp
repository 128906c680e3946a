#include "chip/chip_config.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "support/text.h"

namespace korva {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kIndent = "        ";

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string field_names(const ChipFacts& chip) {
  std::string names;
  for (const ConfigWord& word : chip.config_words) {
    for (const ConfigField& field : word.fields) names += (names.empty() ? "" : " ") + field.name;
  }
  return names;
}

std::string setting_names(const ConfigField& field) {
  std::string names;
  for (const ConfigSetting& setting : field.settings) {
    names += (names.empty() ? "" : " ") + setting.name;
  }
  return names;
}

// Sets the field's bits of `value` to those of the setting.
std::uint32_t with_setting(std::uint32_t value, const ConfigField& field,
                           const ConfigSetting& setting) {
  return (value & ~field.mask) | (setting.word & field.mask);
}

}  // namespace

Expected<std::vector<ConfigChoice>> parse_config_choices(std::string_view text) {
  std::vector<ConfigChoice> choices;
  while (!text.empty()) {
    const std::size_t comma = std::min(text.find(','), text.size());
    const std::string_view piece = trimmed(text.substr(0, comma));
    text.remove_prefix(std::min(comma + 1, text.size()));
    const std::size_t equals = piece.find('=');
    const std::string_view field =
        equals == std::string_view::npos ? piece : trimmed(piece.substr(0, equals));
    const std::string_view setting =
        equals == std::string_view::npos ? std::string_view{} : trimmed(piece.substr(equals + 1));
    if (field.empty() || setting.empty()) {
      // Appended piece by piece: GCC 12 sees a false overlap in "'" + piece.
      std::string message = "'";
      message += piece;
      message += "' is no FIELD=SETTING (as FOSC=XT)";
      return fail(std::move(message));
    }
    choices.push_back({std::string(field), std::string(setting)});
  }
  if (choices.empty()) return fail("no FIELD=SETTING given (as FOSC=XT)");
  return choices;
}

Expected<std::vector<ConfiguredWord>> configure_chip(const ChipFacts& chip,
                                                     const std::vector<ConfigChoice>& choices) {
  if (chip.config_words.empty()) return fail("the " + chip.name + " has no configuration word");
  std::vector<ConfiguredWord> words;
  for (const ConfigWord& word : chip.config_words) {
    ConfiguredWord& configured = words.emplace_back();
    configured.word = &word;
    configured.value = word.blank;
    for (const ConfigField& field : word.fields) {
      configured.fields.push_back({&field, field.erased(word.blank), false});
    }
  }
  for (const ConfigChoice& choice : choices) {
    const auto [word, field] = chip.find_field(choice.field);
    if (field == nullptr) {
      return fail("the " + chip.name + " has no configuration field '" + choice.field +
                  "'; its fields: " + field_names(chip));
    }
    const ConfigSetting* setting = field->find(choice.setting);
    if (setting == nullptr) {
      return fail(field->name + " has no setting '" + choice.setting +
                  "'; its settings: " + setting_names(*field));
    }
    for (ConfiguredWord& configured : words) {
      if (configured.word != word) continue;
      for (ConfiguredWord::FieldSetting& entry : configured.fields) {
        if (entry.field != field) continue;
        if (entry.chosen) return fail(field->name + " is chosen twice");
        entry = {field, setting, true};
        configured.value = with_setting(configured.value, *field, *setting);
      }
    }
  }
  return words;
}

std::string format_config_lines(const ChipFacts& chip, const std::vector<ConfiguredWord>& words) {
  std::string out = "; " + chip.name + " configuration, by korva-asm --config";
  out += kLineEnd;
  for (const ConfiguredWord& configured : words) {
    out += "; " + configured.word->name + " at " + hex4(configured.word->address) + " is " +
           hex4(configured.value) + ":";
    out += kLineEnd;
    for (const ConfiguredWord::FieldSetting& entry : configured.fields) {
      out += ";   " + entry.field->name + "=";
      out += entry.setting != nullptr ? entry.setting->name : "(no named setting)";
      if (!entry.chosen) out += " (erased)";
      out += kLineEnd;
    }
  }
  std::optional<std::uint32_t> next;
  for (const ConfiguredWord& configured : words) {
    if (next != configured.word->address) {
      out += std::string(kIndent) + "ORG $" + hex4(configured.word->address);
      out += kLineEnd;
    }
    out += std::string(kIndent) + "\\" + hex4(configured.value);
    out += kLineEnd;
    next = configured.word->address + 1;
  }
  return out;
}

std::string describe_config_fields(const ChipFacts& chip) {
  std::string out;
  for (const ConfigWord& word : chip.config_words) {
    out += word.name + " at " + hex4(word.address) + " (erased " + hex4(word.blank) + ")\n";
    for (const ConfigField& field : word.fields) {
      out += "  " + field.name + " (bits " + hex4(field.mask) + ")\n";
      const ConfigSetting* erased = field.erased(word.blank);
      for (const ConfigSetting& setting : field.settings) {
        std::string line = "    " + setting.name;
        if (&setting == erased) line += " (erased)";
        if (!setting.description.empty()) {
          line.resize(std::max<std::size_t>(line.size() + 1, 28), ' ');
          line += setting.description;
        }
        out += line + "\n";
      }
    }
  }
  return out;
}

}  // namespace korva
