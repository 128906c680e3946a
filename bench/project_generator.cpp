#include "bench/project_generator.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <string_view>

namespace korva::bench {
namespace {

// Table sizes of every generated project, whatever its length: 100
// constants, 100 data-memory cells, 200 subroutines with two local labels
// each and 100 global labels make 900 symbols; 100 macros.
constexpr std::size_t kConstants = 100;
constexpr std::size_t kVariables = 100;
constexpr std::size_t kSubroutines = 200;
constexpr std::size_t kGlobalLabels = 100;
constexpr std::size_t kMacros = 100;
constexpr std::size_t kMacroBodyLines = 3;

// A small deterministic generator, so that a size always gives the same text.
class Random {
 public:
  std::size_t below(std::size_t bound) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::size_t>(state_ >> 33) % bound;
  }
  bool chance(std::size_t percent) { return below(100) < percent; }

 private:
  std::uint64_t state_ = 0x4B4F525641ULL;
};

// Instruction forms: "%f" stands for a file register, "%k" for a literal,
// "%b" for a bit number.
constexpr std::array<std::string_view, 44> kForms = {
    "%f+1>W",     "%f+1>F",       "%f-1>W",       "%f-1>F", "%f+1(Z)->", "%f-1(Z)->", "%f+1",
    "%f-1",       "W+%f>W",       "W+%f>F",       "W+%k>W", "W^%f>W",    "W^%k>W",    "WV%f>F",
    "WV%k>W",     "W\\%f>W",      "W\\%k>W",      "%f-W>F", "%k-W>W",    "RET %k>W",  "<<%f<<->W",
    "<<%f<<",     ">>%f>>->F",    ">>%f>>",       "/%f>W",  "00>W",      "00>%f",     "%f_BIT%b<0",
    "%f_BIT%b<1", "%f_BIT%b=0->", "%f_BIT%b=1->", "W>%f",   "SWAP%f>W",  "SWAP%f",    "%k>W",
    "%f>W",       "%f>F",         "NOP",          "CLRWDT", "nop",       "w+%k>w",    "%f_bit%b<1",
    "swap%f>w",   "W>%f",
};

constexpr std::array<std::string_view, 5> kLiterals = {"$0F", "0FFh", "H'3C'", "25", "$7f"};

// Shift-JIS remark text ("loop counter").
constexpr std::string_view kJapaneseRemark =
    "\x83\x8b\x81\x5b\x83\x76\x83\x4a\x83\x45\x83\x93\x83\x5e";

// A name made of a prefix and a number, as "V12" or "PROC3".
std::string numbered(std::string_view prefix, std::size_t n) {
  std::string text(prefix);
  text += std::to_string(n);
  return text;
}

std::string register_operand(Random& random) {
  std::string text = "(";
  text += numbered("V", random.below(kVariables));
  if (random.chance(5)) text += "+2";
  text += ')';
  return text;
}

std::string literal_operand(Random& random) {
  if (random.chance(50)) return numbered("K", random.below(kConstants));
  return std::string(kLiterals[random.below(kLiterals.size())]);
}

std::string instruction(Random& random) {
  const std::string_view form = kForms[random.below(kForms.size())];
  std::string text;
  for (std::size_t i = 0; i < form.size(); ++i) {
    if (form[i] != '%' || i + 1 == form.size()) {
      text += form[i];
      continue;
    }
    const char place = form[++i];
    if (place == 'f') text += register_operand(random);
    if (place == 'k') text += literal_operand(random);
    if (place == 'b') text += static_cast<char>('0' + random.below(8));
  }
  return text;
}

// Where a body line stands: jumps go to local labels in a subroutine and to
// global labels in the main code.
struct Scope {
  bool in_subroutine = false;
};

std::string statement(Random& random, const Scope& scope) {
  const std::size_t roll = random.below(100);
  if (roll < 8) {
    return scope.in_subroutine ? numbered("===->L", 1 + random.below(2))
                               : numbered("===->G", random.below(kGlobalLabels));
  }
  if (roll < 16) return numbered("PROC", random.below(kSubroutines));
  if (roll < 20) return numbered("MAC", random.below(kMacros));
  if (roll < 22) return numbered("DE ", 2 + random.below(200));
  if (roll < 23) return "\\3FFF";
  return instruction(random);
}

void add_line(GeneratedSource& source, std::string& text, std::string_view line) {
  text += line;
  text += "\r\n";
  ++source.lines;
}

// One line of code, with indentation, a label if given, and sometimes a remark.
std::string code_line(Random& random, const Scope& scope, std::string_view label = {}) {
  std::string line(label);
  line += random.chance(50) ? "\t" : "        ";
  line += statement(random, scope);
  if (random.chance(20)) line += numbered("   ; step ", random.below(1000));
  if (random.chance(3)) {
    line += "\t; ";
    line += kJapaneseRemark;
  }
  return line;
}

// A remark line or a blank line instead of code, now and then.
bool filler_line(GeneratedSource& source, std::string& text, Random& random) {
  if (!random.chance(7)) return false;
  add_line(source, text, random.chance(80) ? "; ---- remark ----" : "");
  return true;
}

// Constant values in every number notation: decimal, $hex, H'hex' and hex h.
std::string constant_value(std::size_t n) {
  const std::string digit = std::to_string(n % 10);
  std::string text;
  switch (n % 4) {
    case 1:
      text = "$0";
      text += digit;
      text += 'A';
      break;
    case 2:
      text = "H'2";
      text += digit;
      text += '\'';
      break;
    case 3:
      text = "0";
      text += digit;
      text += "Bh";
      break;
    default:
      text = std::to_string((n * 37) % 256);
  }
  return text;
}

void write_definitions(GeneratedSource& source, Random& random) {
  std::string& text = source.definitions;
  add_line(source, text, "; generated definitions: constants, data memory, macros");
  for (std::size_t n = 0; n < kConstants; ++n) {
    std::string line = numbered("K", n);
    line += n % 2 == 0 ? " EQU " : "::\t=";
    line += constant_value(n);
    add_line(source, text, line);
  }
  add_line(source, text, "RAM=20h");
  for (std::size_t n = 0; n < kVariables; ++n) {
    std::string line = numbered("V", n);
    line += n % 10 == 0 ? ":: [2]" : ":: [1]";
    add_line(source, text, line);
  }
  for (std::size_t n = 0; n < kMacros; ++n) {
    add_line(source, text, numbered("MACRO MAC", n));
    for (std::size_t i = 0; i < kMacroBodyLines; ++i) {
      std::string line = "\t";
      line += instruction(random);
      add_line(source, text, line);
    }
    // Every macro but the first of each five calls the one before it, so
    // expansions nest up to five deep.
    if (n % 5 != 0) add_line(source, text, numbered("\tMAC", n - 1));
    add_line(source, text, "END MACRO");
  }
}

void write_main(GeneratedSource& source, Random& random, std::size_t body_lines) {
  std::string& text = source.program;
  const Scope scope{false};
  add_line(source, text, "; generated program");
  add_line(source, text, "ORG 0");
  add_line(source, text, "\t===->G0");
  add_line(source, text, "ORG 4");
  for (std::size_t n = 0; n < body_lines; ++n) {
    const std::size_t label = n * kGlobalLabels / body_lines;
    if ((n * kGlobalLabels) % body_lines < kGlobalLabels) {
      add_line(source, text, code_line(random, scope, numbered("G", label) + "::"));
    } else if (!filler_line(source, text, random)) {
      add_line(source, text, code_line(random, scope));
    }
  }
  add_line(source, text, "\t===->G0");
}

void write_subroutine(GeneratedSource& source, Random& random, std::size_t n,
                      std::size_t body_lines) {
  std::string& text = source.program;
  const Scope scope{true};
  add_line(source, text, numbered("SUB PROC", n));
  for (std::size_t i = 0; i < body_lines; ++i) {
    if (i == body_lines / 3 || i == 2 * body_lines / 3) {
      add_line(source, text, code_line(random, scope, i == body_lines / 3 ? "L1:" : "L2:"));
    } else if (!filler_line(source, text, random)) {
      add_line(source, text, code_line(random, scope));
    }
  }
  add_line(source, text, "END SUB");
}

}  // namespace

GeneratedSource generate_source(std::size_t lines) {
  GeneratedSource source;
  Random random;
  write_definitions(source, random);
  const std::size_t fixed = source.lines + 5 + 2 * kSubroutines;
  const std::size_t rest = lines > fixed + 5 * kSubroutines ? lines - fixed : 5 * kSubroutines;
  const std::size_t main_lines = std::max(kGlobalLabels, rest / 5);
  const std::size_t per_subroutine = (rest - main_lines) / kSubroutines;
  const std::size_t extra = (rest - main_lines) % kSubroutines;
  write_main(source, random, main_lines);
  for (std::size_t n = 0; n < kSubroutines; ++n) {
    write_subroutine(source, random, n, per_subroutine + (n < extra ? 1 : 0));
  }
  return source;
}

GeneratedProject write_project(const std::filesystem::path& directory, std::size_t lines) {
  const GeneratedSource source = generate_source(lines);
  std::filesystem::create_directories(directory);
  GeneratedProject project;
  project.directory = directory;
  project.entries = {"defs.inc", "main.as"};
  project.project_file = directory / "bench.amk";
  project.output_base = directory / "bench";
  project.lines = source.lines;
  project.source_bytes = source.definitions.size() + source.program.size();
  std::ofstream(directory / "defs.inc", std::ios::binary) << source.definitions;
  std::ofstream(directory / "main.as", std::ios::binary) << source.program;
  std::ofstream(project.project_file, std::ios::binary) << "defs.inc\r\nmain.as\r\n";
  return project;
}

}  // namespace korva::bench
