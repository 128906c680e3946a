#include "bench/assembly_benchmarks.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/assembler.h"
#include "driver/file_io.h"

namespace korva::bench {
namespace {

constexpr std::size_t kChunk = 1 << 16;

bool write_bytes(const std::filesystem::path& path, std::size_t count) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file == nullptr) return false;
  const std::vector<char> chunk(kChunk, 'x');
  bool ok = true;
  for (std::size_t done = 0; done < count && ok; done += kChunk) {
    const std::size_t size = std::min(kChunk, count - done);
    ok = std::fwrite(chunk.data(), 1, size, file) == size;
  }
  return std::fclose(file) == 0 && ok;
}

std::size_t read_bytes(const std::filesystem::path& path) {
  std::FILE* file = std::fopen(path.string().c_str(), "rb");
  if (file == nullptr) return 0;
  std::vector<char> chunk(kChunk);
  std::size_t total = 0;
  std::size_t count = 0;
  while ((count = std::fread(chunk.data(), 1, chunk.size(), file)) > 0) total += count;
  std::fclose(file);
  return total;
}

// The I/O that no assembler of this project can avoid: the sources read
// whole, three files of the outputs' sizes written and read back.
void io_floor(benchmark::State& state, const BenchProject& project) {
  const std::filesystem::path& folder = project.files.directory;
  const std::array<std::pair<std::filesystem::path, std::size_t>, 3> outputs = {{
      {folder / "floor.obj", project.object_bytes},
      {folder / "floor.out", project.listing_bytes},
      {folder / "floor.bin", project.image_bytes},
  }};
  for (auto _ : state) {
    std::size_t source_bytes = 0;
    for (const std::string& entry : project.files.entries) {
      source_bytes += read_whole_file(folder / entry).bytes.size();
    }
    benchmark::DoNotOptimize(source_bytes);
    for (const auto& [path, size] : outputs) {
      if (!write_bytes(path, size)) state.SkipWithError("cannot write the floor files");
    }
    for (const auto& [path, size] : outputs) benchmark::DoNotOptimize(read_bytes(path));
  }
}

void assemble(benchmark::State& state, const BenchProject& project) {
  if (!project.failure.empty() || project.error_count != 0) {
    state.SkipWithError("the generated project does not assemble cleanly");
    return;
  }
  Assembler assembler;
  SilentHost host;
  for (auto _ : state) {
    ProjectState project_state_copy = project_state(project);
    const AssemblyResult result = assembler.assemble_project(project_state_copy, host);
    if (result.outcome != AssemblyOutcome::completed) state.SkipWithError("assembly failed");
  }
}

void add_counters(benchmark::State& state, const BenchProject& project) {
  using benchmark::Counter;
  const double lines = static_cast<double>(project.files.lines);
  state.counters["lines"] = lines;
  // Seconds per line, shown in the unit of the benchmark's time.
  state.counters["per_line"] =
      Counter(lines, Counter::kIsIterationInvariantRate | Counter::kInvert);
  const double bytes = static_cast<double>(project.files.source_bytes + project.object_bytes +
                                           project.listing_bytes + project.image_bytes);
  state.counters["io_bytes"] = bytes;
}

}  // namespace

std::string assemble_name(std::size_t lines) {
  return "assemble_project/" + std::to_string(lines);
}
std::string floor_name(std::size_t lines) {
  return "io_floor/" + std::to_string(lines);
}

void register_assembly_benchmarks(ProjectStore& store, std::span<const std::size_t> sizes) {
  for (const std::size_t lines : sizes) {
    const BenchProject& project = store.add(lines);
    benchmark::RegisterBenchmark(floor_name(lines).c_str(),
                                 [&project](benchmark::State& state) {
                                   io_floor(state, project);
                                   add_counters(state, project);
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(1.0);
    benchmark::RegisterBenchmark(assemble_name(lines).c_str(),
                                 [&project](benchmark::State& state) {
                                   assemble(state, project);
                                   add_counters(state, project);
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(1.0);
  }
}

}  // namespace korva::bench
