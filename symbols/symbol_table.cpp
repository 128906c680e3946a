#include "symbols/symbol_table.h"

#include "resources/system_texts.h"
#include "source/statement_splitter.h"

namespace korva {

void SymbolTable::reset() {
  entries_.clear();
  current_subroutine_.clear();
}

std::size_t SymbolTable::new_entry(LineRecord& record) {
  if (entries_.size() >= kCapacity) {
    record.error = texts::kTooManySymbols;
    return kCapacity;
  }
  entries_.emplace_back();
  return entries_.size() - 1;
}

void SymbolTable::collect_symbols(LineRecord& record, std::size_t origin) {
  record.error.clear();

  const std::size_t sub = find_nocase(record.statement, "SUB ");
  if (sub != std::string::npos) {
    assign_cut(current_subroutine_, std::string_view(record.statement).substr(sub + 4),
               kSubroutineNameCapacity);
    const std::size_t index = new_entry(record);
    if (index == kCapacity) return;
    Symbol& entry = entries_[index];
    entry.subroutine = current_subroutine_;
    entry.origin = origin;
    entry.is_subroutine = true;
    for (std::size_t i = 0; i < index; ++i) {
      if (entries_[i].subroutine == current_subroutine_) record.error = texts::kDuplicateSub;
    }
    return;
  }

  if (!record.label.empty()) {
    const std::size_t index = new_entry(record);
    if (index == kCapacity) return;
    Symbol& entry = entries_[index];
    entry.name = record.label;
    entry.subroutine = current_subroutine_;
    entry.origin = origin;
    for (std::size_t i = 0; i < index; ++i) {
      if (entries_[i].subroutine == current_subroutine_ && entries_[i].name == record.label) {
        record.error = texts::kDuplicateLabel;
      }
    }
  }

  if (equals_nocase(record.statement, "END SUB")) current_subroutine_.clear();
}

bool SymbolTable::lookup_symbol(std::string& name, std::string_view mode) const {
  if (mode == "sub") {
    for (const Symbol& entry : entries_) {
      if (entry.subroutine == name) {
        name = entry.value;
        return true;
      }
    }
    return false;
  }
  const bool global = mode == "Llab";
  name += global ? "::" : ":";
  for (const Symbol& entry : entries_) {
    if (entry.name == name && (global || entry.subroutine == mode)) {
      name = entry.value;
      return true;
    }
  }
  return false;
}

}  // namespace korva
