#include "patterns/pattern_table.h"

#include <cstdint>

namespace korva {
namespace {

// Keys are looked up for every record in several places, so they are found
// through a small open-addressing table filled when the program is compiled.
constexpr std::size_t kKeySlots = 128;

constexpr std::size_t key_slot(std::string_view key) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (const char c : key) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3u;
  }
  return static_cast<std::size_t>(hash >> 57) & (kKeySlots - 1);
}

// Each slot holds the index of the first entry with a key, or nothing.
constexpr std::array<std::optional<std::uint8_t>, kKeySlots> kEntryOfSlot = [] {
  std::array<std::optional<std::uint8_t>, kKeySlots> slots{};
  for (std::size_t i = 0; i < kPatternCount; ++i) {
    const std::string_view key = kPatterns[i].key.view();
    std::size_t at = key_slot(key);
    while (slots[at] && kPatterns[*slots[at]].key.view() != key) at = (at + 1) & (kKeySlots - 1);
    if (!slots[at]) slots[at] = static_cast<std::uint8_t>(i);
  }
  return slots;
}();

}  // namespace

const PatternEntry* pattern_of_key(std::string_view key) {
  if (key.size() != kPatternKeySize) return nullptr;
  for (std::size_t at = key_slot(key);; at = (at + 1) & (kKeySlots - 1)) {
    const std::optional<std::uint8_t> entry = kEntryOfSlot[at];
    if (!entry) return nullptr;
    if (kPatterns[*entry].key.view() == key) return &kPatterns[*entry];
  }
}

}  // namespace korva
