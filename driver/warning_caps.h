// Warnings of one kind beyond a cap are counted, not listed: a long program
// outgrowing a code page would otherwise bury everything else.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "driver/diagnostics.h"

namespace korva {

class WarningCaps {
 public:
  static constexpr std::size_t kShownPerKind = 100;

  // Counts a warning of `kind`; whether it is still within its kind's cap.
  bool admit(DiagnosticKind kind);
  // For each kind beyond its cap, the warning telling how many were left
  // out (named by the first word of the kind's texts), in the kinds' order.
  std::vector<std::string> summaries() const;

 private:
  std::map<DiagnosticKind, std::size_t> counts_;
};

}  // namespace korva
