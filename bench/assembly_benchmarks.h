// End-to-end assembly of generated projects, and the I/O floor beside it: the
// same source bytes read, and as many bytes as the three outputs written the
// way the assembler writes them (new file, rename over the old) and read
// back, so that "time over floor" is a ratio measured in one run.
#pragma once

#include <cstddef>
#include <span>

#include "bench/bench_projects.h"

namespace korva::bench {

// Names of the benchmarks for a size: "assemble_project/<lines>",
// "assemble_in_memory/<lines>" (the service alone) and "io_floor/<lines>".
std::string assemble_name(std::size_t lines);
std::string in_memory_name(std::size_t lines);
std::string floor_name(std::size_t lines);

// Registers, for each size, the floor, the assembly and the service alone.
void register_assembly_benchmarks(ProjectStore& store, std::span<const std::size_t> sizes);

}  // namespace korva::bench
