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
  // The enhanced mid-range parts are marked, for their own forms.
  for (const KnownChip& chip : list_chips_with_core(*directory)) {
    if (chip.core == CoreFamily::enhanced) {
      std::printf("%s enhanced\n", chip.name.c_str());
    } else {
      std::printf("%s\n", chip.name.c_str());
    }
  }
  return true;
}

std::optional<std::filesystem::path> chip_file_for(const char* argv0, std::string_view chip) {
  const std::optional<std::filesystem::path> directory = chip_directory(argv0);
  if (directory) {
    if (std::optional<std::filesystem::path> file = find_chip(*directory, chip)) return file;
  }
  const std::vector<std::string> known =
      directory ? list_chips(*directory) : std::vector<std::string>{};
  std::fprintf(stderr, "korva-asm: %s\n", unknown_chip_text(chip, known).c_str());
  return std::nullopt;
}

}  // namespace korva
