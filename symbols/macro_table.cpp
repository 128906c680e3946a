#include "symbols/macro_table.h"

#include "resources/system_texts.h"
#include "source/statement_splitter.h"

namespace korva {

void MacroTable::reset() {
  entries_.assign(1, MacroDefinition{std::string(kEndMark), 0, std::nullopt});
  definition_count_ = 0;
}

void MacroTable::collect_macro(LineRecord& record, std::size_t position) {
  if (entries_.empty()) reset();
  const std::string_view statement = record.statement;
  const std::size_t header = find_nocase(statement, "MACRO ");
  if (header != std::string_view::npos) {
    const std::string_view name = statement.substr(header + 6);
    if (name.size() > kLongestAcceptedName) record.error = texts::kMacroNameTooLong;
    MacroDefinition& current = entries_.back();
    assign_cut(current.name, name, kNameCapacity);
    current.body_start = position;
    return;
  }
  if (!equals_nocase(statement, "END MACRO")) return;

  entries_.back().body_end = position;
  ++definition_count_;
  if (definition_count_ > kCapacity) {
    record.error = texts::kTooManyMacros;
    return;
  }
  entries_.push_back(MacroDefinition{std::string(kEndMark), 0, std::nullopt});
}

const MacroDefinition* MacroTable::find(std::string_view name) const {
  for (const MacroDefinition& entry : entries_) {
    if (entry.name == kEndMark) return nullptr;
    if (entry.body_end && entry.name == name) return &entry;
  }
  return nullptr;
}

}  // namespace korva
