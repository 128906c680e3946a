#include "bench/assembly_benchmarks.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "driver/assembly_service.h"
#include "project/assembler.h"
#include "system/file_io.h"

namespace korva::bench {
namespace {

// Outputs go to the system in writes of this size, as the assembler's own
// blocks and whole-file writes do (its blocks are 700 416 bytes, its listing
// and image one write each).
constexpr std::size_t kWriteSize = std::size_t{1} << 20;

// Writes `count` bytes the way the assembler writes an output: into a new
// temporary file beside the target, unbuffered, then renamed over the old
// target, so that the file system does the same allocation and replacement.
bool write_replacing(const std::filesystem::path& target, std::size_t count,
                     const std::vector<char>& bytes) {
  std::filesystem::path temporary = target;
  temporary += ".tmp";
  std::FILE* file = std::fopen(temporary.string().c_str(), "wbx");
  if (file == nullptr) return false;
  std::setvbuf(file, nullptr, _IONBF, 0);
  bool ok = true;
  for (std::size_t done = 0; done < count && ok; done += kWriteSize) {
    const std::size_t size = std::min(kWriteSize, count - done);
    ok = std::fwrite(bytes.data(), 1, size, file) == size;
  }
  ok = std::fclose(file) == 0 && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(temporary, target, error);
  if (!ok || error) std::filesystem::remove(temporary, error);
  return ok && !error;
}

std::size_t read_back(const std::filesystem::path& path, std::vector<char>& buffer) {
  std::FILE* file = std::fopen(path.string().c_str(), "rb");
  if (file == nullptr) return 0;
  std::setvbuf(file, nullptr, _IONBF, 0);
  std::size_t total = 0;
  std::size_t count = 0;
  while ((count = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) total += count;
  std::fclose(file);
  return total;
}

// The I/O that the assembler cannot avoid, done the way it does it: the
// sources read whole; three files of the outputs' sizes each written into a
// new temporary file in 1 MiB writes and renamed over the previous one; all
// three read back.
void io_floor(benchmark::State& state, const BenchProject& project) {
  const std::filesystem::path& folder = project.files.directory;
  const std::array<std::pair<std::filesystem::path, std::size_t>, 3> outputs = {{
      {folder / "floor.obj", project.object_bytes},
      {folder / "floor.out", project.listing_bytes},
      {folder / "floor.bin", project.image_bytes},
  }};
  const std::vector<char> bytes(kWriteSize, 'x');
  std::vector<char> buffer(kWriteSize);
  for (auto _ : state) {
    std::size_t source_bytes = 0;
    for (const std::string& entry : project.files.entries) {
      const FileContents file = read_whole_file(folder / entry);
      if (file) source_bytes += file->size();
    }
    benchmark::DoNotOptimize(source_bytes);
    for (const auto& [path, size] : outputs) {
      if (!write_replacing(path, size, bytes)) state.SkipWithError("cannot write the floor files");
    }
    for (const auto& [path, size] : outputs) benchmark::DoNotOptimize(read_back(path, buffer));
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

// The service alone, from sources already in memory to every product in
// memory, the .obj bytes streamed through a sink that only counts them.
void assemble_in_memory(benchmark::State& state, const BenchProject& project) {
  std::vector<std::pair<std::string, std::string>> texts;
  for (const std::string& entry : project.files.entries) {
    std::ifstream in(project.files.directory / entry, std::ios::binary);
    texts.emplace_back(entry, std::string(std::istreambuf_iterator<char>(in), {}));
  }
  AssemblyService service;
  for (auto _ : state) {
    SourceSet sources;
    for (const auto& [name, bytes] : texts) {
      if (!sources.add(name, bytes)) state.SkipWithError("a source was refused");
    }
    const ServiceResult result = service.assemble(std::move(sources));
    std::size_t object_bytes = 0;
    if (!result.write_object([&object_bytes](std::string_view block) -> Expected<void> {
          object_bytes += block.size();
          return {};
        })) {
      state.SkipWithError("the records could not be written");
    }
    benchmark::DoNotOptimize(object_bytes);
    if (result.outcome != ServiceOutcome::completed) state.SkipWithError("assembly failed");
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
std::string in_memory_name(std::size_t lines) {
  return "assemble_in_memory/" + std::to_string(lines);
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
    benchmark::RegisterBenchmark(in_memory_name(lines).c_str(),
                                 [&project](benchmark::State& state) {
                                   assemble_in_memory(state, project);
                                   add_counters(state, project);
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(1.0);
  }
}

}  // namespace korva::bench
