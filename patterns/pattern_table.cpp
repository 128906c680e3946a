#include "patterns/pattern_table.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace korva {
namespace {

// Keys are looked up for every record, so they are found through a small
// open-addressing table filled when the program is compiled. A key is
// compared as its letter and its last eight bytes read as one word.
constexpr std::size_t kKeySlots = 128;

constexpr std::uint64_t key_tail(std::string_view key) {
  if constexpr (std::endian::native == std::endian::little) {
    if (!std::is_constant_evaluated()) {
      std::uint64_t bits = 0;
      std::memcpy(&bits, key.data() + 1, sizeof bits);
      return bits;
    }
  }
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    bits |= std::uint64_t{static_cast<unsigned char>(key[1 + i])} << (8 * i);
  }
  return bits;
}

constexpr std::size_t key_slot(unsigned char letter, std::uint64_t tail) {
  return static_cast<std::size_t>(((tail ^ letter) * 0x9E3779B97F4A7C15u) >> 57) & (kKeySlots - 1);
}

// A slot: the key and the index of the first entry with it, or nothing.
struct KeySlot {
  unsigned char letter = 0;
  std::uint64_t tail = 0;
  std::optional<std::uint8_t> entry;
};

constexpr std::array<KeySlot, kKeySlots> kKeySlotsTable = [] {
  std::array<KeySlot, kKeySlots> slots{};
  for (std::size_t i = 0; i < kPatternCount; ++i) {
    const std::string_view key = kPatterns[i].key.view();
    const auto letter = static_cast<unsigned char>(key[0]);
    const std::uint64_t tail = key_tail(key);
    std::size_t at = key_slot(letter, tail);
    while (slots[at].entry && (slots[at].letter != letter || slots[at].tail != tail)) {
      at = (at + 1) & (kKeySlots - 1);
    }
    if (!slots[at].entry) slots[at] = KeySlot{letter, tail, static_cast<std::uint8_t>(i)};
  }
  return slots;
}();

}  // namespace

const PatternEntry* pattern_of_key(std::string_view key) {
  if (key.size() != kPatternKeySize) return nullptr;
  const auto letter = static_cast<unsigned char>(key[0]);
  const std::uint64_t tail = key_tail(key);
  for (std::size_t at = key_slot(letter, tail);; at = (at + 1) & (kKeySlots - 1)) {
    const KeySlot& slot = kKeySlotsTable[at];
    if (!slot.entry) return nullptr;
    if (slot.letter == letter && slot.tail == tail) return &kPatterns[*slot.entry];
  }
}

}  // namespace korva
