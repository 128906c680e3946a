// Assembles arbitrary bytes in memory and checks what the service returns:
// the .obj bytes made from the records and the symbol facts (the extra
// outputs are outputs_fuzzer's). The input is cut at each byte 0x01 into
// up to eight sources, so that joining, sources without a final line end
// and empty sources are exercised too.
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
  options.collect_symbol_facts = true;
  options.macro_line_limit = korva::fuzzing::kMacroLineLimit;
  // One service for the whole run, as the window keeps one assembler: what an
  // assembly leaves behind must not change the next.
  static korva::AssemblyService service;
  const korva::ServiceResult result = service.assemble(*sources, options);
  if (result.outcome == korva::ServiceOutcome::stopped) return 0;
  // The .obj holds every record in its fixed layout; the listing leaves out
  // the last, the source's end.
  std::size_t object_size = 0;
  if (!result.write_object([&object_size](std::string_view block) -> korva::Expected<void> {
        object_size += block.size();
        return {};
      }) ||
      result.records.size() == 0 || object_size != result.records.size() * korva::kRecordSize) {
    std::abort();
  }
  // Every name the facts point at lies inside its line.
  for (const auto* occurrences :
       {&result.symbol_facts->definitions, &result.symbol_facts->references}) {
    for (const korva::SymbolOccurrence& occurrence : *occurrences) {
      if (occurrence.span.length != occurrence.name.size() || occurrence.span.column == 0) {
        std::abort();
      }
    }
  }
  return 0;
}
