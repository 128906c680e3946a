// The output base name: the path to which ".obj", ".out", ".bin" and the
// extra outputs' extensions are appended. Every rule that forms it is here.
#pragma once

#include <optional>
#include <string>

#include "project/project.h"

namespace korva {

// How a project without a project file names its outputs after its first
// source.
enum class SourceBaseRule {
  // The window's: the name without its last three characters, whatever
  // they are (".as" goes; of "lib.inc" stays "lib.").
  window,
  // korva-asm's: a name ending in ".as" loses those three characters, as
  // in the window; any other name loses its whole extension (from the last
  // "." of the file name, when that is not its first character), and a name
  // without one stays whole.
  batch,
};

// A project file's path without its last four characters (the ".amk").
std::string output_base_for_project_file(const std::string& path);

// The base named after the source `name` by `rule`.
std::string output_base_for_source(const std::string& name, SourceBaseRule rule);

// The base of one assembly of `project` (whose list is not empty): the
// chosen one (CP932) when there is one; else the project file's; else the
// one that `rule` takes from the project's own first source (the first
// entry after the leading ones).
SystemPath output_base_for_run(const ProjectState& project,
                               const std::optional<std::string>& chosen, SourceBaseRule rule);

}  // namespace korva
