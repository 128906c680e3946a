// The Assemble command: joins the project's sources, runs the three passes
// and writes the intermediate file (.obj), the listing (.out) and the program
// image (.bin), and the extra outputs asked for, all or nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/classifier.h"
#include "codegen/code_generator.h"
#include "driver/assembly_host.h"
#include "driver/diagnostics.h"
#include "driver/gpsim_processors.h"
#include "driver/output_base.h"
#include "driver/program_facts.h"
#include "driver/project.h"
#include "patterns/matcher.h"
#include "support/background_worker.h"
#include "support/expected.h"
#include "support/file_io.h"
#include "support/line_record.h"
#include "symbols/macro_expander.h"
#include "symbols/macro_table.h"
#include "symbols/symbol_table.h"

namespace korva {

enum class AssemblyOutcome {
  nothing_to_do,  // empty project list
  stopped,        // a source file could not be read, or pass 1 found an error
  output_failed,  // an output file could not be written; the old ones stay
  completed,      // every output written; errors, if any, are listed
};

// The outputs written besides .obj, .out and .bin, in the same set.
struct ExtraOutputs {
  bool intel_hex = false;  // BASE.hex, the program in Intel HEX
  // BASE.cod, the debug file for gpsim, for this processor.
  std::optional<GpsimProcessor> debug_file;
  bool map = false;  // BASE.map, the symbols and the memory used
};

struct AssemblyOptions {
  ExtraOutputs extra_outputs;
  // Names the outputs in place of the project file or the first entry.
  std::optional<std::string> output_base_name;
  // How the outputs are named after the first entry, without a project file.
  SourceBaseRule source_base_rule = SourceBaseRule::window;
  // How the output files are written (and, for tests, where they fail).
  FileWriteOptions files;
};

// What one assembly produced. Nothing of it reaches the project or the
// screen until the caller puts it there (present_assembly for a host).
struct AssemblyResult {
  AssemblyOutcome outcome = AssemblyOutcome::nothing_to_do;
  std::string message;           // the message box text of a stop or failure
  std::string_view caption;      // that message box's caption, one of the system texts
  std::size_t error_count = 0;   // entries of the error list
  std::size_t record_count = 0;  // records of the intermediate file
  // The listing and the error list (the listing lines with an error), once
  // completed.
  std::string listing;
  std::vector<std::string> error_entries;
  // The base the outputs were named after; for every project list that was
  // not empty, whether or not the run got as far as writing.
  std::optional<std::string> output_base_name;
  // Without a project file or a chosen base: the folder of that base, which
  // the window remembers as its last directory.
  std::optional<std::string> last_directory;
  // Where each error comes from (in error-list order) and the warnings.
  std::vector<Diagnostic> diagnostics;
  // What the debug and map files are made from; only when asked for.
  std::optional<ProgramFacts> facts;
};

// Shows what an assembly produced through `host`, as the Assemble command
// does: the error list emptied, then the message box of a stop or failure,
// or the error list filled and the listing shown.
void present_assembly(const AssemblyResult& result, AssemblyHost& host);

class Assembler {
 public:
  // Assembles the project and returns what the run produced; the project is
  // not changed. Two assemblies of the same project (the same project file,
  // or without one the same first source) take turns: each holds an
  // advisory lock on that file from reading the sources to putting the
  // outputs in place.
  AssemblyResult assemble(const ProjectState& project, const AssemblyOptions& options = {});
  // assemble() and then present_assembly() on `host`.
  AssemblyResult assemble_project(const ProjectState& project, AssemblyHost& host,
                                  const AssemblyOptions& options = {});

  const SymbolTable& symbols() const { return symbols_; }
  const MacroTable& macros() const { return macros_; }

  // Whether the next assemblies fill AssemblyResult::facts.
  void collect_program_facts(bool enabled) { collect_facts_ = enabled; }

 private:
  struct Outputs;
  struct Pass3Tally;
  // Where pass 1 stopped: the start of the line whose error ended it.
  struct Pass1Stop {
    std::size_t line_offset = 0;
  };

  static void add_warning(Outputs& outputs, DiagnosticKind kind, std::string text);
  // The diagnostic added for record `record`; null for a warning beyond
  // its kind's share.
  static Diagnostic* add_diagnostic(Outputs& outputs, const SourceMap& map, std::size_t record,
                                    DiagnosticKind kind, std::string_view text,
                                    std::string_view listing_line);
  static void note_utf8_files(Outputs& outputs, std::size_t line_start);
  static void find_utf8_files(Outputs& outputs, const std::string& text,
                              const std::vector<std::string>& entries,
                              const std::vector<std::size_t>& file_starts);
  Expected<void, Pass1Stop> run_pass1(std::string_view source);
  Expected<void> run_pass2(std::string_view source, Outputs& outputs);
  Expected<void> run_pass3(Outputs& outputs, const SourceMap& map);
  void diagnose_record(Outputs& outputs, const SourceMap& map, std::size_t n,
                       const LineRecord& record, std::string_view line, std::size_t words_reserved,
                       Pass3Tally& tally);
  static void add_summaries(Outputs& outputs, const SourceMap& map, const Pass3Tally& tally);
  static Expected<void> write_outputs(Outputs& outputs);
  Expected<void> produce_outputs(Outputs& outputs, std::string_view source, const SourceMap& map,
                                 const ProjectState& project);
  void finish_facts(Outputs& outputs, const SourceMap& map, const ProjectState& project);
  void release_replaced_outputs(Outputs& outputs);

  SymbolTable symbols_;
  MacroTable macros_;
  MacroExpander expander_;
  Classifier classifier_;
  CodeGenerator generator_;
  StatementMatcher matcher_;
  LineRecord record_;
  std::string line_;
  std::string location_counter_;
  bool collect_facts_ = false;
  // Closes the outputs that an assembly replaced; last, so that it is gone
  // (its last job done) before the rest.
  BackgroundWorker releaser_;
};

}  // namespace korva
