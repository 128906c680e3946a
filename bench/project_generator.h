// Writes synthetic KORVA projects of a given number of source lines for the
// benchmarks: every kind of instruction, labels, constants, data memory,
// subroutine calls, macros and remarks, within the limits of the symbol and
// macro tables, assembling without errors. The same program can be written
// in standard Microchip mnemonics (MPASM syntax, as gputils' gpasm reads
// it), so that another assembler can be timed on the same work.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace korva::bench {

enum class Notation {
  korva,  // the KORVA operator notation
  mpasm,  // Microchip mnemonics: incf V3,W, goto G5, call PROC7, ...
};

// How many subroutines and global labels a program defines. The full
// tables make 900 symbols; a chip file's names come on top of the program's
// (the 16F877A's are 338, and the table holds 1000), so a program for a chip
// takes the smaller tables: 550 symbols.
struct TableSizes {
  std::size_t subroutines = 200;
  std::size_t global_labels = 100;
};
inline constexpr TableSizes kFullTables{};
inline constexpr TableSizes kChipTables{100, 50};

struct GeneratorOptions {
  Notation notation = Notation::korva;
  // DE lines. A KORVA data byte adds one byte to the image and no address,
  // which the mnemonics cannot express (their de is a whole word); without
  // data bytes, raw code words stand in their place and the image of either
  // notation holds the program word of every address.
  bool data_bytes = true;
  TableSizes tables = kFullTables;
};

struct GeneratedSource {
  std::string definitions;  // defs.inc: constants, data memory, macros
  std::string program;      // main.as: main code and subroutines
  std::size_t lines = 0;    // source lines of both texts together
};

// The same `lines` and options always give the same bytes. Both notations
// draw the same choices: statement for statement the same program.
GeneratedSource generate_source(std::size_t lines, const GeneratorOptions& options = {});

struct GeneratedProject {
  std::filesystem::path directory;
  std::filesystem::path project_file;  // bench.amk, listing the two sources
  std::vector<std::string> entries;    // "defs.inc", "main.as"
  std::filesystem::path output_base;   // directory / "bench"
  std::size_t lines = 0;
  std::size_t source_bytes = 0;
};

// Writes defs.inc, main.as and bench.amk into `directory` (created if needed).
GeneratedProject write_project(const std::filesystem::path& directory, std::size_t lines,
                               bool data_bytes = true, TableSizes tables = kFullTables);

// Writes the same program in Microchip mnemonics as one file, bench.asm, into
// `directory` (created if needed); returns its path.
std::filesystem::path write_mpasm_program(const std::filesystem::path& directory, std::size_t lines,
                                          bool data_bytes = true, TableSizes tables = kFullTables);

}  // namespace korva::bench
