// Loads arbitrary bytes as a project file and saves the list again; loading
// the saved file must give the same list back.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "driver/project.h"

namespace {

std::filesystem::path work_file(const char* name) {
  return std::filesystem::temp_directory_path() /
         ("korva-fuzz-project-" + std::to_string(::getpid()) + "-" + name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input_path = work_file("in.amk").string();
  std::ofstream(input_path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  korva::ProjectState project;
  korva::take_project_path(project, korva::SystemPath(work_file("out.amk")));
  korva::Expected<std::vector<std::string>> loaded = korva::load_project_file(input_path);
  if (!loaded) std::abort();
  project.entries = std::move(*loaded);
  if (!korva::save_project_file(project)) std::abort();
  if (project.entries.empty()) return 0;

  // A saved list loads back unchanged, up to an entry that reads "end",
  // which ends the loading.
  const korva::Expected<std::vector<std::string>> loaded_again =
      korva::load_project_file(project.project_file_path);
  const std::vector<std::string> reloaded =
      loaded_again ? *loaded_again : std::vector<std::string>();
  std::vector<std::string> expected;
  for (const std::string& entry : project.entries) {
    if (entry == "end") break;
    expected.push_back(entry);
  }
  if (reloaded.size() < expected.size() ||
      !std::equal(expected.begin(), expected.end(), reloaded.begin())) {
    std::abort();
  }
  return 0;
}
