// Assembles arbitrary bytes and writes the debug and map files of the result
// in memory. The input is cut at each byte 0x01 into up to eight source
// files, so that joining, files without a final line end and empty files are
// exercised too.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "driver/assembler.h"
#include "driver/assembly_host.h"
#include "driver/debug_file.h"
#include "driver/map_file.h"

namespace {

class SilentHost : public korva::AssemblyHost {
 public:
  void show_message(std::string_view, std::string_view) override {}
  void clear_error_list() override {}
  void add_error_entry(std::string_view) override {}
  void show_listing(std::string_view) override {}
};

const std::filesystem::path& work_directory() {
  static const std::filesystem::path directory = [] {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("korva-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  return directory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kMaxFiles = 8;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  korva::ProjectState project;
  project.entry_directory = work_directory();
  std::size_t start = 0;
  while (project.entries.size() < kMaxFiles) {
    const std::size_t cut = input.find('\x01', start);
    const std::string name = "f" + std::to_string(project.entries.size()) + ".as";
    std::ofstream(work_directory() / name, std::ios::binary) << input.substr(
        start, cut == std::string_view::npos ? std::string_view::npos : cut - start);
    project.entries.push_back(name);
    if (cut == std::string_view::npos) break;
    start = cut + 1;
  }
  project.project_file_path = (work_directory() / "p.amk").string();
  project.output_base_name = (work_directory() / "p").string();
  SilentHost host;
  korva::Assembler assembler;
  assembler.collect_program_facts(true);
  const korva::AssemblyResult result = assembler.assemble_project(project, host);
  // The debug and map files of whatever the input assembled to.
  if (result.facts) {
    korva::map_file_text(*result.facts, "p");
    korva::debug_file(*korva::gpsim_processor("16F877A"), *result.facts, result.facts->files,
                      korva::DebugFileStamp{});
  }
  return 0;
}
