#include "driver/project.h"

#include "driver/output_base.h"
#include "resources/system_texts.h"
#include "source/source_reader.h"
#include "support/file_io.h"
#include "support/text_encoding.h"

namespace korva {

bool is_separator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

void cut_to_directory(std::string& path) {
  for (std::size_t i = path.size(); i > 1; --i) {
    if (is_separator(path[i - 1])) {
      path.resize(i);
      return;
    }
  }
  path.resize(!path.empty() && is_separator(path[0]) ? 1 : 0);
}

void take_project_path(ProjectState& project, const std::string& path) {
  project.project_file_path = path;
  project.output_base_name = output_base_for_project_file(path);
  project.last_directory = project.output_base_name;
  cut_to_directory(project.last_directory);
}

std::filesystem::path project_folder(std::string_view project_file_path) {
  return os_path(project_file_path).parent_path();
}

Expected<std::string> entry_for_file(const std::filesystem::path& file,
                                     const std::filesystem::path& folder) {
  const std::filesystem::path whole = file.lexically_normal();
  const std::filesystem::path relative = whole.lexically_relative(folder.lexically_normal());
  if (!relative.empty()) {
    std::string entry = cp932_from_os_path(relative);
    if (entry.size() <= kEntryLimit) return entry;
  }
  std::string entry = cp932_from_os_path(whole);
  if (entry.size() <= kEntryLimit) return entry;
  return fail(entry + std::string(texts::kNameTooLong));
}

Expected<std::vector<std::string>> entries_for_folder(const std::vector<std::string>& entries,
                                                      const std::filesystem::path& from,
                                                      const std::filesystem::path& to) {
  std::vector<std::string> moved;
  moved.reserve(entries.size());
  for (const std::string& entry : entries) {
    const std::filesystem::path path = os_path(entry);
    if (path.is_absolute() || entry.empty()) {
      moved.push_back(entry);
      continue;
    }
    Expected<std::string> name = entry_for_file(from / path, to);
    if (!name) return std::move(name).failure();
    moved.push_back(std::move(*name));
  }
  return moved;
}

Expected<std::vector<std::string>> load_project_file(const std::string& path) {
  FileContents file = read_whole_file(os_path(path));
  if (!file) return fail(std::move(file).failure().message);
  // The text ends at its first zero byte, as every text the reader gets.
  const std::string_view text = std::string_view(*file).substr(0, file->find('\0'));
  std::vector<std::string> entries;
  SourceReader reader;
  reader.reset(text);
  std::string line;
  for (;;) {
    line.clear();
    reader.read_line(line);
    if (line == "end") break;
    entries.push_back(line);
  }
  return entries;
}

std::string project_file_text(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) {
    text += entry;
    text += "\r\n";
  }
  return text;
}

Expected<Saved> save_project_file(const ProjectState& project) {
  if (project.project_file_path.empty() || project.entries.empty()) return Saved::nothing_to_save;
  Expected<void> written =
      write_file_atomically(os_path(project.project_file_path), project_file_text(project.entries));
  if (!written) return std::move(written).failure();
  return Saved::written;
}

}  // namespace korva
