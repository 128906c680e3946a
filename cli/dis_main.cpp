// korva-dis: a program image (Intel HEX or korva-asm's .bin) back into a
// project in the notation, BASE.as and BASE.amk, whose assembly gives the
// same words at the same addresses.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/chip_options.h"
#include "cli/termination.h"
#include "disasm/chip_description.h"
#include "disasm/disassembler.h"
#include "project/chip_files.h"
#include "system/file_io.h"
#include "system/output_set.h"
#include "system/system_path.h"
#include "system/text_encoding.h"

namespace {

constexpr int kExitClean = 0;
constexpr int kExitStopped = 2;
constexpr int kExitUsage = 64;

constexpr std::string_view kUsage =
    "usage: korva-dis [options] [--] FILE.hex|FILE.bin\n"
    "\n"
    "Writes BASE.as and BASE.amk, a project in the notation that korva-asm (with\n"
    "the same --chip) assembles to the same words at the same addresses: program\n"
    "words, configuration words, ID locations and EEPROM data. BASE is the input\n"
    "file without its extension. FILE.bin is read as korva-asm writes it; any\n"
    "other file as Intel HEX (INHX8M, INHX32).\n"
    "\n"
    "options:\n"
    "  -o BASE         name the output files BASE.as and BASE.amk\n"
    "      --chip NAME use the chip's memory, register, bit and configuration names\n"
    "      --symbols FILE\n"
    "                  take the names of subroutines, labels and reservations from\n"
    "                  the program's map file (korva-asm --map)\n"
    "  -s, --stats     print how many words became statements and raw words\n"
    "  -h, --help      show this help\n"
    "      --version   show the version\n"
    "  --              end of the options: the next argument names the file\n"
    "\n"
    "exit status: 0 written, 2 input refused or output not written, 64 bad usage\n";

struct Options {
  std::string input;
  std::optional<std::string> output_base;
  std::string chip;
  std::optional<std::string> symbols;
  bool stats = false;
};

int usage_error(const std::string& message) {
  std::fprintf(stderr, "korva-dis: %s\n%s", message.c_str(), kUsage.data());
  return kExitUsage;
}

// The options, or the exit status the command line ends with at once.
std::optional<int> parse(const std::vector<std::string>& arguments, Options& options) {
  bool options_done = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string_view arg = arguments[i];
    if (options_done || !arg.starts_with('-') || arg == "-") {
      if (!options.input.empty()) return usage_error("one input file only");
      options.input = arg;
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage.data(), stdout);
      return kExitClean;
    } else if (arg == "--version") {
      std::printf("korva-dis %s\n", KORVA_VERSION);
      return kExitClean;
    } else if (arg == "--symbols") {
      if (i + 1 == arguments.size()) return usage_error("option '--symbols' needs a file");
      options.symbols = arguments[++i];
    } else if (arg == "-o" || arg == "--chip") {
      if (i + 1 == arguments.size())
        return usage_error("option '" + std::string(arg) + "' needs a value");
      (arg == "-o" ? options.output_base.emplace() : options.chip) = arguments[++i];
    } else if (arg.starts_with("--chip=")) {
      options.chip = arg.substr(7);
    } else if (arg == "-s" || arg == "--stats") {
      options.stats = true;
    } else if (arg == "--") {
      options_done = true;
    } else {
      return usage_error("unknown option '" + korva::cp932_to_utf8(arg) + "'");
    }
  }
  if (options.input.empty()) return usage_error("no input file");
  if (options.output_base && options.output_base->empty()) return usage_error("empty -o");
  return std::nullopt;
}

void print_error(const std::string& text) {
  std::fprintf(stderr, "korva-dis: %s\n", korva::cp932_to_utf8(text).c_str());
}

// BASE: -o, or the input without its extension.
std::filesystem::path output_base(const Options& options) {
  if (options.output_base) return korva::SystemPath::from_native_text(*options.output_base).path();
  std::filesystem::path base = korva::SystemPath::from_native_text(options.input).path();
  base.replace_extension();
  return base;
}

korva::TemporaryKind temporaries_from_environment() {
  const char* value = std::getenv("KORVA_TEMPORARY_FILES");
  return value != nullptr && std::string_view(value) == "named"
             ? korva::TemporaryKind::named
             : korva::TemporaryKind::unnamed_where_possible;
}

// Both files whole, or neither.
korva::Expected<void> write_outputs(const std::filesystem::path& base,
                                    const korva::Disassembly& made, korva::TemporaryNames& names) {
  std::filesystem::path source = base;
  source += ".as";
  std::filesystem::path project = base;
  project += ".amk";
  korva::FileWriteOptions write_options;
  write_options.temporaries = temporaries_from_environment();
  write_options.names = &names;
  korva::OutputSet set({source, project}, write_options);
  if (korva::Expected<void> prepared = set.prepare(); !prepared) return prepared;
  const std::string_view contents[] = {made.source, made.project};
  for (std::size_t i = 0; i < set.size(); ++i) {
    korva::AtomicFile& file = set.file(i);
    korva::Expected<void> written = file.open();
    if (written) written = file.write(contents[i]);
    if (written) written = file.close();
    if (!written) {
      set.discard();
      return written;
    }
  }
  return set.commit();
}

// The chip's description and definitions; none, after a message, when
// there is no such chip.
bool load_chip(const char* argv0, const std::string& chip, korva::DisassemblyOptions& options) {
  const std::optional<std::filesystem::path> file = korva::chip_file_for(argv0, chip);
  if (!file) return false;
  korva::FileContents text = korva::read_whole_file(*file);
  if (!text) {
    print_error(text.message());
    return false;
  }
  options.chip_file_name = korva::cp932_from_os_path(*file);
  options.chip_definitions = *text;
  korva::Expected<korva::ChipDescription> description =
      korva::read_chip_description(korva::cp932_from_os_path(file->stem()), *text);
  if (!description) {
    print_error(options.chip_file_name + ": " + description.message());
    return false;
  }
  options.chip = std::move(*description);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  korva::TerminationCleanup termination;
  Options options;
  if (const std::optional<int> status = parse(korva::native_arguments(argc, argv), options)) {
    return *status;
  }
  korva::DisassemblyOptions dis;
  if (!options.chip.empty() && !load_chip(argv[0], options.chip, dis)) return kExitUsage;
  if (options.symbols) {
    korva::FileContents map =
        korva::read_whole_file(korva::SystemPath::from_native_text(*options.symbols).path());
    if (!map) {
      print_error(map.message());
      return kExitStopped;
    }
    dis.symbols = korva::read_symbol_map(*map);
  }
  const std::filesystem::path base = output_base(options);
  dis.base_name = korva::cp932_from_os_path(base.filename());
  dis.input_name = korva::cp932_from_os_path(
      korva::SystemPath::from_native_text(options.input).path().filename());

  korva::FileContents bytes =
      korva::read_whole_file(korva::SystemPath::from_native_text(options.input).path());
  if (!bytes) {
    print_error(bytes.message());
    return kExitStopped;
  }
  const korva::Expected<korva::Disassembly> made =
      korva::disassemble(*bytes, korva::image_format_of(options.input), dis);
  if (!made) {
    print_error(options.input + ": " + made.message());
    return kExitStopped;
  }
  if (korva::Expected<void> written = write_outputs(base, *made, termination.names()); !written) {
    print_error(written.message());
    return kExitStopped;
  }
  if (options.stats) {
    const korva::DisassemblyCounts& counts = made->counts;
    const std::string line = "program words " + std::to_string(counts.program_words) +
                             ": statements " + std::to_string(counts.statements) + ", raw words " +
                             std::to_string(counts.raw_words) + " (not reached " +
                             std::to_string(counts.unreached) + "); other words " +
                             std::to_string(counts.other_words) + "\n";
    std::fputs(line.c_str(), stdout);
  }
  return kExitClean;
}
