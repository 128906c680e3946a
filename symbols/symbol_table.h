// The symbol table: labels and subroutines entered in pass 1, valued in
// pass 2, and looked up by passes 2 and 3.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "support/line_record.h"

namespace korva {

struct Symbol {
  std::string name;        // label with its colons; empty for a subroutine entry
  std::string subroutine;  // enclosing subroutine, or the subroutine's own name
  std::string value;       // address or constant; empty until pass 2 gives it
  // The value as a number, read from its text by the hex value rule; none
  // while the text is empty.
  std::optional<std::uint32_t> number;
  std::size_t origin = 0;  // source position of the line that created the entry
  bool is_subroutine = false;

  // The value where its text is plain hexadecimal (one to eight digits), as
  // the map and debug files list it; none for a text such as "$XXXX", which
  // `number` reads as 0.
  std::optional<std::uint32_t> plain_number() const;
};

class SymbolTable {
 public:
  static constexpr std::size_t kCapacity = 1000;
  static constexpr std::size_t kSubroutineNameCapacity = 30;
  static constexpr std::size_t kValueCapacity = 9;

  void reset();

  // Pass 1: enters the line's subroutine or label. `origin` is the source
  // position after the line, which pass 2 uses to find the same entry again.
  // Empties the record's error text first; writes a message on a duplicate
  // name or a full table.
  void collect_symbols(LineRecord& record, std::size_t origin);

  // The entries that each kind of lookup finds, or null: a subroutine named
  // `name`; the global label or constant `name`::; the label `name`: local
  // to `subroutine` (empty: the labels outside every subroutine). A jump
  // target is the local label of the subroutine the jump stands in, else the
  // global one. Names compare exactly, and the first entry in table order
  // wins.
  const Symbol* find_subroutine(std::string_view name) const;
  const Symbol* find_global(std::string_view name) const;
  const Symbol* find_local(std::string_view name, std::string_view subroutine) const;
  const Symbol* find_jump_target(std::string_view name, std::string_view subroutine) const;

  const std::vector<Symbol>& entries() const { return entries_; }

  // Pass 2: gives the entry that pass 1 made for the line at `origin` (a
  // subroutine entry or a label entry) its value, cut to the value field.
  // An entry keeps its first value: a line of a macro body may be expanded
  // many times, and every expansion's jumps reach the first copy.
  enum class Valuing { given, kept_earlier, no_entry };
  struct ValuingResult {
    Valuing outcome = Valuing::no_entry;
    const Symbol* entry = nullptr;  // the entry, unless there is none
    std::size_t index = 0;          // its place in the table
  };
  ValuingResult give_value(std::size_t origin, bool subroutine, std::string_view value);

 private:
  // Hashes and compares std::string keys with std::string_view probes.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };
  // Text key -> index of the first entry, in table order, with that key.
  using FirstIndex = std::unordered_map<std::string, std::size_t, TextHash, std::equal_to<>>;

  std::size_t new_entry(LineRecord& record);  // index, or kCapacity when full
  void index_entry(std::size_t index);
  static const Symbol* first(const FirstIndex& index, std::string_view key,
                             const std::vector<Symbol>& entries);

  std::vector<Symbol> entries_;
  std::string current_subroutine_;
  // Lookup index, so that a lookup finds the same first entry as a walk
  // through the table without walking it.
  FirstIndex first_of_subroutine_;  // by the subroutine field
  FirstIndex first_of_name_;        // by the name, in any subroutine
  std::unordered_map<std::string, FirstIndex, TextHash, std::equal_to<>>
      first_in_subroutine_;  // by subroutine field, then name
};

}  // namespace korva
