// Explains a diagnostic after the fact: from the finished record, the source
// line it came from and the symbols, which text of the line is at fault
// (its columns), which name, and in plain words what is wrong with it. The
// stages only write their short error texts; nothing here changes them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chip/chip_facts.h"
#include "codegen/operand_encoding.h"
#include "driver/diagnostics.h"
#include "source/source_map.h"
#include "support/line_record.h"
#include "symbols/macro_expander.h"
#include "symbols/macro_table.h"
#include "symbols/symbol_table.h"

namespace korva {

// The line of `source` that starts at or holds `offset`, without its line
// end.
std::string_view line_at(std::string_view source, std::size_t offset);

// The columns of `text` (a part of the collapsed statement, found from
// `from` on) within the statement of `source_line`; none when the line does
// not hold it.
std::optional<ColumnSpan> statement_span(std::string_view source_line, std::string_view text,
                                         std::size_t from = 0);

// The local labels of a symbol table by name (without the colon), each
// with its first entry; made once for the explanations of one assembly.
class LocalLabels {
 public:
  const Symbol* find(const SymbolTable& symbols, std::string_view name);

 private:
  bool built_ = false;
  std::unordered_map<std::string_view, const Symbol*> first_;
};

// What the program and its source tell about a diagnostic.
struct ExplainContext {
  const SymbolTable& symbols;
  const SourceMap& map;
  std::string_view source;  // the joined source text
  // Where many errors are explained, their lookups share it.
  LocalLabels* local_labels = nullptr;
  // The bound on the lines of macro expansion that the assembly ran with.
  std::size_t macro_line_limit = MacroExpander::kMaxExpandedLines;
  // What the encoding found wrong with a register, literal or bit
  // operation, for its "normal err" or "bit err".
  const EncodingFault* fault = nullptr;
  // The chip the sources define, if any: its core says which forms exist.
  const ChipFacts* chip = nullptr;
};

// An error of pass 2 or 3: `record` as pass 3 left it.
void explain_error(Diagnostic& diagnostic, const LineRecord& record, const ExplainContext& context);

// The error that stopped pass 1 on `record`.
void explain_pass1_stop(Diagnostic& diagnostic, const LineRecord& record, const MacroTable& macros,
                        const ExplainContext& context);

// A warning about record `record`: the columns of what it is about.
// `term`: the term of an operand that a warning about its evaluation names.
void place_warning(Diagnostic& diagnostic, const LineRecord& record, std::string_view term = {});

// The note that a line of a macro expansion gets for the call that started
// it, read from `call_line`.
DiagnosticNote macro_call_note(const SourceLocation& call, std::string_view call_line);

// The macro calls that the lines of an expansion come from, followed record
// by record through pass 3 by the marks that pass 2 lists: "macro NAME (n)"
// opens level n, "end macro (n)" closes it.
class MacroCallTrail {
 public:
  // After record `record`, whose line starts at `offset`; `source_line`:
  // the line is the source's own, not one of a macro body.
  void follow(const LineRecord& record, std::size_t offset, bool source_line) {
    follow_mark(mark_of(record), offset, source_line);
  }
  // What a record does to the calls around the records after it: the mark
  // that opens a macro's expansion at `level` starts a call there, the one
  // that closes it ends the calls from `level` on.
  struct Mark {
    bool opens = false;
    std::size_t level = 0;
  };
  static std::optional<Mark> mark_of(const LineRecord& record);
  // After a record that is `mark`, or no mark.
  void follow_mark(const std::optional<Mark>& mark, std::size_t offset, bool source_line);
  // Where the calls around the next record stand, the outermost first.
  const std::vector<std::size_t>& calls() const { return calls_; }
  // Appends to `notes` a note for each of those calls, the innermost first,
  // as compilers list them. A call's note is made once and kept while the
  // call stands, so that the many lines of one expansion share it.
  void add_notes(std::vector<DiagnosticNote>& notes, const SourceMap& map, std::string_view source);

 private:
  struct MadeNote {
    std::size_t call = 0;  // the offset of the call it was made for
    DiagnosticNote note;
  };
  std::vector<std::size_t> calls_;
  std::vector<MadeNote> made_;  // level by level, outermost first
};

}  // namespace korva
