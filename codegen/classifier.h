// Pass 2: gives each matched statement its kind tag, its provisional code and
// its address, carries out the directives, values the labels and advances the
// location counter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "patterns/pattern_table.h"
#include "support/line_record.h"
#include "symbols/symbol_table.h"

namespace korva {

class Classifier {
 public:
  // Start of pass 2: RAM pointer 10h.
  void reset();

  // `origin` is the source position that pass 1 gave the line's symbol entry:
  // the position after the line in the source (for a line of a macro body,
  // after that line in the definition), or after the call line for a body
  // line that carries the call's label. Labels and subroutines are valued
  // through it, once each, so the entries stay in step with their lines.
  // `location_counter` is the program address (16 bits) that the record's
  // address field shows; the statement moves it on.
  void classify_statement(LineRecord& record, std::uint32_t& location_counter, SymbolTable& symbols,
                          std::optional<std::size_t> origin);
  // The same with the location counter as four hexadecimal digits, as the
  // record's address field holds it.
  void classify_statement(LineRecord& record, std::string& location_counter, SymbolTable& symbols,
                          std::optional<std::size_t> origin);

  // The RAM pointer as the records show it: the operand of the last RAM= as
  // written until a reservation moves it on, else four lower-case digits.
  std::string ram_pointer() const;
  // The RAM pointer as a 16-bit address: the text above read as four
  // hexadecimal digits ("$XXXX" as 0).
  std::uint32_t ram_address() const { return ram_pointer_; }

  // A label or subroutine of a macro body met again in a later expansion:
  // it keeps the value of its first expansion.
  struct RepeatedSymbol {
    std::string name;  // the label with its colons, or the subroutine's name
    bool subroutine = false;
    std::string value;
  };
  // Set by the last classify_statement when it met such a symbol for the
  // first time since the reset; each is reported once.
  const std::optional<RepeatedSymbol>& repeated_symbol() const { return repeated_; }

 private:
  // Gives the entry that pass 1 made for the line at `origin` its value; an
  // entry that already has one (a macro body expanded again) is noted in
  // repeated_, once.
  void give_value(SymbolTable& symbols, std::optional<std::size_t> origin, bool subroutine,
                  std::string_view value);
  void classify_directive(LineRecord& record, PatternType type, std::uint32_t& location_counter);
  void classify_call(LineRecord& record, const SymbolTable& symbols);

  std::uint32_t ram_pointer_ = kFirstRamAddress;
  std::optional<std::string> ram_written_;  // RAM='s operand, until a reservation
  static constexpr std::uint32_t kFirstRamAddress = 0x10;
  std::optional<RepeatedSymbol> repeated_;
  std::unordered_set<std::size_t> repeats_reported_;  // entry indices
};

}  // namespace korva
