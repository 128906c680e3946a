// The project: its list of source files, the project (.amk) file that stores
// it, and the paths that follow from that file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace korva {

struct ProjectState {
  std::vector<std::string> entries;  // source files, in assembly order
  std::string project_file_path;     // empty until a project file is opened or saved
  std::string output_base_name;      // ".obj", ".out" and ".bin" are appended to it
  std::string last_directory;        // ends in a directory separator, or empty
  // Where relative entries are found; the current directory when empty.
  std::filesystem::path entry_directory;
  // How many of the first entries a front end put in front of the user's
  // (a chip's definitions); without a project file, the output base name
  // comes from the entry after them.
  std::size_t leading_entries = 0;
};

// Cuts `path` right after its last directory separator, searching from its
// second character. Without one, a leading separator stays and anything
// else gives the empty text.
void cut_to_directory(std::string& path);

// Project file path := path; output base name := path without its last four
// characters (the ".amk"); last directory := that name, cut to its directory.
void take_project_path(ProjectState& project, const std::string& path);

// The output base that korva-asm takes from a source file given alone: a
// name ending in ".as" loses those three characters, as in the window; any
// other name loses its whole extension (from the last "." of the file name,
// when that is not its first character), and a name without one stays whole.
std::string output_base_for_source(const std::string& name);

enum class LoadStatus { ok, cannot_open, read_failed };

// Replaces the project list by the lines of the project file, read as the
// source reader reads lines (CR dropped, tabs to blanks, blanks collapsed),
// up to a line that reads "end". On failure the list is left empty and
// `error` says why.
LoadStatus load_project_file(const std::string& path, std::vector<std::string>& entries,
                             std::string* error = nullptr);

// The bytes of a project file: each entry followed by CR LF.
std::string project_file_text(const std::vector<std::string>& entries);

enum class SaveStatus { saved, nothing_to_save, failed };

// Writes the project list to the project file path, replacing the file only
// once the new content is complete. Does nothing without a project file path
// or with an empty list.
SaveStatus save_project_file(const ProjectState& project, std::string* error = nullptr);

}  // namespace korva
