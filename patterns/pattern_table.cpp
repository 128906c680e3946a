#include "patterns/pattern_table.h"

#include <algorithm>

namespace korva {

// Only a stored .obj file is read back by key, so the table is searched.
const PatternEntry* pattern_of_key(std::string_view key) {
  const auto found =
      std::find_if(kPatternStore.begin(), kPatternStore.end(),
                   [key](const PatternEntry& entry) { return entry.key.view() == key; });
  return found != kPatternStore.end() ? &*found : nullptr;
}

}  // namespace korva
