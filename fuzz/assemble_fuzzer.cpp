// Assembles arbitrary bytes in memory, with every product asked for: the
// listing, the image, the .obj bytes, the program and symbol facts, and the
// debug and map files made from them. The input is cut at each byte 0x01
// into up to eight sources, so that joining, sources without a final line
// end and empty sources are exercised too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "driver/assembly_service.h"
#include "driver/debug_file.h"
#include "driver/intel_hex.h"
#include "driver/map_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kMaxFiles = 8;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  korva::SourceSet sources;
  std::size_t start = 0;
  while (sources.names.size() < kMaxFiles) {
    const std::size_t cut = input.find('\x01', start);
    const std::string_view text =
        input.substr(start, cut == std::string_view::npos ? std::string_view::npos : cut - start);
    // A source with a zero byte is refused, as its file would be.
    if (!sources.add("f" + std::to_string(sources.names.size()) + ".as", text)) return 0;
    if (cut == std::string_view::npos) break;
    start = cut + 1;
  }
  korva::ServiceOptions options;
  options.collect_facts = true;
  options.collect_symbol_facts = true;
  options.definition_files = 1;
  static korva::AssemblyService service;
  const korva::ServiceResult result = service.assemble(sources, options);
  if (result.outcome == korva::ServiceOutcome::stopped) return 0;
  // The .obj holds every record in its fixed layout.
  if (result.object_bytes().size() != result.records.size() * korva::kRecordSize) std::abort();
  korva::intel_hex_text(result.image.placed());
  if (result.facts) {
    korva::map_file_text(*result.facts, "p");
    korva::debug_file(*korva::gpsim_processor("16F877A"), *result.facts, result.facts->files,
                      korva::DebugFileStamp{});
  }
  return 0;
}
