// Assembles arbitrary bytes in memory with every extra output asked for:
// the HEX text, and the debug and map files made from the program facts.
// The input is cut into sources as for assemble_fuzzer; the first counts as
// definitions put in front.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "driver/assembly_service.h"

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
  options.definition_files = 1;
  options.extra_outputs.intel_hex = true;
  options.extra_outputs.debug_file = korva::gpsim_processor("16F877A");
  options.extra_outputs.map = true;
  // One service for the whole run, as the window keeps one assembler.
  static korva::AssemblyService service;
  const korva::ServiceResult result = service.assemble(sources, options);
  if (result.outcome == korva::ServiceOutcome::stopped) return 0;
  // Every output asked for is made; the facts they come from are kept.
  if (!result.facts || result.debug_file.empty() || result.map_file.empty()) std::abort();
  return 0;
}
