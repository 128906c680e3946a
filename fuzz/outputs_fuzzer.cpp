// Assembles arbitrary bytes in memory with every extra output asked for:
// the HEX text, and the debug and map files made from the program facts.
// The input is cut into sources as for assemble_fuzzer; the first counts as
// definitions put in front.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "driver/assembly_service.h"
#include "fuzz_sources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<korva::SourceSet> sources = korva::fuzzing::sources_of(data, size);
  if (!sources) return 0;
  korva::ServiceOptions options;
  options.definition_files = 1;
  options.macro_line_limit = korva::fuzzing::kMacroLineLimit;
  options.extra_outputs.intel_hex = true;
  options.extra_outputs.debug_file = korva::gpsim_processor("16F877A");
  options.extra_outputs.map = true;
  // One service for the whole run, as the window keeps one assembler.
  static korva::AssemblyService service;
  const korva::ServiceResult result = service.assemble(*sources, options);
  if (result.outcome == korva::ServiceOutcome::stopped) return 0;
  // Every output asked for is made; the facts they come from are kept.
  if (!result.facts || result.debug_file.empty() || result.map_file.empty()) std::abort();
  return 0;
}
