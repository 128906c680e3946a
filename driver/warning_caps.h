// Warnings of one kind beyond a cap are counted, not listed: a long program
// outgrowing a code page would otherwise bury everything else.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

class WarningCaps {
 public:
  static constexpr std::size_t kShownPerKind = 100;

  // A warning's kind: the first word of its text ("jump", "literal", ...).
  static std::string_view kind_of(std::string_view text);

  // Counts the warning; whether it is still within its kind's cap.
  bool admit(std::string_view text);
  // For each kind beyond its cap, the warning telling how many were left
  // out, in the order of the kinds' names.
  std::vector<std::string> summaries() const;

 private:
  std::map<std::string, std::size_t, std::less<>> counts_;
};

}  // namespace korva
