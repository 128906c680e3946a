// The generated projects that the end-to-end and floor benchmarks share: each
// size is written once into a temporary folder and assembled once to learn
// the sizes of its three outputs; the folder goes with the store.
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "bench/project_generator.h"
#include "project/assembly_host.h"
#include "project/project.h"

namespace korva::bench {

// An assembly host that shows nothing and keeps only the first message.
class SilentHost : public AssemblyHost {
 public:
  void show_message(std::string_view text, std::string_view) override {
    if (message_.empty()) message_ = text;
  }
  void clear_error_list() override {}
  void add_error_entry(std::string_view) override {}
  void show_listing(std::string_view) override {}

  const std::string& message() const { return message_; }

 private:
  std::string message_;
};

struct BenchProject {
  GeneratedProject files;
  std::size_t object_bytes = 0;   // .obj
  std::size_t listing_bytes = 0;  // .out
  std::size_t image_bytes = 0;    // .bin
  std::size_t error_count = 0;    // error lines of the first assembly
  std::string failure;            // why the first assembly failed, if it did
};

// Owns a temporary folder and the projects generated into it.
class ProjectStore {
 public:
  ProjectStore();
  ~ProjectStore();
  ProjectStore(const ProjectStore&) = delete;
  ProjectStore& operator=(const ProjectStore&) = delete;

  // Generates and assembles the project of `lines` source lines; it stays
  // valid as long as the store.
  const BenchProject& add(std::size_t lines);
  // The project of `lines` lines, or null when it was not added.
  const BenchProject* find(std::size_t lines) const;

 private:
  std::filesystem::path root_;
  std::map<std::size_t, std::unique_ptr<BenchProject>> projects_;
};

// The project state that assembles `project` into its own folder.
ProjectState project_state(const BenchProject& project);

}  // namespace korva::bench
