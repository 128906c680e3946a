#include "symbols/macro_table.h"

#include <algorithm>

#include "resources/system_texts.h"
#include "source/statement_splitter.h"
#include "support/diagnostic_kind.h"

namespace korva {

void MacroTable::reset() {
  entries_.assign(1, MacroDefinition{std::string(kEndMark), 0, std::nullopt});
  definition_count_ = 0;
  first_by_name_.clear();
  first_end_mark_ = static_cast<std::size_t>(-1);
  name_lengths_.reset();
  first_bytes_.reset();
}

void MacroTable::collect_macro(LineRecord& record, std::size_t position) {
  if (entries_.empty()) reset();
  const std::string_view statement = record.statement;
  const std::size_t header = find_nocase(statement, "MACRO ");
  if (header != std::string_view::npos) {
    const std::string_view name = statement.substr(header + 6);
    if (name.size() > kLongestAcceptedName)
      record.error = error_text(DiagnosticKind::macro_name_too_long);
    MacroDefinition& current = entries_.back();
    assign_cut(current.name, name, kNameCapacity);
    current.body_start = position;
    return;
  }
  if (!equals_nocase(statement, "END MACRO")) return;

  entries_.back().body_end = position;
  const std::size_t closed = entries_.size() - 1;
  if (entries_.back().name == kEndMark) {
    first_end_mark_ = std::min(first_end_mark_, closed);
  } else {
    const std::string& name = entries_.back().name;
    first_by_name_.emplace(name, closed);
    name_lengths_.set(name.size());
    if (!name.empty()) first_bytes_.set(static_cast<unsigned char>(name.front()));
  }
  ++definition_count_;
  if (definition_count_ > kCapacity) {
    record.error = error_text(DiagnosticKind::too_many_macros);
    return;
  }
  entries_.push_back(MacroDefinition{std::string(kEndMark), 0, std::nullopt});
}

const MacroDefinition* MacroTable::find(std::string_view name) const {
  if (name.size() > kNameCapacity || !name_lengths_.test(name.size())) return nullptr;
  if (!name.empty() && !first_bytes_.test(static_cast<unsigned char>(name.front()))) return nullptr;
  if (name == kEndMark) return nullptr;
  const auto found = first_by_name_.find(name);
  if (found == first_by_name_.end() || found->second > first_end_mark_) return nullptr;
  return &entries_[found->second];
}

}  // namespace korva
