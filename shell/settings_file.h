// The settings file asm.ini: it lives in the directory the program started
// in and holds the last directory, byte for byte, with no key and no line
// end. It is read when the window is created and written when it goes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "support/expected.h"

namespace korva {

inline constexpr std::string_view kSettingsFileName = "asm.ini";

// Larger files are not settings files the program wrote; they are ignored.
inline constexpr std::size_t kSettingsSizeLimit = std::size_t{64} * 1024;

// The settings file's path: the start directory, a separator and "asm.ini".
std::string settings_file_path(std::string_view start_directory);

struct SettingsRead {
  std::string last_directory;  // empty when the file is missing or unusable
  bool found = false;          // the file existed and was read whole
};

// A missing, unreadable or oversized file gives an empty last directory.
SettingsRead read_settings(std::string_view start_directory);

// Replaces the settings file by the last directory (an empty one gives an
// empty file).
Expected<void> write_settings(std::string_view start_directory, std::string_view last_directory);

}  // namespace korva
