#include "patterns/matcher.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "patterns/pattern_table.h"
#include "resources/error_texts.h"
#include "support/text.h"

namespace korva {
namespace {

using Operands = std::array<std::string_view, 3>;

// Tries one entry on the statement (`upper` is the same statement in
// capitals). On a fit the operand texts are views into `statement`.
bool try_entry(const PatternEntry& entry, std::string_view statement, std::string_view upper,
               Operands& operands) {
  const std::size_t first = upper.find(entry.first_piece);
  if (first == std::string_view::npos) return false;
  operands[0] = statement.substr(0, first);
  operands[1] = statement.substr(first + entry.first_piece.size());
  operands[2] = {};
  if (!entry.second_piece.empty()) {
    const std::size_t offset = first + entry.first_piece.size();
    const std::size_t second = upper.substr(offset).find(entry.second_piece);
    if (second == std::string_view::npos) return false;
    operands[2] = operands[1].substr(second + entry.second_piece.size());
    operands[1] = operands[1].substr(0, second);
  }
  return operands[0].empty() != entry.leading && operands[1].empty() != entry.middle &&
         operands[2].empty() != entry.trailing;
}

void pack_left(Operands& operands) {
  if (operands[0].empty()) {
    operands = {operands[1], operands[2], {}};
    if (operands[0].empty()) operands = {operands[1], {}, {}};
  } else if (operands[1].empty()) {
    operands = {operands[0], operands[2], {}};
  }
}

// Where a statement fits: the entry, or none, and where in the statement its
// operands stand once packed to the left. Entries are tried in table order;
// the first that fits wins.
struct Fitting {
  std::optional<std::size_t> entry;
  Operands operands;
};

Fitting find_fitting(std::string_view statement) {
  std::string upper(statement);
  for (char& c : upper) c = upper_char(c);
  const std::span<const PatternEntry> entries = pattern_entries();
  Operands operands;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!try_entry(entries[i], statement, upper, operands)) continue;
    pack_left(operands);
    return Fitting{i, operands};
  }
  return {};
}

void clear_match_fields(LineRecord& record) {
  record.error.clear();
  record.pattern_key.clear();
  set_kind(record, RecordKind::none);
}

const PatternEntry* apply(const Fitting& fitting, LineRecord& record) {
  if (!fitting.entry) {
    record.error = texts::kSyntaxError;
    return nullptr;
  }
  const PatternEntry& entry = pattern_entries()[*fitting.entry];
  record.pattern_key = entry.key.view();
  record.operand1 = fitting.operands[0];
  record.operand2 = fitting.operands[1];
  record.operand3 = fitting.operands[2];
  return &entry;
}

}  // namespace

const PatternEntry* match_statement(LineRecord& record) {
  clear_match_fields(record);
  if (record.statement.empty()) {
    set_kind(record, RecordKind::rem);
    return nullptr;
  }
  // The operands found are views into this copy, not into the record.
  const std::string statement(record.statement);
  return apply(find_fitting(statement), record);
}

}  // namespace korva
