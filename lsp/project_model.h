// Which sources a file is assembled with. A project file (.amk) in the
// file's folder or under a workspace folder that lists the file gives the
// project and its order; a file in no project is assembled alone.
//
// The chip: a project whose first entry is a chip's definition file
// (16F877A.inc) names its chip itself. Otherwise the chip the client passes
// (initializationOptions.chip) is put in front, as `korva-asm --chip`
// does; without one, the chip whose name the project file's (or the lone
// file's) name holds (blink16f877a.amk: 16F877A), if any.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace korva::lsp {

struct ChipSetting {
  std::string chip;                       // empty: from the project's name
  std::filesystem::path chips_directory;  // empty: no chip files known
  // The chips of that folder, listed once: a listing for every request
  // took a third of each answer's time.
  std::vector<std::string> chips;
};

struct ProjectPlan {
  std::filesystem::path project_file;        // empty for a file assembled alone
  std::vector<std::filesystem::path> paths;  // each source, in project order
  std::vector<std::string> entries;          // their names as diagnostics give them (CP932)
  std::size_t definition_files = 0;          // a chip file put in front
  std::filesystem::path chip_file;           // the chip file, where there is one
  std::string output_base;                   // names the image in messages

  // The plan's place of `path`, if it is one of its sources.
  std::optional<std::size_t> index_of(const std::filesystem::path& path) const;
};

// Whether the path names a project file (.amk, any letter case).
bool is_project_file(const std::filesystem::path& path);

// A path in the form plans and documents are compared in.
std::filesystem::path normal_path(const std::filesystem::path& path);

// The project files under `roots` (a few levels down) and in `folder`,
// sorted, without repeats.
std::vector<std::filesystem::path> project_files(const std::vector<std::filesystem::path>& roots,
                                                 const std::filesystem::path& folder);

// The plan of the first project file that lists `source`, or the plan of
// `source` alone.
ProjectPlan plan_for(const std::filesystem::path& source,
                     const std::vector<std::filesystem::path>& candidates, const ChipSetting& chip);

// The chip named in a file name (longest first): "16F877A" for
// "blink16f877a"; empty when `chips` holds none of it.
std::string chip_in_name(std::string_view name, const std::vector<std::string>& chips);

}  // namespace korva::lsp
