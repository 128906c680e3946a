// The assembly as a service in memory: sources (names and bytes, in project
// order) in, a value out with everything the passes produce — the program
// words at their addresses, the records of the intermediate file, the
// listing, the diagnostics and the facts about the program. Nothing here
// touches a file; Assembler puts the result into files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chip/chip_facts.h"
#include "codegen/classifier.h"
#include "codegen/code_generator.h"
#include "driver/diagnostics.h"
#include "driver/program_image.h"
#include "driver/record_table.h"
#include "driver/symbol_facts.h"
#include "outputs/debug_file.h"
#include "outputs/extra_outputs.h"
#include "outputs/program_facts.h"
#include "source/joined_sources.h"
#include "support/expected.h"
#include "support/line_record.h"
#include "symbols/macro_expander.h"
#include "symbols/macro_table.h"
#include "symbols/symbol_table.h"

namespace korva {

// The project's sources joined in project order, each under its name as
// the project list holds it.
struct SourceSet {
  std::vector<std::string> names;
  JoinedSources joined;

  // Appends a source; one holding a zero byte is refused, as when it is
  // read from a file.
  Expected<void> add(std::string name, std::string_view bytes);
};

// The name under which gpsim finds a source: its bytes as the system spells
// the path, and the same in CP932 for the messages.
struct DebugSourceName {
  std::string stored;
  std::string shown;
};

struct ServiceOptions {
  // Fill ServiceResult::facts (also filled when a debug or map file is
  // asked for: they are made from them).
  bool collect_facts = false;
  // How many of the first sources are definitions put in front of the
  // project's own (for the facts).
  std::size_t definition_files = 0;
  // Fill ServiceResult::symbol_facts.
  bool collect_symbol_facts = false;
  // The extra outputs to make in memory (their bytes in the result).
  ExtraOutputs extra_outputs;
  // The outputs' base name (CP932): the messages name the image and the
  // debug file after it.
  std::string output_base = "program";
  // The base name's last part, which titles the map file: as the system
  // splits the base, which the file command knows; without it, what follows
  // the base's last slash or backslash.
  std::optional<std::string> output_name;
  // For the debug file: its stamp, and for each source the name under
  // which gpsim finds it (the sources' own names when empty).
  DebugFileStamp debug_stamp;
  std::vector<DebugSourceName> debug_source_names;
  // The bound on the lines that macro expansion produces in one assembly;
  // the fuzz targets lower it so that each input's work stays small.
  std::size_t macro_line_limit = MacroExpander::kMaxExpandedLines;
};

enum class ServiceOutcome {
  stopped,    // pass 1 found an error: nothing was produced
  completed,  // both later passes ran; errors, if any, are in the records
};

struct ServiceResult {
  ServiceOutcome outcome = ServiceOutcome::completed;
  std::string message;  // the pass-1 message, once stopped
  // The records of pass 2, as the .obj file holds them; the last is the
  // source's "end", which the listing leaves out.
  RecordTable records;
  // The listing, the error list (the listing lines with an error) and where
  // each error and warning comes from.
  std::string listing;
  std::vector<std::string> error_entries;
  std::vector<Diagnostic> diagnostics;
  // The .bin bytes and the words at their addresses (configuration, ID and
  // EEPROM words too, at theirs).
  ProgramImage image;
  std::optional<ProgramFacts> facts;
  std::optional<SymbolFacts> symbol_facts;
  // The chip the sources define (its facts), if any.
  std::optional<ChipFacts> chip;
  // The extra outputs asked for; empty otherwise.
  std::string intel_hex;
  std::string debug_file;
  std::string map_file;

  // The .obj file's bytes, made from the records.
  std::string object_bytes() const { return records.object_bytes(); }
  Expected<void> write_object(const ObjectSink& sink) const { return records.write_object(sink); }
};

// Told when pass 2 has filled the record table, which pass 3 then only
// reads: the file command writes the .obj file from it meanwhile. `ended`
// comes before the table leaves the service, after pass 3.
class RecordsReady {
 public:
  virtual ~RecordsReady() = default;
  virtual void filled(const RecordTable& records) = 0;
  virtual void ended() = 0;
};

class AssemblyService {
 public:
  // The sources' text lives until pass 3 has explained the diagnostics
  // from it; the result keeps none of it.
  ServiceResult assemble(SourceSet sources, const ServiceOptions& options = {},
                         RecordsReady* ready = nullptr);

  const SymbolTable& symbols() const { return symbols_; }
  const MacroTable& macros() const { return macros_; }

 private:
  class Run;
  // Where pass 1 stopped: the start of the line whose error ended it.
  struct Pass1Stop {
    std::size_t line_offset = 0;
  };
  Expected<void, Pass1Stop> run_pass1(std::string_view source);

  SymbolTable symbols_;
  MacroTable macros_;
  MacroExpander expander_;
  Classifier classifier_;
  CodeGenerator generator_;
  LineRecord record_;
  std::string line_;
};

}  // namespace korva
