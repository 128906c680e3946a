// Macro definitions collected in pass 1: each is a name and the span of its
// body lines in the source text.
#pragma once

#include <bitset>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "support/line_record.h"

namespace korva {

struct MacroDefinition {
  std::string name;
  std::size_t body_start = 0;           // first character of the first body line
  std::optional<std::size_t> body_end;  // just behind the END MACRO line; none while open
};

class MacroTable {
 public:
  static constexpr std::size_t kCapacity = 1000;
  static constexpr std::size_t kNameCapacity = 28;
  static constexpr std::size_t kLongestAcceptedName = 29;
  // Name of the entry that ends the table for lookups.
  static constexpr std::string_view kEndMark = "@@@end@@@";

  void reset();

  // Pass 1: records a definition header ("MACRO " and a name) or closes the
  // open definition (END MACRO). `position` is the source position after the
  // line. Writes a message on a too long name or a full table.
  void collect_macro(LineRecord& record, std::size_t position);

  // The first definition named exactly `name`, searching up to the first
  // entry that carries the end mark. Definitions left open are skipped.
  const MacroDefinition* find(std::string_view name) const;

  const std::vector<MacroDefinition>& entries() const { return entries_; }

 private:
  std::vector<MacroDefinition> entries_;  // the last one is the current entry
  std::size_t definition_count_ = 0;
  // Closed definitions by name, each name with its first entry, and the first
  // closed entry that carries the end mark: together they answer find()
  // exactly as a walk of the table would.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };
  std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> first_by_name_;
  std::size_t first_end_mark_ = static_cast<std::size_t>(-1);
  // The lengths and first bytes of those names: most statements are no
  // macro call, and these rule them out before any hashing.
  std::bitset<kNameCapacity + 1> name_lengths_;
  std::bitset<256> first_bytes_;
};

}  // namespace korva
