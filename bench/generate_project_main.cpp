// korva-bench-project DIRECTORY LINES: writes a generated project of about
// LINES source lines (defs.inc, main.as and bench.amk) into DIRECTORY, for
// korva-asm runs under /usr/bin/time and for comparing outputs byte by byte.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "bench/project_generator.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: korva-bench-project DIRECTORY LINES\n");
    return 64;
  }
  try {
    const korva::bench::GeneratedProject project =
        korva::bench::write_project(argv[1], std::strtoul(argv[2], nullptr, 10));
    std::printf("%s: %zu lines, %zu bytes\n", project.project_file.string().c_str(), project.lines,
                project.source_bytes);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korva-bench-project: %s\n", error.what());
    return 2;
  }
  return 0;
}
