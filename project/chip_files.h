// The chip definition files that `--chip NAME` puts in front of a program's
// sources: where they are and which chips they cover.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/core_family.h"

namespace korva {

// The environment variable that names the chip folder, for tests and for
// files kept elsewhere.
inline constexpr const char* kChipDirectoryVariable = "KORVA_CHIPS_DIR";

// The running program's own file: as the system names it (running_program)
// where it can tell, else `argv0` made absolute.
std::filesystem::path program_path(const char* argv0);

// The folders searched for chip files, in order: `override_directory` alone
// when it is not empty; otherwise share/korva/chips beside the program's
// bin folder (an installed program), then chips/ beside the program (the
// build tree).
std::vector<std::filesystem::path> chip_directories(
    const std::filesystem::path& program, const std::filesystem::path& override_directory);

// The first of `candidates` that is a folder, if any.
std::optional<std::filesystem::path> first_directory(
    const std::vector<std::filesystem::path>& candidates);

// The chips of a folder: the names of its NAME.inc files, sorted.
std::vector<std::string> list_chips(const std::filesystem::path& directory);

// A chip of a folder with the core its file names (classic where the file
// names none or cannot be read).
struct KnownChip {
  std::string name;
  CoreFamily core = CoreFamily::classic;
};
std::vector<KnownChip> list_chips_with_core(const std::filesystem::path& directory);

// The file of the named chip in the folder. Letter case does not matter and
// a leading "PIC" may be written (pic16f877a is 16F877A). Empty when the
// folder has no such chip.
std::optional<std::filesystem::path> find_chip(const std::filesystem::path& directory,
                                               std::string_view name);
// The same among chips already listed from that folder.
std::optional<std::filesystem::path> find_chip(const std::filesystem::path& directory,
                                               const std::vector<std::string>& chips,
                                               std::string_view name);

// Whether the file is the chip's file as a project lists it (NAME.inc,
// letter case aside, in any folder): a project that starts with it names
// its chip already, and `--chip NAME` adds nothing then.
bool is_chip_file_of(const std::filesystem::path& file, std::string_view chip);

// The folder's file of the chip that a project entry names alone, without a
// folder: "16F84A.inc" (letter case and a leading "PIC" aside). Empty for
// any other entry.
std::optional<std::filesystem::path> chip_file_of_entry(std::string_view entry,
                                                        const std::filesystem::path& folder);

// The names that a chip file defines ("NAME EQU VALUE" lines).
struct ChipNames {
  std::string chip;
  std::vector<std::string> names;  // sorted
};

// The names of every chip file in the folder, by chip name, sorted.
std::vector<ChipNames> read_chip_names(const std::filesystem::path& directory);

// The chips that define `name` (exactly, as the assembler compares names).
// When some of them are named in `file_name` (16f84a in blink16f84a.as),
// only those; otherwise all of them, the flash parts (16F, 12F, 10F) first,
// each group in order.
std::vector<std::string> chips_defining(const std::vector<ChipNames>& chips, std::string_view name,
                                        std::string_view file_name);

// The first three of such chips for a message, "16F84A, 16F628A, 16F877A
// (and 12 more)", and whether the list is of one ("defines") or more.
std::string chip_list_text(const std::vector<std::string>& chips);

// The chip folder of this program: the environment's, or the first of
// chip_directories() that exists.
std::optional<std::filesystem::path> chip_directory(const char* argv0);

// Why a chip name finds no chip file, with the chips to take instead:
// "unknown chip 'X'; 170 chips are known (--list-chips lists them);
// nearest: 16F877 16F877A".
std::string unknown_chip_text(std::string_view chip, const std::vector<std::string>& known);

// The known chips whose names share the longest start with `name` (letter
// case and a leading "PIC" aside), at least the family ("16F"), for a
// name that is none of them.
std::vector<std::string> nearest_chips(const std::vector<std::string>& known,
                                       std::string_view name);

}  // namespace korva
