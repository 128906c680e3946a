// Assembles arbitrary bytes in memory with the program facts, and makes the
// debug and map files from them. The input is cut into sources as for
// assemble_fuzzer; the first counts as definitions put in front.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "driver/assembly_service.h"
#include "driver/debug_file.h"
#include "driver/map_file.h"

namespace {

// Cuts the input at each byte 0x01 into up to eight sources; false when a
// source holds a zero byte, which is refused as its file would be.
bool cut_into_sources(std::string_view input, korva::SourceSet& sources) {
  constexpr std::size_t kMaxFiles = 8;
  std::size_t start = 0;
  while (sources.names.size() < kMaxFiles) {
    const std::size_t cut = input.find('\x01', start);
    const std::string_view text =
        input.substr(start, cut == std::string_view::npos ? std::string_view::npos : cut - start);
    if (!sources.add("f" + std::to_string(sources.names.size()) + ".as", text)) return false;
    if (cut == std::string_view::npos) return true;
    start = cut + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  korva::SourceSet sources;
  if (!cut_into_sources(std::string_view(reinterpret_cast<const char*>(data), size), sources)) {
    return 0;
  }
  korva::ServiceOptions options;
  options.collect_facts = true;
  options.definition_files = 1;
  // One service for the whole run, as the window keeps one assembler.
  static korva::AssemblyService service;
  const korva::ServiceResult result = service.assemble(sources, options);
  if (!result.facts) return 0;
  korva::map_file_text(*result.facts, "p");
  korva::debug_file(*korva::gpsim_processor("16F877A"), *result.facts, result.facts->files,
                    korva::DebugFileStamp{});
  return 0;
}
