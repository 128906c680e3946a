#include "patterns/pattern_table.h"

#include <array>

namespace korva {

bool next_pattern(std::string_view& working, PatternEntry& entry) {
  const std::size_t comma = working.find(',');
  if (comma == std::string_view::npos) return false;
  const std::string_view text = working.substr(0, comma);
  working.remove_prefix(comma + 1);

  entry = PatternEntry{};
  entry.key = text.substr(0, kPatternKeySize);
  std::string_view pattern = text.substr(std::min(kPatternKeySize, text.size()));
  if (!pattern.empty() && pattern.front() == '@') {
    entry.leading = true;
    pattern.remove_prefix(1);
  }
  const std::size_t place = pattern.find('@');
  if (place == std::string_view::npos) {
    entry.first_piece = pattern;
    return true;
  }
  entry.middle = true;
  entry.first_piece = pattern.substr(0, place);
  std::string_view rest = pattern.substr(place + 1);
  if (!rest.empty() && rest.back() == '@') {
    entry.trailing = true;
    rest.remove_suffix(1);
  }
  entry.second_piece = rest;
  return true;
}

std::span<const PatternEntry> pattern_entries() {
  static const std::array<PatternEntry, kPatternCount> entries = [] {
    std::array<PatternEntry, kPatternCount> cut{};
    std::string_view working = kPatternTable;
    for (PatternEntry& entry : cut) next_pattern(working, entry);
    return cut;
  }();
  return entries;
}

}  // namespace korva
