#include "shell/settings_file.h"

#include <filesystem>
#include <system_error>

#include "system/file_io.h"

namespace korva {

std::string settings_file_path(std::string_view start_directory) {
  std::string path(start_directory);
  if (!path.empty() && path.back() != '/') path += '/';
  path += kSettingsFileName;
  return path;
}

SettingsRead read_settings(std::string_view start_directory) {
  const std::filesystem::path path = settings_file_path(start_directory);
  std::error_code error;
  // Only a regular file of sensible size: a folder, a device or a runaway
  // file named asm.ini must not stall or exhaust the start-up.
  if (!std::filesystem::is_regular_file(path, error)) return {};
  const auto size = std::filesystem::file_size(path, error);
  if (error || size > kSettingsSizeLimit) return {};
  FileContents file = read_whole_file(path);
  if (!file || file->size() > kSettingsSizeLimit) return {};
  return SettingsRead{std::move(*file), true};
}

Expected<void> write_settings(std::string_view start_directory, std::string_view last_directory) {
  return write_file_atomically(settings_file_path(start_directory), last_directory);
}

}  // namespace korva
