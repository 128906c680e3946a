// korva-asm: assembles a project from the command line, writing the same
// three files as the window's Assemble command.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cli/batch_host.h"
#include "driver/assembler.h"
#include "driver/project.h"
#include "shell/display_text.h"

namespace {

constexpr int kExitClean = 0;
constexpr int kExitErrorsListed = 1;
constexpr int kExitStopped = 2;
constexpr int kExitUsage = 64;

constexpr std::string_view kUsage =
    "usage: korva-asm [options] PROJECT.amk\n"
    "       korva-asm [options] SOURCE...\n"
    "\n"
    "Assembles a project (an .amk file listing its sources) or the given source\n"
    "files, in that order, and writes BASE.obj, BASE.out and BASE.bin.\n"
    "\n"
    "options:\n"
    "  -l, --listing   print the listing on standard output\n"
    "  -h, --help      show this help\n"
    "      --version   show the version\n"
    "\n"
    "exit status: 0 no errors, 1 errors listed, 2 assembly stopped or output\n"
    "not written, 64 bad usage\n";

struct Options {
  bool print_listing = false;
  std::vector<std::string> inputs;
};

bool ends_with(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

void print_error(std::string_view text_cp932) {
  const std::string text = korva::cp932_to_utf8(text_cp932);
  std::fprintf(stderr, "korva-asm: %s\n", text.c_str());
}

// Sets up the project as the window's Open command would for a project
// file, or as a project list without a project file otherwise.
bool load_project(const Options& options, korva::ProjectState& project) {
  const std::string& first = options.inputs.front();
  if (options.inputs.size() == 1 && ends_with(first, ".amk")) {
    korva::take_project_path(project, first);
    std::string error;
    if (korva::load_project_file(first, project.entries, &error) != korva::LoadStatus::ok) {
      print_error(error);
      return false;
    }
    project.entry_directory = std::filesystem::path(first).parent_path();
    return true;
  }
  project.entries = options.inputs;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!options_done && (arg == "-h" || arg == "--help")) {
      std::fputs(kUsage.data(), stdout);
      return kExitClean;
    }
    if (!options_done && arg == "--version") {
      std::printf("korva-asm %s\n", KORVA_VERSION);
      return kExitClean;
    }
    if (!options_done && (arg == "-l" || arg == "--listing")) {
      options.print_listing = true;
    } else if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "korva-asm: unknown option '%s'\n%s", argv[i], kUsage.data());
      return kExitUsage;
    } else {
      options.inputs.emplace_back(arg);
    }
  }
  if (options.inputs.empty()) {
    std::fputs(kUsage.data(), stderr);
    return kExitUsage;
  }

  korva::ProjectState project;
  if (!load_project(options, project)) return kExitStopped;

  korva::BatchHost host;
  korva::Assembler assembler;
  const korva::AssemblyResult result = assembler.assemble_project(project, host);
  switch (result.outcome) {
    case korva::AssemblyOutcome::nothing_to_do:
      print_error("the project lists no source file");
      return kExitStopped;
    case korva::AssemblyOutcome::stopped:
    case korva::AssemblyOutcome::output_failed:
      return kExitStopped;
    case korva::AssemblyOutcome::completed:
      break;
  }
  if (options.print_listing) {
    const std::string listing = korva::cp932_to_utf8(host.listing());
    std::fwrite(listing.data(), 1, listing.size(), stdout);
  }
  return result.error_count == 0 ? kExitClean : kExitErrorsListed;
}
