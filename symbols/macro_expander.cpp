#include "symbols/macro_expander.h"

#include <algorithm>

#include "resources/error_texts.h"
#include "resources/system_texts.h"
#include "source/source_reader.h"
#include "source/statement_splitter.h"
#include "support/diagnostic_kind.h"

namespace korva {
namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

// Whether the body line at the front of `rest` closes its level. A line that
// begins in the first column closes it when its first nine characters read
// END MACRO. An indented line closes it only when its whole statement is
// END MACRO (a remark may follow): an indented END MACROX or end macros is
// an ordinary body line.
bool closes_level(std::string_view rest) {
  if (rest.empty() || !is_blank(rest.front())) return starts_with_nocase(rest, "END MACRO");
  // Most body lines are indented instructions: a statement that is END MACRO
  // begins with an E, so anything else is settled here.
  const std::size_t first = rest.find_first_not_of(" \t");
  if (first == std::string_view::npos || (rest[first] != 'E' && rest[first] != 'e')) return false;
  std::string line(rest.substr(0, rest.find('\n')));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  line.resize(std::min(line.find(';'), line.size()));
  tabs_to_blanks(line);
  collapse_blanks(line);
  return equals_nocase(line, "END MACRO");
}

}  // namespace

void MacroExpander::reset(const MacroTable& table, std::string_view source,
                          std::size_t line_limit) {
  table_ = &table;
  line_limit_ = line_limit;
  source_ = source;
  mode_ = Mode::normal;
  levels_.clear();
  label_carry_.clear();
  carry_origin_.reset();
  produced_origin_.reset();
  expanded_lines_ = 0;
}

void MacroExpander::abandon_expansions() {
  levels_.clear();
  label_carry_.clear();
  carry_origin_.reset();
}

void MacroExpander::stop_expanding() {
  abandon_expansions();
  mode_ = Mode::normal;
}

bool MacroExpander::next_line(std::string& line) {
  if (mode_ != Mode::expanding) return false;
  hand_out_line(line);
  return true;
}

bool MacroExpander::expand_macro(std::string_view statement, LineRecord& record,
                                 std::optional<std::size_t> origin) {
  if (starts_with_nocase(statement, "MACRO ")) {
    record.code.clear();
    set_kind(record, RecordKind::rem);
    abandon_expansions();
    mode_ = Mode::defining;
    return true;
  }
  if (equals_nocase(statement, "END MACRO")) {
    record.code.clear();
    set_kind(record, RecordKind::macro);
    stop_expanding();
    return true;
  }
  if (mode_ == Mode::defining) {
    record.code.clear();
    set_kind(record, RecordKind::macro);
    return true;
  }
  if (!statement.empty() && table_ != nullptr) {
    if (const MacroDefinition* macro = table_->find(statement)) {
      start_expansion(*macro, record, origin);
      return true;
    }
  }
  // Any other statement, the empty one during an expansion included (a
  // blank, label-only or remark-only body line), is matched as usual.
  return false;
}

void MacroExpander::start_expansion(const MacroDefinition& macro, LineRecord& record,
                                    std::optional<std::size_t> origin) {
  record.code.clear();
  set_kind(record, RecordKind::macro);
  record.statement = "macro " + macro.name + " (" + std::to_string(levels_.size()) + ")";
  if (levels_.size() >= kMaxDepth || expanded_lines_ >= line_limit_) {
    record.error = error_text(levels_.size() >= kMaxDepth ? DiagnosticKind::macro_nest_error
                                                          : DiagnosticKind::macro_size_error);
    stop_expanding();
    return;
  }
  const std::size_t start = std::min(macro.body_start, source_.size());
  const std::size_t end = std::min(*macro.body_end, source_.size());
  levels_.push_back(Level{macro.name, source_.substr(start, end > start ? end - start : 0), 0});
  mode_ = Mode::expanding;
  label_carry_ = record.label;
  carry_origin_ = label_carry_.empty() ? std::nullopt : origin;
}

void MacroExpander::hand_out_line(std::string& line) {
  produced_origin_.reset();
  Level& level = levels_.back();
  const std::string_view rest = level.body.substr(level.position);
  produced_offset_ = static_cast<std::size_t>(rest.data() - source_.data());
  if (closes_level(rest)) {
    levels_.pop_back();
    line = "end macro (" + std::to_string(levels_.size()) + ")";
    if (levels_.empty()) stop_expanding();
    return;
  }
  const std::size_t line_feed = rest.find('\n');
  if (line_feed == std::string_view::npos) {
    line = texts::kMacroAbnormalEnd;
    stop_expanding();
    return;
  }
  std::size_t line_end = line_feed;
  if (line_end > 0 && rest[line_end - 1] == '\r') --line_end;
  level.position += line_feed + 1;

  // The call's label and the body line, each collapsed, with a blank
  // between them when both hold text: the label, a tab and the line,
  // collapsed as one.
  line.clear();
  append_collapsed(line, label_carry_);
  const std::size_t label_end = line.size();
  if (label_end > 0) line += ' ';
  append_collapsed(line, rest.substr(0, line_end));
  if (label_end > 0 && line.size() == label_end + 1) line.pop_back();
  // The line's label is the call's, if it carries one, else its own, which
  // pass 1 entered at the body line in the definition.
  produced_origin_ = label_carry_.empty()
                         ? std::optional<std::size_t>(produced_offset_ + line_feed + 1)
                         : carry_origin_;
  label_carry_.clear();
  carry_origin_.reset();
  ++expanded_lines_;
}

}  // namespace korva
