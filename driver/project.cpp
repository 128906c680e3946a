#include "driver/project.h"

#include "source/source_reader.h"
#include "support/file_io.h"
#include "support/text_encoding.h"

namespace korva {
namespace {

bool is_separator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

}  // namespace

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
  project.output_base_name = path.substr(0, path.size() >= 4 ? path.size() - 4 : 0);
  project.last_directory = project.output_base_name;
  cut_to_directory(project.last_directory);
}

std::string output_base_for_source(const std::string& name) {
  if (name.size() >= 3 && name.compare(name.size() - 3, 3, ".as") == 0) {
    return name.substr(0, name.size() - 3);
  }
  std::size_t file_name = name.size();
  while (file_name > 0 && !is_separator(name[file_name - 1])) --file_name;
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot <= file_name) return name;
  // "prog..": the dots in front of the extension go with it.
  std::size_t end = dot;
  while (end > file_name + 1 && name[end - 1] == '.') --end;
  return name.substr(0, end);
}

LoadStatus load_project_file(const std::string& path, std::vector<std::string>& entries,
                             std::string* error) {
  entries.clear();
  const FileContents file = read_whole_file(os_path(path));
  if (file.status != ReadStatus::ok) {
    if (error != nullptr) *error = file.error;
    return file.status == ReadStatus::cannot_open ? LoadStatus::cannot_open
                                                  : LoadStatus::read_failed;
  }
  // The text ends at its first zero byte, as every text the reader gets.
  const std::string_view text(file.bytes.data(), file.bytes.find('\0') == std::string::npos
                                                     ? file.bytes.size()
                                                     : file.bytes.find('\0'));
  SourceReader reader;
  reader.reset(text);
  std::string line;
  for (;;) {
    line.clear();
    reader.read_line(line);
    if (line == "end") break;
    entries.push_back(line);
  }
  return LoadStatus::ok;
}

std::string project_file_text(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) {
    text += entry;
    text += "\r\n";
  }
  return text;
}

SaveStatus save_project_file(const ProjectState& project, std::string* error) {
  if (project.project_file_path.empty() || project.entries.empty()) {
    return SaveStatus::nothing_to_save;
  }
  const std::string failure =
      write_file_atomically(os_path(project.project_file_path), project_file_text(project.entries));
  if (failure.empty()) return SaveStatus::saved;
  if (error != nullptr) *error = failure;
  return SaveStatus::failed;
}

}  // namespace korva
