// korva-bench-project DIRECTORY LINES: writes a generated project of about
// LINES source lines (defs.inc, main.as and bench.amk) into DIRECTORY, for
// korva-asm runs under /usr/bin/time and for comparing outputs byte by byte.
//
// korva-bench-project --assemble DIRECTORY: assembles the project written
// there once, with a host that shows nothing, so that /usr/bin/time measures
// the assembler core alone.
//
// korva-bench-project --mpasm DIRECTORY LINES: writes the same program in
// Microchip mnemonics into DIRECTORY/bench.asm, for timing gputils' gpasm.
//
// With --chip after LINES, either program has the smaller symbol tables that
// leave room for a chip file's names (korva-asm --chip 16F877A, gpasm -p
// 16f877a).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string_view>

#include "bench/bench_projects.h"
#include "project/assembler.h"

namespace {

constexpr int kExitUsage = 64;

korva::bench::TableSizes tables_for(int argc, char** argv, int at) {
  return argc > at && std::string_view(argv[at]) == "--chip" ? korva::bench::kChipTables
                                                             : korva::bench::kFullTables;
}

int write(const char* directory, const char* lines, korva::bench::TableSizes tables) {
  const korva::bench::GeneratedProject project =
      korva::bench::write_project(directory, std::strtoul(lines, nullptr, 10), true, tables);
  std::printf("%s: %zu lines, %zu bytes\n", project.project_file.string().c_str(), project.lines,
              project.source_bytes);
  return 0;
}

int write_mpasm(const char* directory, const char* lines, korva::bench::TableSizes tables) {
  const std::filesystem::path path =
      korva::bench::write_mpasm_program(directory, std::strtoul(lines, nullptr, 10), true, tables);
  std::printf("%s\n", path.string().c_str());
  return 0;
}

int assemble(const char* directory) {
  const std::filesystem::path folder(directory);
  korva::ProjectState project;
  project.entries = {"defs.inc", "main.as"};
  project.entry_directory = folder;
  project.project_file_path = korva::SystemPath(folder / "bench.amk");
  project.output_base_name = korva::SystemPath(folder / "bench");
  korva::bench::SilentHost host;
  korva::Assembler assembler;
  const korva::AssemblyResult result = assembler.assemble_project(project, host);
  if (result.outcome != korva::AssemblyOutcome::completed) {
    std::fprintf(stderr, "korva-bench-project: assembly failed: %s\n", host.message().c_str());
    return 2;
  }
  std::printf("%zu records, %zu error lines\n", result.record_count, result.error_count);
  return result.error_count == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 3 && std::string_view(argv[1]) == "--assemble") return assemble(argv[2]);
    const bool mpasm = argc >= 4 && std::string_view(argv[1]) == "--mpasm";
    const int chip_at = mpasm ? 4 : 3;
    const bool chip = argc == chip_at + 1 && std::string_view(argv[chip_at]) == "--chip";
    if (argc == chip_at + (chip ? 1 : 0)) {
      const korva::bench::TableSizes tables = tables_for(argc, argv, chip_at);
      return mpasm ? write_mpasm(argv[2], argv[3], tables) : write(argv[1], argv[2], tables);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korva-bench-project: %s\n", error.what());
    return 2;
  }
  std::fprintf(stderr,
               "usage: korva-bench-project DIRECTORY LINES [--chip]\n"
               "       korva-bench-project --assemble DIRECTORY\n"
               "       korva-bench-project --mpasm DIRECTORY LINES [--chip]\n");
  return kExitUsage;
}
