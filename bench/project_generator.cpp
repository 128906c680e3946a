#include "bench/project_generator.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <string_view>

namespace korva::bench {
namespace {

// Table sizes of every generated project, whatever its length: 100
// constants, 100 data-memory cells, the subroutines (two local labels each)
// and global labels of its TableSizes; 100 macros.
constexpr std::size_t kConstants = 100;
constexpr std::size_t kVariables = 100;
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

// One text in each notation.
struct Spelling {
  std::string_view korva;
  std::string_view mpasm;
};

// Instruction forms: "%f" stands for a file register, "%k" for a literal,
// "%b" for a bit number. Each form has at most one of each, the register
// first, so both spellings take the operands in the same order.
constexpr std::array<Spelling, 44> kForms = {{
    {"%f+1>W", "incf %f,W"},
    {"%f+1>F", "incf %f,F"},
    {"%f-1>W", "decf %f,W"},
    {"%f-1>F", "decf %f,F"},
    {"%f+1(Z)->", "incfsz %f,F"},
    {"%f-1(Z)->", "decfsz %f,F"},
    {"%f+1", "incf %f,F"},
    {"%f-1", "decf %f,F"},
    {"W+%f>W", "addwf %f,W"},
    {"W+%f>F", "addwf %f,F"},
    {"W+%k>W", "addlw %k"},
    {"W^%f>W", "andwf %f,W"},
    {"W^%k>W", "andlw %k"},
    {"WV%f>F", "iorwf %f,F"},
    {"WV%k>W", "iorlw %k"},
    {"W\\%f>W", "xorwf %f,W"},
    {"W\\%k>W", "xorlw %k"},
    {"%f-W>F", "subwf %f,F"},
    {"%k-W>W", "sublw %k"},
    {"RET %k>W", "retlw %k"},
    {"<<%f<<->W", "rlf %f,W"},
    {"<<%f<<", "rlf %f,F"},
    {">>%f>>->F", "rrf %f,F"},
    {">>%f>>", "rrf %f,F"},
    {"/%f>W", "comf %f,W"},
    {"00>W", "clrw"},
    {"00>%f", "clrf %f"},
    {"%f_BIT%b<0", "bcf %f,%b"},
    {"%f_BIT%b<1", "bsf %f,%b"},
    {"%f_BIT%b=0->", "btfsc %f,%b"},
    {"%f_BIT%b=1->", "btfss %f,%b"},
    {"W>%f", "movwf %f"},
    {"SWAP%f>W", "swapf %f,W"},
    {"SWAP%f", "swapf %f,F"},
    {"%k>W", "movlw %k"},
    {"%f>W", "movf %f,W"},
    {"%f>F", "movf %f,F"},
    {"NOP", "nop"},
    {"CLRWDT", "clrwdt"},
    {"nop", "nop"},
    {"w+%k>w", "addlw %k"},
    {"%f_bit%b<1", "bsf %f,%b"},
    {"swap%f>w", "swapf %f,W"},
    {"W>%f", "movwf %f"},
}};

constexpr std::array<Spelling, 5> kLiterals = {
    {{"$0F", "0x0F"}, {"0FFh", "0FFh"}, {"H'3C'", "H'3C'"}, {"25", "25"}, {"$7f", "0x7f"}}};

// Shift-JIS remark text ("loop counter").
constexpr std::string_view kJapaneseRemark =
    "\x83\x8b\x81\x5b\x83\x76\x83\x4a\x83\x45\x83\x93\x83\x5e";

// The first lines of the mnemonic program: the processor, decimal numbers as
// in the KORVA notation, and no messages about banks and pages, which the
// KORVA assembler reports once each, nor about addresses beyond the
// processor's 8K words, which it does not know of (a 50k-line program
// reaches 0xE7A8).
constexpr std::array<std::string_view, 3> kMpasmHeader = {"\tprocessor p16f877a", "\tradix dec",
                                                          "\terrorlevel -302, -306, -220"};

// A name made of a prefix and a number, as "V12" or "PROC3".
std::string numbered(std::string_view prefix, std::size_t n) {
  std::string text(prefix);
  text += std::to_string(n);
  return text;
}

class Writer {
 public:
  Writer(const GeneratorOptions& options, GeneratedSource& source)
      : options_(options), source_(source) {}

  std::string_view pick(const Spelling& spelling) const {
    return mpasm() ? spelling.mpasm : spelling.korva;
  }
  bool mpasm() const { return options_.notation == Notation::mpasm; }
  bool data_bytes() const { return options_.data_bytes; }
  std::size_t subroutines() const { return options_.tables.subroutines; }
  std::size_t global_labels() const { return options_.tables.global_labels; }

  void add_line(std::string& text, std::string_view line) {
    text += line;
    text += "\r\n";
    ++source_.lines;
  }
  std::string& definitions() { return source_.definitions; }
  std::string& program() { return source_.program; }
  std::size_t lines() const { return source_.lines; }

 private:
  const GeneratorOptions& options_;
  GeneratedSource& source_;
};

std::string register_operand(Random& random, const Writer& writer) {
  std::string text = writer.mpasm() ? "" : "(";
  text += numbered("V", random.below(kVariables));
  if (random.chance(5)) text += "+2";
  if (!writer.mpasm()) text += ')';
  return text;
}

std::string literal_operand(Random& random, const Writer& writer) {
  if (random.chance(50)) return numbered("K", random.below(kConstants));
  return std::string(writer.pick(kLiterals[random.below(kLiterals.size())]));
}

// Replaces the operand places of `form` by the operand texts.
std::string fill_in(std::string_view form, const std::string& file_register,
                    const std::string& literal, const std::string& bit) {
  std::string text;
  for (std::size_t i = 0; i < form.size(); ++i) {
    if (form[i] != '%' || i + 1 == form.size()) {
      text += form[i];
      continue;
    }
    const char place = form[++i];
    if (place == 'f') text += file_register;
    if (place == 'k') text += literal;
    if (place == 'b') text += bit;
  }
  return text;
}

std::string instruction(Random& random, const Writer& writer) {
  const Spelling& form = kForms[random.below(kForms.size())];
  // The operands are drawn in the order in which the KORVA form names them.
  std::string file_register;
  std::string literal;
  std::string bit;
  for (std::size_t i = 0; i + 1 < form.korva.size(); ++i) {
    if (form.korva[i] != '%') continue;
    const char place = form.korva[++i];
    if (place == 'f') file_register = register_operand(random, writer);
    if (place == 'k') literal = literal_operand(random, writer);
    if (place == 'b') bit = std::string(1, static_cast<char>('0' + random.below(8)));
  }
  return fill_in(writer.pick(form), file_register, literal, bit);
}

// Where a body line stands: jumps go to local labels in a subroutine and to
// global labels in the main code.
struct Scope {
  bool in_subroutine = false;
  std::size_t subroutine = 0;
};

// A local label of the scope's subroutine, L1 or L2. The mnemonics have no
// local labels, so there it carries the subroutine's name.
std::string local_label(const Writer& writer, const Scope& scope, std::size_t n) {
  if (!writer.mpasm()) return numbered("L", n);
  return numbered("PROC", scope.subroutine) + numbered("_L", n);
}

std::string statement(Random& random, const Writer& writer, const Scope& scope) {
  const std::size_t roll = random.below(100);
  const std::string_view jump = writer.mpasm() ? "goto " : "===->";
  if (roll < 8) {
    std::string text(jump);
    text += scope.in_subroutine ? local_label(writer, scope, 1 + random.below(2))
                                : numbered("G", random.below(writer.global_labels()));
    return text;
  }
  if (roll < 16) {
    return (writer.mpasm() ? "call " : "") + numbered("PROC", random.below(writer.subroutines()));
  }
  if (roll < 20) return numbered("MAC", random.below(kMacros));
  const std::string_view raw_word = writer.mpasm() ? "dw 0x3FFF" : "\\3FFF";
  if (roll < 22) {
    const std::string data = numbered(writer.mpasm() ? "de " : "DE ", 2 + random.below(200));
    return writer.data_bytes() ? data : std::string(raw_word);
  }
  if (roll < 23) return std::string(raw_word);
  return instruction(random, writer);
}

// One line of code, with indentation, a label if given, and sometimes a remark.
std::string code_line(Random& random, const Writer& writer, const Scope& scope,
                      std::string_view label = {}) {
  std::string line(label);
  line += random.chance(50) ? "\t" : "        ";
  line += statement(random, writer, scope);
  if (random.chance(20)) line += numbered("   ; step ", random.below(1000));
  if (random.chance(3)) {
    line += "\t; ";
    line += kJapaneseRemark;
  }
  return line;
}

// A remark line or a blank line instead of code, now and then.
bool filler_line(Writer& writer, std::string& text, Random& random) {
  if (!random.chance(7)) return false;
  writer.add_line(text, random.chance(80) ? "; ---- remark ----" : "");
  return true;
}

// Constant values in every number notation: decimal, $hex, H'hex' and hex h.
std::string constant_value(std::size_t n, const Writer& writer) {
  const std::string digit = std::to_string(n % 10);
  std::string text;
  switch (n % 4) {
    case 1:
      text = writer.mpasm() ? "0x0" : "$0";
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

void write_constants(Writer& writer) {
  std::string& text = writer.definitions();
  for (std::size_t n = 0; n < kConstants; ++n) {
    std::string line = numbered("K", n);
    if (writer.mpasm()) {
      line += " EQU ";
    } else {
      line += n % 2 == 0 ? " EQU " : "::\t=";
    }
    line += constant_value(n, writer);
    writer.add_line(text, line);
  }
}

void write_variables(Writer& writer) {
  std::string& text = writer.definitions();
  writer.add_line(text, writer.mpasm() ? "\tcblock 20h" : "RAM=20h");
  for (std::size_t n = 0; n < kVariables; ++n) {
    std::string line = writer.mpasm() ? "\t" : "";
    line += numbered("V", n);
    if (writer.mpasm()) {
      if (n % 10 == 0) line += ":2";
    } else {
      line += n % 10 == 0 ? ":: [2]" : ":: [1]";
    }
    writer.add_line(text, line);
  }
  if (writer.mpasm()) writer.add_line(text, "\tendc");
}

void write_macros(Writer& writer, Random& random) {
  std::string& text = writer.definitions();
  for (std::size_t n = 0; n < kMacros; ++n) {
    writer.add_line(text,
                    writer.mpasm() ? numbered("MAC", n) + "\tmacro" : numbered("MACRO MAC", n));
    for (std::size_t i = 0; i < kMacroBodyLines; ++i) {
      std::string line = "\t";
      line += instruction(random, writer);
      writer.add_line(text, line);
    }
    // Every macro but the first of each five calls the one before it, so
    // expansions nest up to five deep.
    if (n % 5 != 0) writer.add_line(text, numbered("\tMAC", n - 1));
    writer.add_line(text, writer.mpasm() ? "\tendm" : "END MACRO");
  }
}

void write_definitions(Writer& writer, Random& random) {
  if (writer.mpasm()) {
    for (const std::string_view line : kMpasmHeader) writer.add_line(writer.definitions(), line);
  }
  writer.add_line(writer.definitions(), "; generated definitions: constants, data memory, macros");
  write_constants(writer);
  write_variables(writer);
  write_macros(writer, random);
}

void write_main(Writer& writer, Random& random, std::size_t body_lines) {
  std::string& text = writer.program();
  const Scope scope{false, 0};
  const std::string jump_to_start = writer.mpasm() ? "\tgoto G0" : "\t===->G0";
  writer.add_line(text, "; generated program");
  writer.add_line(text, writer.mpasm() ? "\torg 0" : "ORG 0");
  writer.add_line(text, jump_to_start);
  writer.add_line(text, writer.mpasm() ? "\torg 4" : "ORG 4");
  const std::size_t labels = writer.global_labels();
  for (std::size_t n = 0; n < body_lines; ++n) {
    const std::size_t label = n * labels / body_lines;
    if ((n * labels) % body_lines < labels) {
      const std::string name = numbered("G", label) + (writer.mpasm() ? ":" : "::");
      writer.add_line(text, code_line(random, writer, scope, name));
    } else if (!filler_line(writer, text, random)) {
      writer.add_line(text, code_line(random, writer, scope));
    }
  }
  writer.add_line(text, jump_to_start);
}

void write_subroutine(Writer& writer, Random& random, std::size_t n, std::size_t body_lines) {
  std::string& text = writer.program();
  const Scope scope{true, n};
  writer.add_line(text, writer.mpasm() ? numbered("PROC", n) : numbered("SUB PROC", n));
  for (std::size_t i = 0; i < body_lines; ++i) {
    if (i == body_lines / 3 || i == 2 * body_lines / 3) {
      const std::string label = local_label(writer, scope, i == body_lines / 3 ? 1 : 2) + ":";
      writer.add_line(text, code_line(random, writer, scope, label));
    } else if (!filler_line(writer, text, random)) {
      writer.add_line(text, code_line(random, writer, scope));
    }
  }
  writer.add_line(text, writer.mpasm() ? "\treturn" : "END SUB");
}

}  // namespace

GeneratedSource generate_source(std::size_t lines, const GeneratorOptions& options) {
  GeneratedSource source;
  Writer writer(options, source);
  Random random;
  write_definitions(writer, random);
  // The length is planned on the KORVA text, so that both notations hold the
  // same statements.
  const std::size_t header_lines = writer.mpasm() ? kMpasmHeader.size() + 1 : 0;
  const std::size_t subroutines = writer.subroutines();
  const std::size_t fixed = writer.lines() - header_lines + 5 + 2 * subroutines;
  const std::size_t rest = lines > fixed + 5 * subroutines ? lines - fixed : 5 * subroutines;
  const std::size_t main_lines = std::max(writer.global_labels(), rest / 5);
  const std::size_t per_subroutine = (rest - main_lines) / subroutines;
  const std::size_t extra = (rest - main_lines) % subroutines;
  write_main(writer, random, main_lines);
  for (std::size_t n = 0; n < subroutines; ++n) {
    write_subroutine(writer, random, n, per_subroutine + (n < extra ? 1 : 0));
  }
  if (writer.mpasm()) writer.add_line(source.program, "\tend");
  return source;
}

GeneratedProject write_project(const std::filesystem::path& directory, std::size_t lines,
                               bool data_bytes, TableSizes tables) {
  const GeneratedSource source = generate_source(lines, {Notation::korva, data_bytes, tables});
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

std::filesystem::path write_mpasm_program(const std::filesystem::path& directory, std::size_t lines,
                                          bool data_bytes, TableSizes tables) {
  const GeneratedSource source = generate_source(lines, {Notation::mpasm, data_bytes, tables});
  std::filesystem::create_directories(directory);
  std::filesystem::path path = directory / "bench.asm";
  std::ofstream(path, std::ios::binary) << source.definitions << source.program;
  return path;
}

}  // namespace korva::bench
