// The disassembler: a program image (the words of a HEX or .bin file) back
// into a project in the notation, whose assembly gives the same words at
// the same addresses. Each word is written as the first statement form that
// encodes to it, and the whole project is assembled in memory to prove it;
// a statement whose word comes out different is written again in its next
// form, the last of which is always the raw word.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "disasm/chip_description.h"
#include "disasm/memory_image.h"
#include "disasm/symbol_map.h"
#include "support/expected.h"

namespace korva {

enum class ChipInCommand { option, project_entry };

struct DisassemblyOptions {
  // The chip's definition file (its name as the project would list it, and
  // its CP932 bytes), put in front of the program as `korva-asm --chip`
  // does; empty when no chip is named.
  std::string chip_file_name;
  std::string chip_definitions;
  std::optional<ChipDescription> chip;
  // How the heading's command names the chip: with --chip, or not at all
  // because the caller puts the chip's file first in the project.
  ChipInCommand chip_in_command = ChipInCommand::option;
  // Names from the map file of the program (korva-asm --map): subroutines,
  // labels and data memory reservations take them where they fit.
  std::optional<SymbolNames> symbols;
  // The base name of the outputs: BASE.as, listed in the project file.
  std::string base_name = "program";
  // Where the words came from, for the heading remark (CP932).
  std::string input_name;
};

// How the program memory's words were written.
struct DisassemblyCounts {
  std::size_t program_words = 0;  // words in program memory
  std::size_t statements = 0;     // of them, written as notation statements
  std::size_t raw_words = 0;      // of them, written as raw words
  std::size_t unreached = 0;      // of them, never reached from a vector
  std::size_t other_words = 0;    // configuration, ID and EEPROM words
  std::size_t data_bytes = 0;     // lone bytes, written with DE
  std::size_t assemblies = 0;     // assemblies the proof took
};

struct Disassembly {
  std::string source;   // BASE.as: CP932, CR LF
  std::string project;  // BASE.amk
  DisassemblyCounts counts;
};

// The project for `words`, proven to assemble to them; a failure when no
// project could be made to (the message says at which address).
Expected<Disassembly> disassemble(const ImageContents& image, const DisassemblyOptions& options);
Expected<Disassembly> disassemble(const WordImage& words, const DisassemblyOptions& options);

// The same from a file's bytes: Intel HEX or a .bin image. A failure's
// message names what is wrong with the input (and for HEX, the line).
Expected<Disassembly> disassemble(std::string_view file_bytes, ImageFormat format,
                                  const DisassemblyOptions& options);

}  // namespace korva
