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

#include "chip/chip_config.h"
#include "chip/chip_facts.h"
#include "cli/chip_options.h"
#include "cli/terminal_diagnostics.h"
#include "cli/termination.h"
#include "outputs/debug_file.h"
#include "project/assembler.h"
#include "project/chip_files.h"
#include "project/output_base.h"
#include "project/project.h"
#include "system/file_io.h"
#include "system/glossed_text.h"
#include "system/system_path.h"
#include "system/text_encoding.h"

namespace {

constexpr int kExitClean = 0;
constexpr int kExitErrorsListed = 1;
constexpr int kExitStopped = 2;
constexpr int kExitUsage = 64;

constexpr std::string_view kUsage =
    "usage: korva-asm [options] [--] PROJECT.amk\n"
    "       korva-asm [options] [--] SOURCE...\n"
    "       korva-asm --chip NAME --config [FIELD=SETTING,...]\n"
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
    "                  list the chips that --chip knows (the enhanced\n"
    "                  mid-range ones marked \"enhanced\")\n"
    "      --config FIELD=SETTING,...\n"
    "                  print the lines that set the chip's configuration words\n"
    "                  (needs --chip); fields left out keep their erased value.\n"
    "                  Without FIELD=SETTING, list the fields and settings\n"
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
  std::optional<std::string> output_base;  // as the system gave it (native text)
  bool warnings = true;
  bool warnings_are_errors = false;
  bool list_chips = false;
  std::string chip;  // empty: no chip definitions
  // --config: the FIELD=SETTING list, empty to list the fields.
  std::optional<std::string> config;
  std::vector<std::string> inputs;  // as the system gave them (native text)
};

bool ends_with(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

void print_error(std::string_view text_cp932) {
  const std::string text = korva::glossed_utf8(text_cp932);
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
    const std::string name = korva::cp932_to_utf8(diagnostic.name);
    return {"--chip " + korva::chip_list_text(chips) +
            (chips.size() == 1 ? " defines " : " define ") + name};
  }

  const char* argv0_;
  std::string file_names_;
  std::optional<std::vector<korva::ChipNames>> chips_;
  // The notes already made, by name and file.
  std::map<std::string, std::vector<std::string>> notes_;
};

// Prints each diagnostic as compilers do (FILE:LINE:COLUMN: error: TEXT,
// the source line with a caret under the culprit, the notes); returns the
// number of warnings printed. They go out in one write: standard error is
// unbuffered, and a write for each would cost a system call each.
std::size_t print_diagnostics(const korva::AssemblyResult& result, const Options& options,
                              ChipHints& hints, const korva::TerminalFileNames& names) {
  std::size_t warnings = 0;
  std::string text;
  for (const korva::Diagnostic& diagnostic : result.diagnostics) {
    const bool warning = diagnostic.severity == korva::Severity::warning;
    if (warning && !options.warnings) continue;
    warnings += warning ? 1 : 0;
    text += korva::terminal_text(diagnostic, hints.notes_for(diagnostic), names);
  }
  std::fwrite(text.data(), 1, text.size(), stderr);
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

// What to assemble: the sources of the project file, found from its
// folder, or the given sources; every name as the system gave it. The
// outputs are named after -o, the project file without .amk, or the first
// source without its extension.
std::optional<korva::AssemblyInput> load_input(const Options& options, const char* argv0) {
  korva::AssemblyInput input;
  const std::string& first = options.inputs.front();
  std::string base;
  if (options.inputs.size() == 1 && ends_with(first, ".amk")) {
    input.project_file = korva::SystemPath::from_native_text(first);
    korva::Expected<std::vector<std::string>> entries =
        korva::load_project_file(input.project_file);
    if (!entries) {
      // The message names the project file as typed.
      korva::TerminalFileNames names;
      names.add(korva::shown_cp932(input.project_file), first);
      std::fprintf(stderr, "korva-asm: %s\n", names.shown_message(entries.message()).c_str());
      return std::nullopt;
    }
    input.sources =
        korva::entry_sources(*entries, input.project_file.parent(), korva::chip_directory(argv0));
    base = korva::output_base_for_project_file(first);
  } else {
    for (const std::string& name : options.inputs) {
      input.sources.push_back(korva::system_source(korva::SystemPath::from_native_text(name)));
    }
    base = korva::output_base_for_source(first, korva::SourceBaseRule::batch);
  }
  input.output_base = korva::SystemPath::from_native_text(options.output_base.value_or(base));
  return input;
}

// The terminal shows the files that the command line named as typed.
korva::TerminalFileNames terminal_file_names(const korva::AssemblyInput& input, bool project_file) {
  korva::TerminalFileNames names;
  for (std::size_t i = 0; i < input.sources.size(); ++i) {
    if (project_file && i >= input.leading_sources) break;
    names.add(input.sources[i].name, input.sources[i].path.native_text());
  }
  return names;
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

// The value of "--config=LIST" or "--config LIST"; empty for --config
// alone (last, or before another option).
std::string take_config(const std::vector<std::string>& arguments, std::size_t& i) {
  const std::string_view arg = arguments[i];
  if (arg != "--config") return std::string(arg.substr(9));
  if (i + 1 < arguments.size() && !arguments[i + 1].starts_with('-')) return arguments[++i];
  return {};
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
                                   : "unknown option '" + std::string(arg) + "'";
  std::error_code no_error;
  if (arg == "-" ||
      std::filesystem::exists(korva::SystemPath::from_native_text(arg).path(), no_error)) {
    message += "; to assemble a file named '" + std::string(arg) + "', write ./" +
               std::string(arg) + " or put it after --";
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
    } else if (arg == "--config" || arg.starts_with("--config=")) {
      options.config = take_config(arguments, i);
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
  assembly.files.temporaries = temporaries_from_environment();
  assembly.files.names = &termination.names();
  // The listing is only held in memory to be printed.
  assembly.keep_listing = options.print_listing;
  return assembly;
}

// Prints what the assembly found and the listing; returns the exit status.
int report(const korva::AssemblyResult& result, const Options& options, ChipHints& hints,
           const korva::TerminalFileNames& names) {
  switch (result.outcome) {
    case korva::AssemblyOutcome::nothing_to_do:
      print_error("the project lists no source file");
      return kExitStopped;
    case korva::AssemblyOutcome::stopped:
    case korva::AssemblyOutcome::output_failed:
      // A stop in pass 1 has its place; a file that cannot be read or
      // written has only its message.
      if (result.diagnostics.empty()) {
        std::fprintf(stderr, "korva-asm: %s: %s\n", korva::glossed_utf8(result.caption).c_str(),
                     names.shown_message(result.message).c_str());
      }
      print_diagnostics(result, options, hints, names);
      return kExitStopped;
    case korva::AssemblyOutcome::completed:
      break;
  }
  const std::size_t warnings = print_diagnostics(result, options, hints, names);
  if (options.print_listing) {
    const std::string listing = korva::cp932_to_utf8(result.listing);
    std::fwrite(listing.data(), 1, listing.size(), stdout);
  }
  const bool failed = result.error_count > 0 || (options.warnings_are_errors && warnings > 0);
  return failed ? kExitErrorsListed : kExitClean;
}

// --config: the chip's configuration lines for the choices on standard
// output, or its fields and settings without choices.
int print_configuration(const std::filesystem::path& chip_file, const Options& options) {
  const korva::FileContents text = korva::read_whole_file(chip_file);
  if (!text) {
    print_error(text.message());
    return kExitStopped;
  }
  const korva::Expected<std::optional<korva::ChipFacts>> facts = korva::read_chip_facts(*text);
  if (!facts || !*facts) {
    std::fprintf(stderr, "korva-asm: %s: %s\n", korva::cp932_from_os_path(chip_file).c_str(),
                 facts ? "no chip facts (;@ lines): regenerate it with scripts/generate_chips.py"
                       : facts.message().c_str());
    return kExitStopped;
  }
  const korva::ChipFacts& chip = **facts;
  if (options.config->empty()) {
    const std::string fields = korva::describe_config_fields(chip);
    std::fwrite(fields.data(), 1, fields.size(), stdout);
    return kExitClean;
  }
  const auto choices = korva::parse_config_choices(*options.config);
  if (!choices) return usage_error(("--config: " + choices.message()).c_str());
  const auto words = korva::configure_chip(chip, *choices);
  if (!words) {
    std::fprintf(stderr, "korva-asm: --config: %s\n", words.message().c_str());
    return kExitUsage;
  }
  const std::string lines = korva::format_config_lines(chip, *words);
  std::fwrite(lines.data(), 1, lines.size(), stdout);
  return kExitClean;
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything is allocated for the assembly and before any thread.
  // Also before any thread starts: a termination request removes named
  // temporary files, and a file size limit fails a write (reported) instead
  // of ending the process.
  korva::TerminationCleanup termination;

  const ParsedCommandLine parsed = parse_command_line(korva::native_arguments(argc, argv));
  if (parsed.exit_status) return *parsed.exit_status;
  const Options& options = parsed.options;
  if (options.list_chips) return korva::print_known_chips(argv[0]) ? kExitClean : kExitStopped;
  if (options.config) {
    if (!options.inputs.empty()) {
      return usage_error(
          "--config prints the configuration lines and assembles nothing: "
          "leave out the sources");
    }
    if (options.chip.empty()) {
      return usage_error("--config needs the chip: add --chip NAME, for example --chip 16F877A");
    }
    const std::optional<std::filesystem::path> chip_file =
        korva::chip_file_for(argv[0], options.chip);
    return chip_file ? print_configuration(*chip_file, options) : kExitUsage;
  }
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

  std::optional<korva::AssemblyInput> input = load_input(options, argv[0]);
  if (!input) return kExitStopped;
  if (chip && !input->sources.empty() &&
      korva::is_chip_file_of(input->sources.front().path.path(), options.chip)) {
    // The project starts with the chip's file already: that is the
    // definitions --chip puts in front.
    chip.reset();
    input->leading_sources = 1;
  }
  if (chip) {
    // The definitions come first; the outputs are still named after the
    // user's first source.
    input->sources.insert(input->sources.begin(), korva::system_source(korva::SystemPath(*chip)));
    input->leading_sources = 1;
  }
  const korva::TerminalFileNames names = terminal_file_names(*input, !input->project_file.empty());

  korva::Assembler assembler;
  const korva::AssemblyResult result =
      assembler.assemble(*input, assembly_options(options, processor, termination));
  ChipHints hints(argv[0], options.inputs.front());
  return report(result, options, hints, names);
}
