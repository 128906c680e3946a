#include "bench/bench_projects.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "project/assembler.h"

namespace korva::bench {
namespace {

std::size_t file_size(const std::filesystem::path& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<std::size_t>(size);
}

BenchProject make_project(const std::filesystem::path& directory, std::size_t lines) {
  BenchProject project;
  project.files = write_project(directory, lines);
  ProjectState state = project_state(project);
  SilentHost host;
  Assembler assembler;
  const AssemblyResult result = assembler.assemble_project(state, host);
  if (result.outcome != AssemblyOutcome::completed) project.failure = host.message();
  project.error_count = result.error_count;
  const std::string base = project.files.output_base.string();
  project.object_bytes = file_size(base + ".obj");
  project.listing_bytes = file_size(base + ".out");
  project.image_bytes = file_size(base + ".bin");
  return project;
}

}  // namespace

ProjectStore::ProjectStore()
    : root_(std::filesystem::temp_directory_path() /
            ("korva-bench-" + std::to_string(::getpid()))) {}

ProjectStore::~ProjectStore() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

const BenchProject& ProjectStore::add(std::size_t lines) {
  auto found = projects_.find(lines);
  if (found == projects_.end()) {
    auto project = std::make_unique<BenchProject>(
        make_project(root_ / ("lines" + std::to_string(lines)), lines));
    found = projects_.emplace(lines, std::move(project)).first;
  }
  return *found->second;
}

const BenchProject* ProjectStore::find(std::size_t lines) const {
  const auto found = projects_.find(lines);
  return found == projects_.end() ? nullptr : found->second.get();
}

ProjectState project_state(const BenchProject& project) {
  ProjectState state;
  state.entries = project.files.entries;
  state.entry_directory = project.files.directory;
  state.project_file_path = SystemPath(project.files.project_file);
  state.output_base_name = SystemPath(project.files.output_base);
  return state;
}

}  // namespace korva::bench
