#include "chip/chip_checks.h"

#include <cstdio>
#include <utility>

namespace korva {

namespace {

// The top of the program address space: above it lie the ID, configuration
// and EEPROM words, which have checks of their own.
constexpr std::uint32_t kWordBits = 14;

std::string hex(std::uint32_t value, int digits = 4) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
  return text;
}

std::string gpr_list(const ChipFacts& chip) {
  std::string list;
  for (const AddressRange& range : chip.gpr) {
    if (!list.empty()) list += ' ';
    list += hex(range.first, 3) + "-" + hex(range.last, 3);
  }
  if (chip.linear) list += ", linear " + hex(chip.linear->first) + "-" + hex(chip.linear->last);
  return list;
}

std::optional<std::uint32_t> word_at(std::string_view code, std::size_t index) {
  std::uint32_t value = 0;
  for (const char c : code.substr(4 * index, 4)) {
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                             : -1;
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

}  // namespace

std::string bit_list(std::uint32_t mask) {
  std::string text;
  for (int bit = kWordBits - 1; bit >= 0;) {
    if ((mask >> bit & 1) == 0) {
      --bit;
      continue;
    }
    int low = bit;
    while (low > 0 && (mask >> (low - 1) & 1) != 0) --low;
    if (!text.empty()) text += ", ";
    text += std::to_string(bit);
    if (low != bit) {
      // Piece by piece: GCC 12 sees a false overlap in "-" + text.
      text += '-';
      text += std::to_string(low);
    }
    bit = low - 1;
  }
  return text;
}

std::string ChipChecks::reservation(std::uint32_t first, std::uint32_t bytes) const {
  if (bytes == 0) return {};
  for (std::uint32_t address = first; address < first + bytes; ++address) {
    if (chip_.is_gpr(address)) continue;
    std::string text = "reservation " + hex(first, 3);
    if (bytes > 1) {
      text += '-';
      text += hex(first + bytes - 1, 3);
    }
    text += bytes > 1 ? " reaches " : " is ";
    text += hex(address, 3) + ", outside the general purpose registers of the " + chip_.name +
            " (" + gpr_list(chip_) + ")";
    return text;
  }
  return {};
}

ChipChecks::WordsFound ChipChecks::words(std::uint32_t address, std::string_view code) {
  WordsFound found;
  const std::size_t count = code.size() / 4;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t at = address + static_cast<std::uint32_t>(i);
    if (at > chip_.program.last && at < chip_.configuration_space()) {
      if (words_beyond_++ == 0) {
        first_beyond_ = at;
        found.first_beyond = true;
      }
    }
    for (const ConfigWord& word : chip_.config_words) {
      if (word.address != at) continue;
      config_written_ = true;
      const std::optional<std::uint32_t> value = word_at(code, i);
      if (!value) continue;
      const std::uint32_t stray = ~*value & word.blank & ~word.field_bits();
      if (stray == 0 || !found.config_warning.empty()) continue;
      found.config_warning = "configuration word " + hex(*value) + " at " + hex(at) +
                             " clears bit" + (stray & (stray - 1) ? "s " : " ") + bit_list(stray) +
                             ", which no setting of the " + chip_.name + "'s " + word.name +
                             " clears; " + hex(*value | stray) + " keeps them 1";
    }
  }
  return found;
}

std::string ChipChecks::beyond_summary() const {
  if (words_beyond_ == 0) return {};
  return "program memory of the " + chip_.name + " ends at " + hex(chip_.program.last) + ": " +
         std::to_string(words_beyond_) + (words_beyond_ == 1 ? " word lies" : " words lie") +
         " beyond it, the first at " + hex(*first_beyond_);
}

std::string ChipChecks::missing_config() const {
  if (config_written_ || chip_.config_words.empty()) return {};
  return "no configuration word: the " + chip_.name + " reads it at " +
         hex(chip_.config_words.front().address) + " (korva-asm --chip " + chip_.name +
         " --config FIELD=SETTING,... writes the lines)";
}

}  // namespace korva
