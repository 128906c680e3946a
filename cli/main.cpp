// korva-asm: assembles a project from the command line, writing the same
// files as the window's Assemble command.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/chip_files.h"
#include "cli/terminal_diagnostics.h"
#include "cli/terminal_glosses.h"
#include "cli/termination.h"
#include "driver/assembler.h"
#include "driver/debug_file.h"
#include "driver/project.h"
#include "support/file_io.h"
#include "support/text_encoding.h"

namespace {

constexpr int kExitClean = 0;
constexpr int kExitErrorsListed = 1;
constexpr int kExitStopped = 2;
constexpr int kExitUsage = 64;

constexpr std::string_view kUsage =
    "usage: korva-asm [options] [--] PROJECT.amk\n"
    "       korva-asm [options] [--] SOURCE...\n"
    "\n"
    "Assembles a project (an .amk file listing its sources) or the given source\n"
    "files, in that order, and writes BASE.obj, BASE.out and BASE.bin. BASE is\n"
    "the project file without .amk, or the first source without its extension.\n"
    "\n"
    "options:\n"
    "  -o BASE         name the output files BASE.obj, BASE.out, ...\n"
    "  -l, --listing   print the listing on standard output\n"
    "      --hex       also write BASE.hex, the program in Intel HEX (INHX32)\n"
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
    "  --              end of the options: every later argument names a file\n"
    "\n"
    "exit status: 0 no errors, 1 errors listed, 2 assembly stopped or output\n"
    "not written, 64 bad usage\n";

struct Options {
  bool print_listing = false;
  bool write_hex = false;
  bool write_cod = false;
  bool write_map = false;
  std::optional<std::string> output_base;
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

// The chips that define the names a program leaves undefined, read from
// the chip folder the first time a diagnostic asks.
class ChipHints {
 public:
  ChipHints(const char* argv0, std::string file_names)
      : argv0_(argv0), file_names_(std::move(file_names)) {}

  // "--chip 16F84A defines TRISB", or nothing when no chip defines it.
  std::vector<std::string> notes_for(const korva::Diagnostic& diagnostic) {
    if (!diagnostic.name_undefined || diagnostic.name.empty()) return {};
    const std::string key = diagnostic.name + '\n' + diagnostic.where.file;
    const auto known = notes_.find(key);
    if (known != notes_.end()) return known->second;
    return notes_[key] = notes_from_chips(diagnostic);
  }

 private:
  std::vector<std::string> notes_from_chips(const korva::Diagnostic& diagnostic) {
    if (!chips_) {
      const std::optional<std::filesystem::path> directory = korva::chip_directory(argv0_);
      chips_ = directory ? korva::read_chip_names(*directory) : std::vector<korva::ChipNames>{};
    }
    const std::vector<std::string> chips =
        korva::chips_defining(*chips_, diagnostic.name, diagnostic.where.file + " " + file_names_);
    if (chips.empty()) return {};
    constexpr std::size_t kNamed = 3;
    std::string list;
    for (std::size_t i = 0; i < chips.size() && i < kNamed; ++i) {
      list += (i == 0 ? "" : ", ") + chips[i];
    }
    if (chips.size() > kNamed) list += " (and " + std::to_string(chips.size() - kNamed) + " more)";
    const std::string name = korva::cp932_to_utf8(diagnostic.name);
    return {"--chip " + list + (chips.size() == 1 ? " defines " : " define ") + name};
  }

  const char* argv0_;
  std::string file_names_;
  std::optional<std::vector<korva::ChipNames>> chips_;
  // The notes already made, by name and file.
  std::map<std::string, std::vector<std::string>> notes_;
};

// Prints each diagnostic as compilers do (FILE:LINE:COLUMN: error: TEXT,
// the source line with a caret under the culprit, the notes); returns the
// number of warnings printed.
std::size_t print_diagnostics(const korva::AssemblyResult& result, const Options& options,
                              ChipHints& hints) {
  std::size_t warnings = 0;
  for (const korva::Diagnostic& diagnostic : result.diagnostics) {
    const bool warning = diagnostic.severity == korva::Severity::warning;
    if (warning && !options.warnings) continue;
    warnings += warning ? 1 : 0;
    const std::string text = korva::terminal_text(diagnostic, hints.notes_for(diagnostic));
    std::fwrite(text.data(), 1, text.size(), stderr);
  }
  return warnings;
}

// KORVA_TEMPORARY_FILES=named writes every output through a named
// temporary file, as on file systems without unnamed ones.
korva::TemporaryKind temporaries_from_environment() {
  const char* value = std::getenv("KORVA_TEMPORARY_FILES");
  return value != nullptr && std::string_view(value) == "named"
             ? korva::TemporaryKind::named
             : korva::TemporaryKind::unnamed_where_possible;
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
    korva::Expected<std::vector<std::string>> entries = korva::load_project_file(first);
    if (!entries) {
      print_error(entries.message());
      return false;
    }
    project.entries = std::move(*entries);
    project.entry_directory = korva::project_folder(first);
    return true;
  }
  project.entries = options.inputs;
  return true;
}

// What the command line asks for, or the exit status it ends with at once
// (help, version, bad usage).
struct ParsedCommandLine {
  Options options;
  std::optional<int> exit_status;
};

// Takes the value of a "--chip NAME" or "--chip=NAME" option; false for a
// missing name.
bool take_chip(const std::vector<std::string>& arguments, std::size_t& i, std::string& chip) {
  const std::string_view arg = arguments[i];
  if (arg == "--chip" && i + 1 < arguments.size()) {
    chip = arguments[++i];
  } else if (arg != "--chip") {
    chip = arg.substr(7);
  }
  return !chip.empty();
}

// Sets the flag that a plain option names; false when `arg` is none of them.
bool take_flag(std::string_view arg, Options& options) {
  if (arg == "-l" || arg == "--listing") {
    options.print_listing = true;
  } else if (arg == "--hex") {
    options.write_hex = true;
  } else if (arg == "--cod") {
    options.write_cod = true;
  } else if (arg == "--map") {
    options.write_map = true;
  } else if (arg == "--list-chips") {
    options.list_chips = true;
  } else if (arg == "-w") {
    options.warnings = false;
  } else if (arg == "-Werror") {
    options.warnings_are_errors = true;
  } else {
    return false;
  }
  return true;
}

int usage_error(const char* message) {
  std::fprintf(stderr, "korva-asm: %s\n%s", message, kUsage.data());
  return kExitUsage;
}

// An argument that begins with "-" and is no option. A lone "-" would read
// standard input elsewhere, which korva-asm does not; a file whose name looks
// like an option is named after "--" or with its folder.
int not_an_option(std::string_view arg) {
  std::string message = arg == "-" ? "'-' (standard input) is not read: the sources are files"
                                   : "unknown option '" + korva::cp932_to_utf8(arg) + "'";
  std::error_code no_error;
  if (arg == "-" || std::filesystem::exists(korva::os_path(arg), no_error)) {
    message += "; to assemble a file named '" + korva::cp932_to_utf8(arg) + "', write ./" +
               korva::cp932_to_utf8(arg) + " or put it after --";
  }
  return usage_error(message.c_str());
}

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
  Options& options = parsed.options;
  bool options_done = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string_view arg = arguments[i];
    if (options_done || !arg.starts_with('-')) {
      // The core holds names as CP932 bytes.
      options.inputs.emplace_back(arg);
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage.data(), stdout);
      parsed.exit_status = kExitClean;
    } else if (arg == "--version") {
      std::printf("korva-asm %s\n", KORVA_VERSION);
      parsed.exit_status = kExitClean;
    } else if (arg == "-o") {
      if (i + 1 == arguments.size())
        parsed.exit_status = usage_error("option '-o' needs a base name");
      else
        options.output_base = arguments[++i];
    } else if (arg == "--chip" || arg.starts_with("--chip=")) {
      if (!take_chip(arguments, i, options.chip)) {
        parsed.exit_status = usage_error("--chip needs a chip name");
      }
    } else if (arg == "--") {
      options_done = true;
    } else if (!take_flag(arg, options)) {
      parsed.exit_status = not_an_option(arg);
    }
    if (parsed.exit_status) return parsed;
  }
  return parsed;
}

// The assembly's options: the extra outputs and where the outputs go.
korva::AssemblyOptions assembly_options(const Options& options,
                                        const std::optional<korva::GpsimProcessor>& processor,
                                        korva::TerminationCleanup& termination) {
  korva::AssemblyOptions assembly;
  assembly.extra_outputs.intel_hex = options.write_hex;
  assembly.extra_outputs.debug_file = processor;
  assembly.extra_outputs.map = options.write_map;
  assembly.output_base_name = options.output_base;
  assembly.source_base_rule = korva::SourceBaseRule::batch;
  assembly.files.temporaries = temporaries_from_environment();
  assembly.files.names = &termination.names();
  return assembly;
}

// Prints what the assembly found and the listing; returns the exit status.
int report(const korva::AssemblyResult& result, const Options& options, ChipHints& hints) {
  switch (result.outcome) {
    case korva::AssemblyOutcome::nothing_to_do:
      print_error("the project lists no source file");
      return kExitStopped;
    case korva::AssemblyOutcome::stopped:
    case korva::AssemblyOutcome::output_failed:
      // A stop in pass 1 has its place; a file that cannot be read or
      // written has only its message.
      if (result.diagnostics.empty()) {
        std::fprintf(stderr, "korva-asm: %s: %s\n",
                     korva::glossed_for_terminal(result.caption).c_str(),
                     korva::glossed_for_terminal(result.message).c_str());
      }
      print_diagnostics(result, options, hints);
      return kExitStopped;
    case korva::AssemblyOutcome::completed:
      break;
  }
  const std::size_t warnings = print_diagnostics(result, options, hints);
  if (options.print_listing) {
    const std::string listing = korva::cp932_to_utf8(result.listing);
    std::fwrite(listing.data(), 1, listing.size(), stdout);
  }
  const bool failed = result.error_count > 0 || (options.warnings_are_errors && warnings > 0);
  return failed ? kExitErrorsListed : kExitClean;
}

}  // namespace

int main(int argc, char** argv) {
  // First, before any thread starts: a termination request removes named
  // temporary files, and a file size limit fails a write (reported) instead
  // of ending the process.
  korva::TerminationCleanup termination;

  const ParsedCommandLine parsed = parse_command_line(korva::cp932_arguments(argc, argv));
  if (parsed.exit_status) return *parsed.exit_status;
  const Options& options = parsed.options;
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

  korva::Assembler assembler;
  const korva::AssemblyResult result =
      assembler.assemble(project, assembly_options(options, processor, termination));
  ChipHints hints(argv[0], options.inputs.front());
  return report(result, options, hints);
}
