#include "driver/warning_caps.h"

namespace korva {

std::string_view WarningCaps::kind_of(std::string_view text) {
  return text.substr(0, text.find(' '));
}

bool WarningCaps::admit(std::string_view text) {
  const std::string_view kind = kind_of(text);
  auto counted = counts_.find(kind);
  if (counted == counts_.end()) counted = counts_.emplace(std::string(kind), 0).first;
  return ++counted->second <= kShownPerKind;
}

std::vector<std::string> WarningCaps::summaries() const {
  std::vector<std::string> summaries;
  for (const auto& [kind, count] : counts_) {
    if (count <= kShownPerKind) continue;
    summaries.push_back(std::to_string(count - kShownPerKind) + " more warnings beginning \"" +
                        kind + "\" are not shown");
  }
  return summaries;
}

}  // namespace korva
