// The project: its list of source files, the project (.amk) file that stores
// it, and the paths that follow from that file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/expected.h"
#include "system/system_path.h"

namespace korva {

struct ProjectState {
  std::vector<std::string> entries;  // source files (CP932 texts), in assembly order
  SystemPath project_file_path;      // empty until a project file is opened or saved
  SystemPath output_base_name;       // ".obj", ".out" and ".bin" are appended to it
  std::string last_directory;        // CP932; ends in a directory separator, or empty
  // Where relative entries are found; the current directory when empty.
  std::filesystem::path entry_directory;
  // How many of the first entries a front end put in front of the user's
  // (a chip's definitions); without a project file, the output base name
  // comes from the entry after them.
  std::size_t leading_entries = 0;
  // Where an entry that names a chip file alone is found when the entry
  // directory has no such file; none: nowhere else.
  std::optional<std::filesystem::path> chip_folder;
};

// Whether `c` separates the folders of a path on this system.
bool is_separator(char c);

// Cuts `path` right after its last directory separator, searching from its
// second character. Without one, a leading separator stays and anything
// else gives the empty text.
void cut_to_directory(std::string& path);

// Project file path := path; output base name := path without its last four
// characters (the ".amk"); last directory := that name (as CP932), cut to its
// directory.
void take_project_path(ProjectState& project, const SystemPath& path);

// The longest entry the project list holds, in bytes.
inline constexpr std::size_t kEntryLimit = 99;

// The folder the relative entries of the project file `project_file` are
// found in: the file's own folder.
std::filesystem::path project_folder(const SystemPath& project_file);

// The entry that names `file` in a project whose relative entries are found
// in `folder` (both absolute): the path relative to the folder, or the full
// path where no relative one exists or the relative one is over the limit.
// Fails, naming the file, when neither fits in kEntryLimit bytes.
Expected<std::string> entry_for_file(const std::filesystem::path& file,
                                     const std::filesystem::path& folder);

// The same for a file kept apart from the project (a chip's definitions in
// the installed chip folder): the shorter of the relative and the full path,
// the relative one on a tie.
Expected<std::string> shorter_entry_for_file(const std::filesystem::path& file,
                                             const std::filesystem::path& folder);

// The entries of a project whose relative entries move from folder `from`
// to folder `to` (both absolute), re-expressed so that each still names the
// same file; full paths stay as they are.
Expected<std::vector<std::string>> entries_for_folder(const std::vector<std::string>& entries,
                                                      const std::filesystem::path& from,
                                                      const std::filesystem::path& to);

// The project list that the bytes of a project file hold: its lines, read
// as the source reader reads lines (CR dropped, tabs to blanks, blanks
// collapsed), up to a line that reads "end".
std::vector<std::string> project_entries(std::string_view bytes);

// The project list held in the project file at `path`.
Expected<std::vector<std::string>> load_project_file(const SystemPath& path);
// The same for a project file named by a CP932 text.
Expected<std::vector<std::string>> load_project_file(const std::string& cp932_path);

// The entry under which a project lists the file `file_name` (as the window
// adds one): the name's exact CP932 spelling, which the project file holds.
// A name that CP932 cannot write is refused with a message that says so:
// the project file could not name the file again.
Expected<std::string> project_entry_for(const SystemPath& file_name);

// The bytes of a project file: each entry followed by CR LF.
std::string project_file_text(const std::vector<std::string>& entries);

enum class Saved { written, nothing_to_save };

// Writes the project list to the project file path, replacing the file only
// once the new content is complete. Does nothing without a project file path
// or with an empty list.
Expected<Saved> save_project_file(const ProjectState& project);

}  // namespace korva
