// Assembles a few files written into a scratch directory as a project with
// its project file p.amk, and keeps what the assembly showed and wrote.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "project/assembler.h"
#include "project/project.h"
#include "test_support.h"

namespace korva::testing {

struct Assembly {
  AssemblyResult result;
  RecordingHost host;
  std::string listing_file;
  std::string image_file;
  std::size_t object_size = 0;
};

// Assembles the given files (name, bytes) as a project without project file.
inline Assembly assemble(const ScratchDir& dir,
                         const std::vector<std::pair<std::string, std::string>>& files) {
  ProjectState project;
  project.entry_directory = dir.path();
  for (const auto& [name, bytes] : files) {
    testing::write_bytes(dir.path() / name, bytes);
    project.entries.push_back(name);
  }
  take_project_path(project, SystemPath(dir.path() / "p.amk"));
  Assembly assembly;
  Assembler assembler;
  assembly.result = assembler.assemble_project(project, assembly.host);
  assembly.listing_file = testing::read_bytes(dir.path() / "p.out");
  assembly.image_file = testing::read_bytes(dir.path() / "p.bin");
  std::error_code ignored;
  assembly.object_size = std::filesystem::file_size(dir.path() / "p.obj", ignored);
  return assembly;
}

}  // namespace korva::testing
