// A program checked against the chip its sources define (chip_facts.h):
// words where the chip has no program memory, reservations outside its
// general purpose registers, configuration words that clear bits no setting
// clears, and a program without a configuration word. Each finding is a
// warning text; the words themselves are never changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chip/chip_facts.h"

namespace korva {

class ChipChecks {
 public:
  explicit ChipChecks(ChipFacts chip) : chip_(std::move(chip)) {}

  const ChipFacts& chip() const { return chip_; }

  // Pass 2: a reservation of `bytes` bytes from `first`; the warning when
  // some of them are no general purpose register, empty otherwise.
  std::string reservation(std::uint32_t first, std::uint32_t bytes) const;

  // Pass 3: the words of one record (`code`, four hex digits a word) from
  // program address `address`. Returns the warning of a configuration word
  // with bits that no setting clears, empty otherwise; counts the words
  // beyond the program memory, true for the record with the first of them.
  struct WordsFound {
    std::string config_warning;
    bool first_beyond = false;
  };
  WordsFound words(std::uint32_t address, std::string_view code);

  // After pass 3: the summary of the words beyond the program memory, and
  // the warning of a program without any configuration word; empty when
  // there is nothing to say.
  std::string beyond_summary() const;
  std::string missing_config() const;

 private:
  ChipFacts chip_;
  std::size_t words_beyond_ = 0;
  std::optional<std::uint32_t> first_beyond_;
  bool config_written_ = false;
};

// "12, 5-4": the bit numbers of a mask, highest first, runs joined.
std::string bit_list(std::uint32_t mask);

}  // namespace korva
