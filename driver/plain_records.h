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
    std::string_view code;                     // its word as the listing shows it, or none
    bool remark_only = false;                  // listed as its remark alone
    bool addressless = false;                  // listed without its address (a remark or a mark)
    bool outside_bank0 = false;                // a register operand beyond bank 0
    std::optional<MacroCallTrail::Mark> mark;  // of a macro's expansion
  };

  // Room for about `distinct` records (the store's distinct records) at
  // once; a record found at the place of another forgets that one.
  explicit PlainRecords(std::size_t distinct);

  // The record kept at `kept` in the store, if it was found plain. The
  // code lives in this table until the next call.
  std::optional<Plain> find(std::uint32_t kept);
  // Notes the record at `kept` as plain. Only a word of four upper-case hex
  // digits or none, and a mark of a level up to 255, are kept.
  void keep(std::uint32_t kept, const Plain& plain);

 private:
  enum Flag : std::uint8_t {
    kRemarkOnly = 1,
    kAddressless = 2,
    kOutsideBank0 = 4,
    kMark = 8,
    kOpens = 16,
    kWord = 32,
  };
  struct Slot {
    std::uint32_t kept = 0;  // where the record is kept, plus one; 0: empty
    std::uint16_t word = 0;
    std::uint8_t flags = 0;
    std::uint8_t level = 0;  // of its mark
  };
  std::size_t index_of(std::uint32_t kept) const {
    return static_cast<std::uint32_t>(kept * 0x9E3779B9u) >> shift_;
  }

  std::vector<Slot> slots_;
  unsigned shift_ = 0;
  char code_[4] = {};
};

}  // namespace korva
