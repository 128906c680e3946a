#include "driver/warning_caps.h"

namespace korva {

bool WarningCaps::admit(DiagnosticKind kind) {
  return ++counts_[kind] <= kShownPerKind;
}

std::vector<std::string> WarningCaps::summaries() const {
  std::vector<std::string> summaries;
  for (const auto& [kind, count] : counts_) {
    if (count <= kShownPerKind) continue;
    summaries.push_back(std::to_string(count - kShownPerKind) + " more warnings beginning \"" +
                        std::string(warning_word(kind)) + "\" are not shown");
  }
  return summaries;
}

}  // namespace korva
