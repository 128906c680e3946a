// Where the program's symbols are defined and used, by file, line and
// column, for editors that jump to a definition or list the uses of a name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "source/source_map.h"
#include "symbols/symbol_table.h"

namespace korva {

// A name in the source: its line, the byte column where it starts (counted
// from 1) and its length in bytes.
struct SymbolSpan {
  SourceLocation where;
  std::size_t column = 1;
  std::size_t length = 0;
};

struct SymbolOccurrence {
  std::string name;  // without colons; CP932
  SymbolSpan span;
};

struct SymbolFacts {
  // Each label, constant and subroutine name where its line defines it, in
  // the order of the symbol table.
  std::vector<SymbolOccurrence> definitions;
  // Every other occurrence of a defined name in a statement (remarks and
  // texts in quotes left out), in source order. Names of local labels count
  // wherever a local label of that name exists.
  std::vector<SymbolOccurrence> references;
};

SymbolFacts collect_symbol_facts(std::string_view text, const SourceMap& map,
                                 const SymbolTable& symbols);

}  // namespace korva
