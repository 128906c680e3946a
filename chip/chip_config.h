// Configuration words by name: FIELD=SETTING choices turned into the raw
// words of a chip, and the notation lines that put them in a program.
// korva-asm --config prints them; the window's configuration dialog builds
// the same lines from the same functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chip/chip_facts.h"
#include "support/expected.h"

namespace korva {

struct ConfigChoice {
  std::string field;    // as written: "FOSC"
  std::string setting;  // as written: "XT"
};

// "FOSC=XT,WDTE=OFF" as choices, in order; blanks around the pieces are
// left out. A piece without "=", or with an empty side, is a failure.
Expected<std::vector<ConfigChoice>> parse_config_choices(std::string_view text);

// One configuration word with its fields set.
struct ConfiguredWord {
  const ConfigWord* word = nullptr;
  std::uint32_t value = 0;
  struct FieldSetting {
    const ConfigField* field = nullptr;
    // The setting chosen or, for a field left out, the erased one; null for
    // a field left out whose erased bits no setting names.
    const ConfigSetting* setting = nullptr;
    bool chosen = false;
  };
  std::vector<FieldSetting> fields;  // in the word's order
};

// The chip's configuration words with the choices applied; fields left out
// keep their erased bits. An unknown field or setting, or a field chosen
// twice, is a failure whose message lists the valid names.
Expected<std::vector<ConfiguredWord>> configure_chip(const ChipFacts& chip,
                                                     const std::vector<ConfigChoice>& choices);

// The notation lines to put in a program (CP932 is plain ASCII here), each
// ending in CR LF: remarks naming each field's setting, the ORG of the first
// word and the raw words, a new ORG where the words are not adjacent. Every
// line fits the remark and statement fields.
std::string format_config_lines(const ChipFacts& chip, const std::vector<ConfiguredWord>& words);

// The chip's fields and settings with their descriptions, for a reader
// choosing them (korva-asm --config without choices); lines end in "\n".
std::string describe_config_fields(const ChipFacts& chip);

}  // namespace korva
