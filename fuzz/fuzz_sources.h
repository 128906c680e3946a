// How the assembly fuzz targets turn one input into a project's sources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "driver/assembly_service.h"

namespace korva::fuzzing {

// The bound on the lines of macro expansion for a fuzz input. Macros that
// call each other nest ten levels deep, so a few hundred bytes can ask for
// the million lines that a program may expand to; those lines repeat the
// same few statements, and making them (and a diagnostic with its notes for
// each) would spend nearly all of a run on work that reaches no new code.
// A hundred lines still hold the deepest nesting and every kind of line;
// the inputs that run into the bound were most of the time spent, at a
// thousand lines ten times as long. The bound's own path, "Macro Size
// Error", is reached all the same.
inline constexpr std::size_t kMacroLineLimit = 100;

// Cuts the input at each byte 0x01 into up to eight sources, so that
// joining, sources without a final line end and empty sources are exercised
// too; false when a source holds a zero byte, which is refused as its file
// would be.
inline bool cut_into_sources(std::string_view input, SourceSet& sources) {
  constexpr std::size_t kMaxFiles = 8;
  std::size_t start = 0;
  while (sources.names.size() < kMaxFiles) {
    const std::size_t cut = input.find('\x01', start);
    const std::string_view text =
        input.substr(start, cut == std::string_view::npos ? std::string_view::npos : cut - start);
    if (!sources.add("f" + std::to_string(sources.names.size()) + ".as", text)) return false;
    if (cut == std::string_view::npos) return true;
    start = cut + 1;
  }
  return true;
}

// The sources of one fuzz input; none when the input is refused.
inline std::optional<SourceSet> sources_of(const std::uint8_t* data, std::size_t size) {
  SourceSet sources;
  if (!cut_into_sources(std::string_view(reinterpret_cast<const char*>(data), size), sources)) {
    return std::nullopt;
  }
  return sources;
}

}  // namespace korva::fuzzing
