// Assembles the source files named on the command line through the portable
// core alone and writes BASE.obj, BASE.out and BASE.bin (with --hex also
// BASE.hex): the WebAssembly build's proof that the core runs as it does at
// home, compared byte for byte with korva-asm's outputs.
//
//   korva-wasm-asm [--hex] -o BASE SOURCE...
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "driver/assembly_service.h"

namespace {

bool read_file(const std::string& name, std::string& bytes) {
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return false;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  const bool read = std::ferror(file) == 0;
  std::fclose(file);
  return read;
}

bool write_file(const std::string& name, std::string_view bytes) {
  std::FILE* file = std::fopen(name.c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "korva-wasm-asm: cannot create %s\n", name.c_str());
    return false;
  }
  const bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) std::fprintf(stderr, "korva-wasm-asm: cannot write %s\n", name.c_str());
  return written && closed;
}

int usage() {
  std::fputs("usage: korva-wasm-asm [--hex] -o BASE SOURCE...\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string base;
  bool hex = false;
  std::vector<std::string> sources;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--hex") {
      hex = true;
    } else if (arg == "-o" && i + 1 < argc) {
      base = argv[++i];
    } else {
      sources.emplace_back(arg);
    }
  }
  if (base.empty() || sources.empty()) return usage();

  korva::SourceSet set;
  for (const std::string& name : sources) {
    std::string bytes;
    if (!read_file(name, bytes)) {
      std::fprintf(stderr, "korva-wasm-asm: cannot read %s\n", name.c_str());
      return 1;
    }
    if (const korva::Expected<void> added = set.add(name, bytes); !added) {
      std::fprintf(stderr, "korva-wasm-asm: %s\n", added.message().c_str());
      return 1;
    }
  }
  korva::ServiceOptions options;
  options.output_base = base;
  options.extra_outputs.intel_hex = hex;
  korva::AssemblyService service;
  const korva::ServiceResult result = service.assemble(std::move(set), options);
  if (result.outcome == korva::ServiceOutcome::stopped) {
    std::fprintf(stderr, "korva-wasm-asm: %s\n", result.message.c_str());
    return 1;
  }
  bool written = write_file(base + ".obj", result.object_bytes()) &&
                 write_file(base + ".out", result.listing) &&
                 write_file(base + ".bin", result.image.bytes());
  if (hex) written = written && write_file(base + ".hex", result.intel_hex);
  if (!written) {
    std::fprintf(stderr, "korva-wasm-asm: cannot write the outputs of %s\n", base.c_str());
    return 1;
  }
  std::printf("%zu records, %zu diagnostics\n", result.records.size(), result.diagnostics.size());
  return 0;
}
