#include "project/chip_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "chip/chip_equates.h"
#include "chip/chip_facts.h"
#include "system/file_io.h"
#include "system/system_path.h"

namespace korva {
namespace {

constexpr std::string_view kChipExtension = ".inc";

std::string upper_ascii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// The chip name as the files are named: capitals, without "PIC".
std::string canonical_chip_name(std::string_view name) {
  std::string upper = upper_ascii(name);
  if (upper.rfind("PIC", 0) == 0) upper.erase(0, 3);
  return upper;
}

// Whether `file` (in capitals) names the chip, not only a longer name that
// starts with it (16F88 in WALK16F887.AS).
bool names_chip(std::string_view file, std::string_view chip) {
  for (std::size_t at = file.find(chip); at != std::string_view::npos;
       at = file.find(chip, at + 1)) {
    const std::size_t after = at + chip.size();
    if (after == file.size() || !std::isalnum(static_cast<unsigned char>(file[after]))) return true;
  }
  return false;
}

}  // namespace

std::filesystem::path program_path(const char* argv0) {
  if (const std::optional<SystemPath> self = running_program()) return self->path();
  std::error_code error;
  std::filesystem::path self = std::filesystem::absolute(argv0 != nullptr ? argv0 : "", error);
  return error ? std::filesystem::path() : self;
}

std::vector<std::filesystem::path> chip_directories(
    const std::filesystem::path& program, const std::filesystem::path& override_directory) {
  if (!override_directory.empty()) return {override_directory};
  const std::filesystem::path folder = program.parent_path();
  return {folder.parent_path() / "share" / "korva" / "chips", folder / "chips"};
}

std::optional<std::filesystem::path> first_directory(
    const std::vector<std::filesystem::path>& candidates) {
  for (const std::filesystem::path& candidate : candidates) {
    std::error_code error;
    if (std::filesystem::is_directory(candidate, error)) return candidate;
  }
  return std::nullopt;
}

std::vector<std::string> list_chips(const std::filesystem::path& directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    const std::filesystem::path& path = entry.path();
    if (path.extension() == kChipExtension && entry.is_regular_file(error)) {
      names.push_back(path.stem().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::filesystem::path> find_chip(const std::filesystem::path& directory,
                                               std::string_view name) {
  return find_chip(directory, list_chips(directory), name);
}

std::optional<std::filesystem::path> find_chip(const std::filesystem::path& directory,
                                               const std::vector<std::string>& chips,
                                               std::string_view name) {
  const std::string wanted = canonical_chip_name(name);
  if (wanted.empty()) return std::nullopt;
  for (const std::string& chip : chips) {
    if (upper_ascii(chip) == wanted) return directory / (chip + std::string(kChipExtension));
  }
  return std::nullopt;
}

bool is_chip_file_of(const std::filesystem::path& file, std::string_view chip) {
  const std::string wanted = canonical_chip_name(chip);
  return !wanted.empty() && upper_ascii(file.extension().string()) == upper_ascii(kChipExtension) &&
         canonical_chip_name(file.stem().string()) == wanted;
}

std::optional<std::filesystem::path> chip_file_of_entry(std::string_view entry,
                                                        const std::filesystem::path& folder) {
  if (entry.find_first_of("/\\:") != std::string_view::npos) return std::nullopt;
  const std::filesystem::path name(entry);
  if (upper_ascii(name.extension().string()) != upper_ascii(kChipExtension)) return std::nullopt;
  return find_chip(folder, name.stem().string());
}

std::vector<KnownChip> list_chips_with_core(const std::filesystem::path& directory) {
  std::vector<KnownChip> chips;
  for (std::string& chip : list_chips(directory)) {
    const FileContents text = read_whole_file(directory / (chip + std::string(kChipExtension)));
    KnownChip& known = chips.emplace_back();
    known.name = std::move(chip);
    if (!text) continue;
    const Expected<std::optional<ChipFacts>> facts = read_chip_facts(*text);
    if (facts && *facts) known.core = (*facts)->core;
  }
  return chips;
}

std::vector<ChipNames> read_chip_names(const std::filesystem::path& directory) {
  std::vector<ChipNames> chips;
  for (const std::string& chip : list_chips(directory)) {
    const FileContents text = read_whole_file(directory / (chip + std::string(kChipExtension)));
    ChipNames& defined = chips.emplace_back();
    defined.chip = chip;
    if (text) defined.names = chip_equate_names(*text);
  }
  return chips;
}

// Whether the chip is a flash part (16F84A, 12F675; not 16C84, 16LF727 or
// 16HV616): the parts most programs are written for.
bool is_flash_part(std::string_view chip) {
  const std::size_t family = chip.find_first_not_of("0123456789");
  return family != std::string_view::npos && family > 0 && chip[family] == 'F';
}

std::vector<std::string> chips_defining(const std::vector<ChipNames>& chips, std::string_view name,
                                        std::string_view file_name) {
  std::vector<std::string> all;
  std::vector<std::string> named_in_file;
  const std::string file = upper_ascii(file_name);
  for (const ChipNames& chip : chips) {
    if (!std::binary_search(chip.names.begin(), chip.names.end(), name)) continue;
    all.push_back(chip.chip);
    if (names_chip(file, upper_ascii(chip.chip))) named_in_file.push_back(chip.chip);
  }
  std::stable_partition(all.begin(), all.end(), is_flash_part);
  return named_in_file.empty() ? all : named_in_file;
}

std::optional<std::filesystem::path> chip_directory(const char* argv0) {
  // The folder as the system names it (on Windows in UTF-16, whatever the
  // code page).
  const std::optional<SystemPath> override_directory = environment_path(kChipDirectoryVariable);
  return first_directory(chip_directories(program_path(argv0), override_directory
                                                                   ? override_directory->path()
                                                                   : std::filesystem::path()));
}

std::string unknown_chip_text(std::string_view chip, const std::vector<std::string>& known) {
  // A message names at most this many chips.
  constexpr std::size_t kNamed = 12;
  std::string text = "unknown chip '" + std::string(chip) + "'; ";
  if (known.empty()) {
    text += std::string("no chips are known (set ") + kChipDirectoryVariable + " to their folder)";
  } else if (known.size() <= kNamed) {
    text += "known chips:";
    for (const std::string& name : known) text += " " + name;
  } else {
    const std::vector<std::string> nearest = nearest_chips(known, chip);
    text += std::to_string(known.size()) + " chips are known (--list-chips lists them)";
    if (!nearest.empty()) text += "; nearest:";
    for (std::size_t i = 0; i < nearest.size() && i < kNamed; ++i) text += " " + nearest[i];
    if (nearest.size() > kNamed) text += " ...";
  }
  return text;
}

std::vector<std::string> nearest_chips(const std::vector<std::string>& known,
                                       std::string_view name) {
  const std::string wanted = canonical_chip_name(name);
  const auto shared = [&](const std::string& chip) {
    const std::string upper = upper_ascii(chip);
    return static_cast<std::size_t>(
        std::mismatch(upper.begin(), upper.end(), wanted.begin(), wanted.end()).first -
        upper.begin());
  };
  std::size_t longest = 0;
  for (const std::string& chip : known) longest = std::max(longest, shared(chip));
  // Fewer than three characters ("16F") say nothing about the family.
  constexpr std::size_t kFamilyStart = 3;
  std::vector<std::string> nearest;
  if (longest < kFamilyStart) return nearest;
  for (const std::string& chip : known) {
    if (shared(chip) == longest) nearest.push_back(chip);
  }
  return nearest;
}

std::string chip_list_text(const std::vector<std::string>& chips) {
  constexpr std::size_t kNamed = 3;
  std::string list;
  for (std::size_t i = 0; i < chips.size() && i < kNamed; ++i) {
    list += (i == 0 ? "" : ", ") + chips[i];
  }
  if (chips.size() > kNamed) list += " (and " + std::to_string(chips.size() - kNamed) + " more)";
  return list;
}

}  // namespace korva
