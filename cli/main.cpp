// korva-asm: assembles a project from the command line, writing the same
// three files as the window's Assemble command.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/batch_host.h"
#include "cli/chip_files.h"
#include "cli/terminal_glosses.h"
#include "driver/assembler.h"
#include "driver/debug_file.h"
#include "driver/file_io.h"
#include "driver/gpsim_processors.h"
#include "driver/intel_hex.h"
#include "driver/map_file.h"
#include "driver/project.h"
#include "driver/text_encoding.h"

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
    "      --hex       also write BASE.hex, the image in Intel HEX (INHX32)\n"
    "      --chip NAME put the definitions of the chip NAME (16F877A, ...) in\n"
    "                  front of the sources\n"
    "      --list-chips\n"
    "                  list the chips that --chip knows\n"
    "      --cod       also write BASE.cod, the debug file for gpsim (needs --chip)\n"
    "      --map       also write BASE.map, the symbols and the memory used\n"
    "  -w              do not report warnings\n"
    "  -Werror         treat warnings as errors (exit status 1)\n"
    "  -h, --help      show this help\n"
    "      --version   show the version\n"
    "\n"
    "exit status: 0 no errors, 1 errors listed, 2 assembly stopped or output\n"
    "not written, 64 bad usage\n";

struct Options {
  bool print_listing = false;
  bool write_hex = false;
  bool write_cod = false;
  bool write_map = false;
  bool warnings = true;
  bool warnings_are_errors = false;
  bool list_chips = false;
  std::string chip;  // empty: no chip definitions
  std::vector<std::string> inputs;
};

bool ends_with(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

void print_error(std::string_view text_cp932) {
  const std::string text = korva::glossed_for_terminal(text_cp932);
  std::fprintf(stderr, "korva-asm: %s\n", text.c_str());
}

// "FILE:LINE", or the program's name for a diagnostic of the whole program.
std::string place(const korva::SourceLocation& where) {
  if (where.line == 0) return "korva-asm";
  return korva::cp932_to_utf8(where.file) + ":" + std::to_string(where.line);
}

std::string without_line_end(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// Prints each diagnostic as FILE:LINE: error: TEXT, then the listing line
// it belongs to; returns the number of warnings printed.
std::size_t print_diagnostics(const korva::AssemblyResult& result, const Options& options) {
  std::size_t warnings = 0;
  for (const korva::Diagnostic& diagnostic : result.diagnostics) {
    const bool warning = diagnostic.severity == korva::Severity::warning;
    if (warning && !options.warnings) continue;
    warnings += warning ? 1 : 0;
    std::fprintf(stderr, "%s: %s: %s\n", place(diagnostic.where).c_str(),
                 warning ? "warning" : "error",
                 korva::glossed_for_terminal(diagnostic.text).c_str());
    if (!diagnostic.listing_line.empty()) {
      const std::string line = without_line_end(korva::cp932_to_utf8(diagnostic.listing_line));
      std::fprintf(stderr, "    %s\n", line.c_str());
    }
    if (diagnostic.call) {
      std::fprintf(stderr, "%s: note: in the expansion of the macro called here\n",
                   place(*diagnostic.call).c_str());
    }
  }
  return warnings;
}

// Writes BASE.hex from the image just written to BASE.bin.
bool write_hex_file(const std::string& base) {
  const korva::FileContents image = korva::read_whole_file(korva::os_path(base + ".bin"));
  if (image.status != korva::ReadStatus::ok) {
    print_error(image.error);
    return false;
  }
  const std::string error = korva::write_file_atomically(korva::os_path(base + ".hex"),
                                                         korva::intel_hex_text(image.bytes));
  if (!error.empty()) print_error(error);
  return error.empty();
}

// The extra files of the debug options, written next to the others.

void print_warning(const Options& options, std::string_view text_cp932, std::size_t& warnings) {
  if (!options.warnings) return;
  ++warnings;
  std::fprintf(stderr, "korva-asm: warning: %s\n", korva::cp932_to_utf8(text_cp932).c_str());
}

korva::DebugFileStamp debug_stamp(const std::filesystem::path& cod_path) {
  korva::DebugFileStamp stamp;
  stamp.file_name = cod_path.filename().native();
  stamp.version = KORVA_VERSION;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) != nullptr) {
    stamp.year = local.tm_year + 1900;
    stamp.month = local.tm_mon + 1;
    stamp.day = local.tm_mday;
    stamp.hour = local.tm_hour;
    stamp.minute = local.tm_min;
  }
  return stamp;
}

// Writes BASE.cod. The sources are named as gpsim finds them from the
// folder of the .cod.
bool write_debug_file(const Options& options, const korva::ProjectState& project,
                      const korva::ProgramFacts& facts, const korva::GpsimProcessor& processor,
                      std::size_t& warnings) {
  const std::string cod_name = project.output_base_name + ".cod";
  const std::filesystem::path cod_path = std::filesystem::absolute(korva::os_path(cod_name));
  std::vector<std::string> source_names;
  for (const std::string& entry : facts.files) {
    const std::filesystem::path source =
        std::filesystem::absolute(project.entry_directory / korva::os_path(entry));
    source_names.push_back(korva::debug_source_name(source, cod_path.parent_path()));
  }
  const korva::DebugFile file =
      korva::debug_file(processor, facts, source_names, debug_stamp(cod_path));
  if (file.words_left_out > 0) {
    const std::uint32_t end = processor.program_words;
    char text[64];
    std::snprintf(text, sizeof text, "%04X on", static_cast<unsigned>(end));
    const char* words = file.words_left_out == 1 ? " program word from " : " program words from ";
    print_warning(options,
                  cod_name + " leaves out the " + std::to_string(file.words_left_out) + words +
                      text + ", beyond the " + std::to_string(end) + " words of the " +
                      std::string(processor.chip) + "'s program memory",
                  warnings);
  }
  for (const std::string& name : file.names_cut) {
    print_warning(options,
                  cod_name + ": the source name " + korva::cp932_from_os_name(name) +
                      " is longer than 63 characters and is cut; gpsim will not find the file",
                  warnings);
  }
  const std::string error = korva::write_file_atomically(cod_path, file.bytes);
  if (!error.empty()) print_error(error);
  return error.empty();
}

// Writes BASE.map, titled with the base name without its folder.
bool write_map_file(const korva::ProjectState& project, const korva::ProgramFacts& facts) {
  const std::filesystem::path map_path = korva::os_path(project.output_base_name + ".map");
  const std::string program =
      korva::cp932_from_os_path(korva::os_path(project.output_base_name).filename());
  const std::string error =
      korva::write_file_atomically(map_path, korva::map_file_text(facts, program));
  if (!error.empty()) print_error(error);
  return error.empty();
}

// The processor for --cod; none, after a usage message, when --chip is
// missing or names a chip that gpsim does not simulate.
std::optional<korva::GpsimProcessor> debug_processor(const Options& options) {
  if (options.chip.empty()) {
    std::fprintf(stderr,
                 "korva-asm: --cod needs the chip the program is for: add --chip NAME, "
                 "for example --chip 16F877A\n%s",
                 kUsage.data());
    return std::nullopt;
  }
  auto processor = korva::gpsim_processor(options.chip);
  if (!processor) {
    std::string chips;
    for (const korva::GpsimProcessor& known : korva::gpsim_processors()) {
      chips += chips.empty() ? "" : " ";
      chips += known.chip;
    }
    std::fprintf(stderr, "korva-asm: --cod: gpsim simulates no chip named '%s'; it simulates %s\n",
                 options.chip.c_str(), chips.c_str());
  }
  return processor;
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
    project.entry_directory = korva::os_path(first).parent_path();
    return true;
  }
  project.entries = options.inputs;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bool options_done = false;
  const std::vector<std::string> arguments = korva::cp932_arguments(argc, argv);
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string_view arg = arguments[i];
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
    } else if (!options_done && arg == "--hex") {
      options.write_hex = true;
    } else if (!options_done && arg == "--cod") {
      options.write_cod = true;
    } else if (!options_done && arg == "--map") {
      options.write_map = true;
    } else if (!options_done && arg == "--list-chips") {
      options.list_chips = true;
    } else if (!options_done && (arg == "--chip" || arg.starts_with("--chip="))) {
      if (arg == "--chip" && i + 1 < arguments.size()) {
        options.chip = arguments[++i];
      } else if (arg != "--chip") {
        options.chip = arg.substr(7);
      }
      if (options.chip.empty()) {
        std::fprintf(stderr, "korva-asm: --chip needs a chip name\n%s", kUsage.data());
        return kExitUsage;
      }
    } else if (!options_done && arg == "-w") {
      options.warnings = false;
    } else if (!options_done && arg == "-Werror") {
      options.warnings_are_errors = true;
    } else if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "korva-asm: unknown option '%s'\n%s", korva::cp932_to_utf8(arg).c_str(),
                   kUsage.data());
      return kExitUsage;
    } else {
      // The core holds names as CP932 bytes.
      options.inputs.emplace_back(arg);
    }
  }
  if (options.list_chips) return korva::print_known_chips(argv[0]) ? kExitClean : kExitStopped;
  if (options.inputs.empty()) {
    std::fputs(kUsage.data(), stderr);
    return kExitUsage;
  }

  std::optional<std::filesystem::path> chip;
  if (!options.chip.empty() && !(chip = korva::chip_file_for(argv[0], options.chip))) {
    return kExitUsage;
  }

  std::optional<korva::GpsimProcessor> processor;
  if (options.write_cod) {
    processor = debug_processor(options);
    if (!processor) return kExitUsage;
  }

  korva::ProjectState project;
  if (!load_project(options, project)) return kExitStopped;
  if (chip) {
    // The definitions come first; the outputs are still named after the
    // user's first source.
    project.entries.insert(project.entries.begin(), korva::cp932_from_os_path(*chip));
    project.leading_entries = 1;
  }

  korva::BatchHost host(options.print_listing);
  korva::Assembler assembler;
  assembler.collect_program_facts(options.write_cod || options.write_map);
  const korva::AssemblyResult result = assembler.assemble_project(project, host);
  switch (result.outcome) {
    case korva::AssemblyOutcome::nothing_to_do:
      print_error("the project lists no source file");
      return kExitStopped;
    case korva::AssemblyOutcome::stopped:
    case korva::AssemblyOutcome::output_failed:
      // A stop in pass 1 has its place; a file that cannot be read or
      // written has only its message.
      if (result.diagnostics.empty()) {
        for (const std::string& message : host.messages()) {
          std::fprintf(stderr, "korva-asm: %s\n", message.c_str());
        }
      }
      print_diagnostics(result, options);
      return kExitStopped;
    case korva::AssemblyOutcome::completed:
      break;
  }
  std::size_t warnings = print_diagnostics(result, options);
  if (options.write_hex && !write_hex_file(project.output_base_name)) return kExitStopped;
  if (processor && !write_debug_file(options, project, *result.facts, *processor, warnings)) {
    return kExitStopped;
  }
  if (options.write_map && !write_map_file(project, *result.facts)) return kExitStopped;
  if (options.print_listing) {
    const std::string listing = korva::cp932_to_utf8(host.listing());
    std::fwrite(listing.data(), 1, listing.size(), stdout);
  }
  const bool failed = result.error_count > 0 || (options.warnings_are_errors && warnings > 0);
  return failed ? kExitErrorsListed : kExitClean;
}
