// The two cores of the mid-range chips. The enhanced one (the PIC12F1 and
// PIC16F1 parts) adds 14 instructions in words the classic set leaves as
// "don't care", so the two sets read some words differently, and the
// notation has forms for the additions. A chip file names its core.
#pragma once

#include <optional>
#include <string_view>

namespace korva {

enum class CoreFamily : unsigned char { classic, enhanced };

// The family's name in a chip file's ";@core" line and in messages.
constexpr std::string_view core_family_name(CoreFamily family) {
  return family == CoreFamily::enhanced ? "enhanced" : "classic";
}

constexpr std::optional<CoreFamily> core_family_named(std::string_view name) {
  if (name == "enhanced") return CoreFamily::enhanced;
  if (name == "classic") return CoreFamily::classic;
  return std::nullopt;
}

}  // namespace korva
