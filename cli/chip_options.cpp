#include "cli/chip_options.h"

#include <cstdio>
#include <string>
#include <vector>

#include "project/chip_files.h"

namespace korva {

bool print_known_chips(const char* argv0) {
  const std::optional<std::filesystem::path> directory = chip_directory(argv0);
  if (!directory) {
    std::fprintf(stderr, "korva-asm: no chip definitions found (set %s to their folder)\n",
                 kChipDirectoryVariable);
    return false;
  }
  for (const std::string& name : list_chips(*directory)) std::printf("%s\n", name.c_str());
  return true;
}

std::optional<std::filesystem::path> chip_file_for(const char* argv0, std::string_view chip) {
  // A message names at most this many chips.
  constexpr std::size_t kNamed = 12;
  const std::optional<std::filesystem::path> directory = chip_directory(argv0);
  if (directory) {
    if (std::optional<std::filesystem::path> file = find_chip(*directory, chip)) return file;
  }
  const std::vector<std::string> known =
      directory ? list_chips(*directory) : std::vector<std::string>{};
  std::string text;
  if (known.empty()) {
    text = std::string("no chips are known (set ") + kChipDirectoryVariable + " to their folder)";
  } else if (known.size() <= kNamed) {
    text = "known chips:";
    for (const std::string& name : known) text += " " + name;
  } else {
    const std::vector<std::string> nearest = nearest_chips(known, chip);
    text = std::to_string(known.size()) + " chips are known (--list-chips lists them)";
    if (!nearest.empty()) text += "; nearest:";
    for (std::size_t i = 0; i < nearest.size() && i < kNamed; ++i) text += " " + nearest[i];
    if (nearest.size() > kNamed) text += " ...";
  }
  std::fprintf(stderr, "korva-asm: unknown chip '%.*s'; %s\n", static_cast<int>(chip.size()),
               chip.data(), text.c_str());
  return std::nullopt;
}

}  // namespace korva
