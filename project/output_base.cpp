#include "project/output_base.h"

#include <algorithm>

namespace korva {
namespace {

std::string without_last(const std::string& text, std::size_t count) {
  return text.substr(0, text.size() >= count ? text.size() - count : 0);
}

std::string without_extension(const std::string& name) {
  if (name.size() >= 3 && name.compare(name.size() - 3, 3, ".as") == 0) {
    return without_last(name, 3);
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

}  // namespace

std::string output_base_for_project_file(const std::string& path) {
  return without_last(path, 4);
}

std::string output_base_for_source(const std::string& name, SourceBaseRule rule) {
  switch (rule) {
    case SourceBaseRule::window:
      return without_last(name, 3);
    case SourceBaseRule::batch:
      return without_extension(name);
  }
  return name;
}

SystemPath output_base_for_run(const ProjectState& project,
                               const std::optional<std::string>& chosen, SourceBaseRule rule) {
  if (chosen) return SystemPath::from_cp932(*chosen);
  if (!project.project_file_path.empty()) return project.output_base_name;
  const std::string& first =
      project.entries[std::min(project.leading_entries, project.entries.size() - 1)];
  return SystemPath::from_cp932(output_base_for_source(first, rule));
}

}  // namespace korva
