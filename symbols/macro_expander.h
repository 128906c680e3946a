// Pass 2's macro expansion: consumes definition lines, turns a macro call into
// the lines of its body (nested calls included), and marks each expansion in
// the listing with "macro NAME (n)" ... "end macro (n)".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/line_record.h"
#include "symbols/macro_table.h"

namespace korva {

class MacroExpander {
 public:
  static constexpr std::size_t kMaxDepth = 10;
  // Bound on the body lines handed out in one assembly, so that macros that
  // call each other many times over cannot grow the output without end.
  static constexpr std::size_t kMaxExpandedLines = 1'000'000;

  // Starts over: no expansion, not inside a definition. The table and the
  // source text must outlive the pass. `line_limit`: the bound on the body
  // lines handed out in this assembly.
  void reset(const MacroTable& table, std::string_view source,
             std::size_t line_limit = kMaxExpandedLines);

  // While an expansion runs, writes its next line into `line` (a body line,
  // or the "end macro (n)" mark that closes a level) and returns true;
  // otherwise leaves `line` alone and returns false, and the caller reads a
  // source line instead.
  [[nodiscard]] bool next_line(std::string& line);

  // Takes the statement first if it is the expander's: a macro definition's
  // header, its lines and its END MACRO, and a call of a known macro, which
  // starts an expansion. For these it sets the record's code and kind tag
  // and returns true; the record then needs no matching. Any other statement
  // returns false. `origin` is where the line's label was entered in pass 1,
  // if anywhere; `statement` may be a view of the record's own field.
  [[nodiscard]] bool expand_macro(std::string_view statement, LineRecord& record,
                                  std::optional<std::size_t> origin = std::nullopt);

  // For the line just handed out: the source position at which pass 1
  // entered its label (the call's label it carries, or its own).
  std::optional<std::size_t> line_origin() const { return produced_origin_; }

  // The macro whose body the line just handed out comes from; empty outside
  // an expansion.
  std::string_view current_macro() const {
    return levels_.empty() ? std::string_view() : levels_.back().name;
  }

  // Between a MACRO line and its END MACRO, where lines are not assembled.
  bool defining() const { return mode_ == Mode::defining; }

  // For the line just handed out: where it stands in the source text.
  std::size_t produced_offset() const { return produced_offset_; }

 private:
  enum class Mode { normal, defining, expanding };
  struct Level {
    std::string_view name;  // the macro's name, held by the table
    std::string_view body;
    std::size_t position = 0;
  };

  void hand_out_line(std::string& line);
  void start_expansion(const MacroDefinition& macro, LineRecord& record,
                       std::optional<std::size_t> origin);
  void stop_expanding();
  void abandon_expansions();

  const MacroTable* table_ = nullptr;
  std::string_view source_;
  Mode mode_ = Mode::normal;
  std::vector<Level> levels_;
  std::string label_carry_;
  std::optional<std::size_t> carry_origin_;
  std::optional<std::size_t> produced_origin_;
  std::size_t produced_offset_ = 0;
  std::size_t expanded_lines_ = 0;
  std::size_t line_limit_ = kMaxExpandedLines;
};

}  // namespace korva
