#include "project/project.h"

#include "project/output_base.h"
#include "project/source_files.h"
#include "resources/system_texts.h"
#include "source/source_reader.h"
#include "system/file_io.h"
#include "system/text_encoding.h"

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

void take_project_path(ProjectState& project, const SystemPath& path) {
  project.project_file_path = path;
  project.output_base_name =
      SystemPath::from_native_text(output_base_for_project_file(path.native_text()));
  project.last_directory = shown_cp932(project.output_base_name);
  cut_to_directory(project.last_directory);
}

std::filesystem::path project_folder(const SystemPath& project_file) {
  return project_file.parent().path();
}

Expected<std::string> entry_for_file(const std::filesystem::path& file,
                                     const std::filesystem::path& folder) {
  const std::filesystem::path whole = file.lexically_normal();
  const std::filesystem::path relative = whole.lexically_relative(folder.lexically_normal());
  // The project file names its files in CP932: a name it cannot write is
  // refused rather than stored as the name of no file.
  if (!relative.empty()) {
    Expected<std::string> entry = project_entry_for(SystemPath(relative));
    if (!entry) return entry;
    if (entry->size() <= kEntryLimit) return entry;
  }
  Expected<std::string> entry = project_entry_for(SystemPath(whole));
  if (!entry) return entry;
  if (entry->size() <= kEntryLimit) return entry;
  return fail(*entry + std::string(texts::kNameTooLong));
}

Expected<std::string> shorter_entry_for_file(const std::filesystem::path& file,
                                             const std::filesystem::path& folder) {
  Expected<std::string> entry = entry_for_file(file, folder);
  if (!entry) return entry;
  Expected<std::string> whole = project_entry_for(SystemPath(file.lexically_normal()));
  if (whole && whole->size() < entry->size()) return whole;
  return entry;
}

Expected<std::vector<std::string>> entries_for_folder(const std::vector<std::string>& entries,
                                                      const std::filesystem::path& from,
                                                      const std::filesystem::path& to) {
  std::vector<std::string> moved;
  moved.reserve(entries.size());
  for (const std::string& entry : entries) {
    if (entry.empty() || SystemPath::from_cp932(entry).is_absolute()) {
      moved.push_back(entry);
      continue;
    }
    Expected<std::string> name = entry_for_file(entry_file(entry, SystemPath(from)).path(), to);
    if (!name) return std::move(name).failure();
    moved.push_back(std::move(*name));
  }
  return moved;
}

Expected<std::vector<std::string>> load_project_file(const std::string& cp932_path) {
  return load_project_file(SystemPath::from_cp932(cp932_path));
}

std::vector<std::string> project_entries(std::string_view bytes) {
  // The text ends at its first zero byte, as every text the reader gets.
  const std::string_view text = bytes.substr(0, bytes.find('\0'));
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

Expected<std::vector<std::string>> load_project_file(const SystemPath& path) {
  FileContents file = read_whole_file(path.path());
  if (!file) return fail(std::move(file).failure().message);
  return project_entries(*file);
}

Expected<std::string> project_entry_for(const SystemPath& file_name) {
  if (std::optional<std::string> entry = exact_cp932(file_name)) return std::move(*entry);
  return fail(shown_cp932(file_name) +
              ": the name holds characters that a project file cannot store (it names its "
              "files in CP932); rename the file to add it");
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
      write_file_atomically(project.project_file_path.path(), project_file_text(project.entries));
  if (!written) return std::move(written).failure();
  return Saved::written;
}

}  // namespace korva
