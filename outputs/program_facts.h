// What an assembly knows about the program it produced, beyond the three
// output files: where each program word comes from, every symbol with its
// kind and place, the subroutines and the data memory reserved. The debug
// file for simulators and the map file are written from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chip/chip_facts.h"
#include "patterns/pattern_table.h"
#include "source/source_map.h"
#include "support/line_record.h"
#include "symbols/symbol_table.h"

namespace korva {

// A line of a source file: the file's index in ProgramFacts::files and the
// line counted from 1.
struct SourcePlace {
  std::uint32_t file = 0;
  std::uint32_t line = 0;
  friend bool operator==(const SourcePlace&, const SourcePlace&) = default;
};

// Which line wrote each word of an image (word a at byte 2a), as runs of
// consecutive words written by one line, in address order. The words
// between runs (the zero fill of an ORG) were written by no line. Held as
// runs so that an image that an ORG stretches far costs nothing per word.
class WordPlaces {
 public:
  struct Run {
    std::size_t first = 0;  // the first word
    std::size_t end = 0;    // one past the last word
    SourcePlace place;
    friend bool operator==(const Run&, const Run&) = default;
  };

  // Words [first, end) written by the line at `place`. An image only grows,
  // so words come in address order; a word already placed (one that a data
  // byte shares with the next line) keeps its first line.
  void add(std::size_t first, std::size_t end, SourcePlace place);

  std::span<const Run> runs() const { return runs_; }
  std::optional<SourcePlace> at(std::size_t word) const;
  // How many words of [first, end) a line wrote.
  std::size_t count_in(std::size_t first, std::size_t end) const;
  // The highest word below `end` that a line wrote.
  std::optional<std::size_t> last_below(std::size_t end) const;
  // The runs cut to the words [first, end).
  std::vector<Run> within(std::size_t first, std::size_t end) const;

  // Adjacent runs of one line are one run, so equal contents compare equal.
  friend bool operator==(const WordPlaces&, const WordPlaces&) = default;

 private:
  std::vector<Run> runs_;
};

enum class SymbolKind { global_label, local_label, subroutine, constant, reservation };

struct ProgramSymbol {
  std::string name;   // without colons; a subroutine's own name for a subroutine
  std::string scope;  // the subroutine a one-colon name belongs to; empty outside
  SymbolKind kind = SymbolKind::global_label;
  bool global = true;                  // written with two colons (constants and reservations too)
  std::optional<std::uint32_t> value;  // none when the assembly never gave it one
  std::optional<std::uint32_t> size;   // bytes of a reservation, words of a subroutine
  std::optional<SourcePlace> place;    // the line that defines it
};

// A run of data memory reserved by one [n] statement, named or not.
struct Reservation {
  std::uint32_t start = 0;
  std::uint32_t bytes = 0;
};

struct ProgramFacts {
  std::vector<std::string> files;  // the project's entries, CP932, in project order
  // How many of the first files are definitions put in front of the
  // project's own sources (a chip's register and bit names).
  std::size_t definition_files = 0;
  std::string image;  // the bytes of the program image (.bin)
  // For each word of the image, the line that wrote it; none for the zero
  // fill of an ORG.
  WordPlaces word_places;
  std::vector<ProgramSymbol> symbols;  // in the order the source defines them
  std::vector<Reservation> reservations;
  // The chip the sources define, whose memory the map is laid out by.
  std::optional<ChipFacts> chip;
};

// Gathers the facts while the passes run; the assembler feeds it only when
// the facts were asked for.
class ProgramFactsCollector {
 public:
  // Where pass 2 moved its counters for one statement: the location counter
  // and the reservation pointer, before and after (16-bit addresses).
  struct Step {
    std::uint32_t counter_before = 0;
    std::uint32_t counter_after = 0;
    std::uint32_t ram_before = 0;
    std::uint32_t ram_after = 0;
  };
  // Pass 2, after a statement has been classified. `origin` is where pass 1
  // entered the line's symbol.
  void classified(const LineRecord& record, std::optional<std::size_t> origin, const Step& step);
  // End of pass 2: a subroutine still open ends at the last address.
  void pass2_ended(std::uint32_t counter);

  // Pass 3: the record at `where` wrote image bytes [begin, end).
  void wrote(std::size_t begin, std::size_t end, SourcePlace where);

  ProgramFacts finish(const SymbolTable& symbols, const SourceMap& map,
                      std::vector<std::string> files, std::string image);

 private:
  struct Extent {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
  };
  void close_subroutine(std::uint32_t end);

  // Pattern type of the first statement that valued the symbol entered at
  // an origin (a constant, a reservation; any other type makes a label).
  std::unordered_map<std::size_t, PatternType> types_by_origin_;
  std::unordered_map<std::size_t, std::uint32_t> reserved_by_origin_;
  std::unordered_map<std::size_t, Extent> subroutines_by_origin_;
  std::optional<std::size_t> open_subroutine_;
  std::vector<Reservation> reservations_;
  WordPlaces word_places_;
};

}  // namespace korva
