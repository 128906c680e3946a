#include "symbols/symbol_table.h"

#include <algorithm>

#include "resources/system_texts.h"
#include "source/statement_splitter.h"
#include "support/diagnostic_kind.h"
#include "support/hex_value.h"

namespace korva {

std::optional<std::uint32_t> Symbol::plain_number() const {
  return plain_hex_number(value);
}

void SymbolTable::reset() {
  entries_.clear();
  current_subroutine_.clear();
  first_of_subroutine_.clear();
  first_of_name_.clear();
  first_in_subroutine_.clear();
}

// Entries are only appended, so an entry already indexed under a key always
// comes before the new one: try_emplace keeps it.
void SymbolTable::index_entry(std::size_t index) {
  const Symbol& entry = entries_[index];
  first_of_subroutine_.try_emplace(entry.subroutine, index);
  first_of_name_.try_emplace(entry.name, index);
  auto scope = first_in_subroutine_.find(std::string_view(entry.subroutine));
  if (scope == first_in_subroutine_.end()) {
    scope = first_in_subroutine_.try_emplace(entry.subroutine).first;
  }
  scope->second.try_emplace(entry.name, index);
}

const Symbol* SymbolTable::first(const FirstIndex& index, std::string_view key,
                                 const std::vector<Symbol>& entries) {
  const auto found = index.find(key);
  return found == index.end() ? nullptr : &entries[found->second];
}

std::size_t SymbolTable::new_entry(LineRecord& record) {
  if (entries_.size() >= kCapacity) {
    record.error = error_text(DiagnosticKind::too_many_symbols);
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
    // A subroutine of this name exists when any earlier entry has it as
    // its subroutine field.
    if (first_of_subroutine_.contains(std::string_view(current_subroutine_))) {
      record.error = error_text(DiagnosticKind::duplicate_subroutine);
    }
    Symbol& entry = entries_[index];
    entry.subroutine = current_subroutine_;
    entry.origin = origin;
    entry.is_subroutine = true;
    index_entry(index);
    return;
  }

  if (!record.label.empty()) {
    const std::size_t index = new_entry(record);
    if (index == kCapacity) return;
    const auto scope = first_in_subroutine_.find(std::string_view(current_subroutine_));
    if (scope != first_in_subroutine_.end() &&
        scope->second.contains(std::string_view(record.label))) {
      record.error = error_text(DiagnosticKind::duplicate_label);
    }
    Symbol& entry = entries_[index];
    entry.name = record.label;
    entry.subroutine = current_subroutine_;
    entry.origin = origin;
    index_entry(index);
  }

  if (equals_nocase(record.statement, "END SUB")) current_subroutine_.clear();
}

namespace {

// Looks up `name` followed by `suffix` in `index`: the key is put together
// on the stack for the usual short names, on the heap only for long ones.
template <typename Find>
const Symbol* find_suffixed(std::string_view name, std::string_view suffix, Find find) {
  char buffer[64];
  if (name.size() + suffix.size() <= sizeof buffer) {
    name.copy(buffer, name.size());
    suffix.copy(buffer + name.size(), suffix.size());
    return find(std::string_view(buffer, name.size() + suffix.size()));
  }
  std::string key(name);
  key += suffix;
  return find(std::string_view(key));
}

}  // namespace

const Symbol* SymbolTable::find_subroutine(std::string_view name) const {
  return first(first_of_subroutine_, name, entries_);
}

const Symbol* SymbolTable::find_global(std::string_view name) const {
  return find_suffixed(
      name, "::", [this](std::string_view key) { return first(first_of_name_, key, entries_); });
}

const Symbol* SymbolTable::find_local(std::string_view name, std::string_view subroutine) const {
  const auto scope = first_in_subroutine_.find(subroutine);
  if (scope == first_in_subroutine_.end()) return nullptr;
  return find_suffixed(name, ":", [this, &scope](std::string_view key) {
    return first(scope->second, key, entries_);
  });
}

const Symbol* SymbolTable::find_jump_target(std::string_view name,
                                            std::string_view subroutine) const {
  const Symbol* local = find_local(name, subroutine);
  return local != nullptr ? local : find_global(name);
}

SymbolTable::ValuingResult SymbolTable::give_value(std::size_t origin, bool subroutine,
                                                   std::string_view value) {
  // Pass 1 appends entries in source order, so their origins ascend.
  const auto found = std::lower_bound(
      entries_.begin(), entries_.end(), origin,
      [](const Symbol& entry, std::size_t position) { return entry.origin < position; });
  if (found == entries_.end() || found->origin != origin || found->is_subroutine != subroutine) {
    return {};
  }
  const auto index = static_cast<std::size_t>(found - entries_.begin());
  if (!found->value.empty()) return {Valuing::kept_earlier, &*found, index};
  assign_cut(found->value, value, kValueCapacity);
  if (!found->value.empty()) found->number = static_cast<std::uint32_t>(hex_value(found->value));
  return {Valuing::given, &*found, index};
}

}  // namespace korva
