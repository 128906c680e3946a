// Writes synthetic KORVA projects of a given number of source lines for the
// benchmarks: every kind of instruction, labels, constants, data memory,
// subroutine calls, macros and remarks, within the limits of the symbol and
// macro tables, assembling without errors.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace korva::bench {

struct GeneratedSource {
  std::string definitions;  // defs.inc: constants, data memory, macros
  std::string program;      // main.as: main code and subroutines
  std::size_t lines = 0;    // source lines of both texts together
};

// The same `lines` always gives the same bytes.
GeneratedSource generate_source(std::size_t lines);

struct GeneratedProject {
  std::filesystem::path directory;
  std::filesystem::path project_file;  // bench.amk, listing the two sources
  std::vector<std::string> entries;    // "defs.inc", "main.as"
  std::filesystem::path output_base;   // directory / "bench"
  std::size_t lines = 0;
  std::size_t source_bytes = 0;
};

// Writes defs.inc, main.as and bench.amk into `directory` (created if needed).
GeneratedProject write_project(const std::filesystem::path& directory, std::size_t lines);

}  // namespace korva::bench
