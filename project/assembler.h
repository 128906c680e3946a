// The Assemble command: joins the project's sources, runs the three passes
// and writes the intermediate file (.obj), the listing (.out) and the program
// image (.bin), and the extra outputs asked for, all or nothing.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/assembly_service.h"
#include "driver/diagnostics.h"
#include "outputs/program_facts.h"
#include "project/assembly_host.h"
#include "project/output_base.h"
#include "project/output_files.h"
#include "project/project.h"
#include "project/source_files.h"
#include "support/expected.h"
#include "symbols/macro_table.h"
#include "symbols/symbol_table.h"
#include "system/background_worker.h"
#include "system/file_io.h"
#include "system/system_path.h"

namespace korva {

enum class AssemblyOutcome {
  nothing_to_do,  // empty project list
  stopped,        // a source file could not be read, or pass 1 found an error
  output_failed,  // an output file could not be written; the old ones stay
  completed,      // every output written; errors, if any, are listed
};

// What one assembly reads and where it writes, as the system names the
// files.
struct AssemblyInput {
  std::vector<SourceFile> sources;  // in assembly order
  std::size_t leading_sources = 0;  // of those, the definitions put in front (a chip's)
  SystemPath output_base;           // the outputs are BASE.obj, BASE.out, ...
  SystemPath project_file;          // empty without one
};

// A project's input: its entries (CP932 texts) found from its entry
// directory; the output base chosen, else the project file's, else named
// after the first own entry by `rule`.
AssemblyInput project_input(const ProjectState& project, const std::optional<std::string>& chosen,
                            SourceBaseRule rule);

struct AssemblyOptions {
  ExtraOutputs extra_outputs;
  // For a project: names the outputs (CP932) in place of the project file
  // or the first entry.
  std::optional<std::string> output_base_name;
  // For a project: how the outputs are named after the first entry, without
  // a project file.
  SourceBaseRule source_base_rule = SourceBaseRule::window;
  // Where an output base that is a relative path is put (the window's
  // project folder); the current directory when empty.
  std::filesystem::path output_directory;
  // How the output files are written (and, for tests, where they fail).
  FileWriteOptions files;
  // Whether the result holds the listing; a caller that does not show it
  // spares the memory that a large one takes.
  bool keep_listing = true;
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
  std::optional<SystemPath> output_base_name;
  // Without a project file or a chosen base: the folder of that base (CP932),
  // which the window remembers as its last directory.
  std::optional<std::string> last_directory;
  // Where each error comes from (in error-list order) and the warnings.
  std::vector<Diagnostic> diagnostics;
  // What the debug and map files are made from; only when asked for.
  std::optional<ProgramFacts> facts;
  // The chip the sources define (--chip, or its file in the project): its
  // program memory gives the share used, its fields the configuration.
  std::optional<ChipFacts> chip;
};

// Shows what an assembly produced through `host`, as the Assemble command
// does: the error list emptied, then the message box of a stop or failure,
// or the error list filled and the listing shown.
void present_assembly(const AssemblyResult& result, AssemblyHost& host);

// The Assemble command on files: reads the project's sources, has the
// service assemble them and writes what it produced as the output set.
class Assembler {
 public:
  // Assembles the project and returns what the run produced; the project is
  // not changed. Two assemblies of the same project (the same project file,
  // or without one the same first source) take turns: each holds an
  // advisory lock on that file from reading the sources to putting the
  // outputs in place.
  AssemblyResult assemble(const ProjectState& project, const AssemblyOptions& options = {});
  // The same on files that the system named (the command line's). The
  // options' project naming (output_base_name, source_base_rule) is unused.
  AssemblyResult assemble(const AssemblyInput& input, const AssemblyOptions& options = {});
  // assemble() and then present_assembly() on `host`.
  AssemblyResult assemble_project(const ProjectState& project, AssemblyHost& host,
                                  const AssemblyOptions& options = {});

  const SymbolTable& symbols() const { return service_.symbols(); }
  const MacroTable& macros() const { return service_.macros(); }

  // Whether the next assemblies fill AssemblyResult::facts.
  void collect_program_facts(bool enabled) { collect_facts_ = enabled; }

 private:
  void release_replaced_outputs(OutputSet& set);

  AssemblyService service_;
  bool collect_facts_ = false;
  // Closes the outputs that an assembly replaced; last, so that it is gone
  // (its last job done) before the rest.
  BackgroundWorker worker_;
};

}  // namespace korva
