// Records that pass 3 lists without a word to say about them, by the
// distinct record of the store that they repeat. Programs repeat their
// lines: most records are the same register or bit operation, with the
// same label, remark and word, as one listed before. Once one of them has
// been encoded, its repeats are listed from the store's texts and the word
// remembered here, without being read into a record and encoded again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "driver/diagnostic_explainer.h"

namespace korva {

class PlainRecords {
 public:
  // What listing a repeat of the record takes besides its stored texts.
  struct Plain {
    std::string_view code;                     // its word, as the listing shows it
    bool remark_only = false;                  // listed as its remark alone
    bool addressless = false;                  // listed without its address (a remark or a mark)
    bool outside_bank0 = false;                // a register operand beyond bank 0
    std::optional<MacroCallTrail::Mark> mark;  // of a macro's expansion
  };

  // Room for about `distinct` records (the store's distinct records) at
  // once; a record found at the place of another forgets that one.
  explicit PlainRecords(std::size_t distinct);

  // The record kept at `kept` in the store, if it was found plain.
  std::optional<Plain> find(std::uint32_t kept) const {
    const Slot& slot = slots_[index_of(kept)];
    if (slot.kept != kept + 1) return std::nullopt;
    Plain plain{std::string_view(slot.code, slot.code_size), (slot.flags & kRemarkOnly) != 0,
                (slot.flags & kAddressless) != 0, (slot.flags & kOutsideBank0) != 0, std::nullopt};
    if (slot.flags & kMark)
      plain.mark = MacroCallTrail::Mark{(slot.flags & kOpens) != 0, slot.level};
    return plain;
  }
  // Notes the record at `kept` as plain; a word of more than four
  // characters, or a mark of a level beyond 65 535, is not kept.
  void keep(std::uint32_t kept, const Plain& plain);

 private:
  static constexpr std::uint8_t kRemarkOnly = 1;
  static constexpr std::uint8_t kAddressless = 2;
  static constexpr std::uint8_t kOutsideBank0 = 4;
  static constexpr std::uint8_t kMark = 8;
  static constexpr std::uint8_t kOpens = 16;
  struct Slot {
    std::uint32_t kept = 0;  // where the record is kept, plus one; 0: empty
    char code[4] = {};
    std::uint8_t code_size = 0;
    std::uint8_t flags = 0;
    std::uint16_t level = 0;  // of its mark
  };
  std::size_t index_of(std::uint32_t kept) const {
    return static_cast<std::uint32_t>(kept * 0x9E3779B9u) >> shift_;
  }

  std::vector<Slot> slots_;
  unsigned shift_ = 0;
};

}  // namespace korva
