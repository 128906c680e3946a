// The facts an assembly gathers for the debug and map files: the line behind
// every program word, the symbols with their kinds, the subroutines and the
// data memory reserved.
#include "outputs/program_facts.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "project/assembler.h"
#include "project/project.h"
#include "test_support.h"
#include "word_places_support.h"

namespace korva {
namespace {

using testing::ScratchDir;

std::string lines(std::initializer_list<std::string_view> each) {
  std::string text;
  for (std::string_view line : each) (text += line) += "\r\n";
  return text;
}

struct Assembled {
  AssemblyResult result;
  std::string object, listing, image;
};

Assembled assemble(const ScratchDir& dir,
                   const std::vector<std::pair<std::string, std::string>>& files, bool facts) {
  ProjectState project;
  project.entry_directory = dir.path();
  for (const auto& [name, bytes] : files) {
    testing::write_bytes(dir.path() / name, bytes);
    project.entries.push_back(name);
  }
  take_project_path(project, SystemPath(dir.path() / "p.amk"));
  testing::RecordingHost host;
  Assembler assembler;
  assembler.collect_program_facts(facts);
  Assembled run{
      assembler.assemble_project(project, host), testing::read_bytes(dir.path() / "p.obj"),
      testing::read_bytes(dir.path() / "p.out"), testing::read_bytes(dir.path() / "p.bin")};
  return run;
}

const std::vector<std::pair<std::string, std::string>> kTwoFiles = {
    {"a.as", lines({"START:: PAIR",        // 1: labelled macro call
                    "        \\12345678",  // 2: two words
                    "        ORG 6",       // 3: zero fill of words 4 and 5
                    "        SUB ONE",     // 4
                    "BACK:   NOP",         // 5
                    "        END SUB"})},  // 6: RETURN
    {"m.inc", lines({"MACRO PAIR",         // 1
                     "        NOP",        // 2
                     "        CLRWDT",     // 3
                     "END MACRO"})},       // 4
};

TEST(ProgramFacts, EachWordNamesTheLineThatWroteItAndMacroWordsTheirBodyLine) {
  ScratchDir dir;
  const Assembled run = assemble(dir, kTwoFiles, true);
  ASSERT_TRUE(run.result.facts.has_value());
  const ProgramFacts& facts = *run.result.facts;
  EXPECT_EQ(facts.files, (std::vector<std::string>{"a.as", "m.inc"}));
  EXPECT_EQ(facts.image, run.image);
  using Place = std::optional<SourcePlace>;
  const std::vector<Place> expected = {
      SourcePlace{1, 2}, SourcePlace{1, 3},  // the body lines of PAIR
      SourcePlace{0, 2}, SourcePlace{0, 2},  // one line, two words
      std::nullopt,      std::nullopt,       // ORG fill
      SourcePlace{0, 5}, SourcePlace{0, 6},
  };
  EXPECT_EQ(facts.word_places, testing::word_places_of(expected));
}

// Places built from runs answer word by word as the words themselves would.
TEST(WordPlaces, RunsAnswerAsTheirWordsWould) {
  const SourcePlace a{0, 1}, b{0, 2}, c{1, 9};
  struct Add {
    std::size_t first, end;
    SourcePlace place;
  };
  const struct {
    const char* name;
    std::vector<Add> adds;
    std::vector<std::optional<SourcePlace>> words;  // the same places, word by word
    std::size_t runs;
  } cases[] = {
      {"empty", {}, {}, 0},
      {"one line", {{2, 5, a}}, {std::nullopt, std::nullopt, a, a, a}, 1},
      {"lines side by side", {{0, 2, a}, {2, 3, b}}, {a, a, b}, 2},
      {"one line twice in a row joins", {{0, 1, a}, {1, 2, a}}, {a, a}, 1},
      {"a shared word keeps its first line", {{0, 1, a}, {0, 2, b}}, {a, b}, 2},
      {"a word placed again is kept", {{0, 3, a}, {1, 2, c}}, {a, a, a}, 1},
      {"a gap between",
       {{0, 1, a}, {4, 6, c}},
       {a, std::nullopt, std::nullopt, std::nullopt, c, c},
       2},
      {"nothing written", {{3, 3, a}}, {}, 0},
  };
  for (const auto& one : cases) {
    SCOPED_TRACE(one.name);
    WordPlaces places;
    for (const Add& add : one.adds) places.add(add.first, add.end, add.place);
    EXPECT_EQ(places.runs().size(), one.runs);
    EXPECT_EQ(places, testing::word_places_of(one.words));
    // Every question, asked for every range around the words.
    const std::size_t span = one.words.size() + 2;
    for (std::size_t first = 0; first <= span; ++first) {
      EXPECT_EQ(places.at(first), first < one.words.size() ? one.words[first] : std::nullopt);
      for (std::size_t end = first; end <= span; ++end) {
        std::size_t count = 0;
        std::vector<std::optional<SourcePlace>> cut(one.words.size());
        for (std::size_t w = first; w < end && w < one.words.size(); ++w) {
          count += one.words[w].has_value();
          cut[w] = one.words[w];
        }
        EXPECT_EQ(places.count_in(first, end), count) << first << "-" << end;
        WordPlaces within;
        for (const WordPlaces::Run& run : places.within(first, end)) {
          within.add(run.first, run.end, run.place);
        }
        EXPECT_EQ(within, testing::word_places_of(cut)) << first << "-" << end;
      }
      std::optional<std::size_t> last;
      for (std::size_t w = 0; w < std::min(first, one.words.size()); ++w) {
        if (one.words[w]) last = w;
      }
      EXPECT_EQ(places.last_below(first), last) << first;
    }
    EXPECT_EQ(places.count_in(5, 2), 0u);  // an empty range, given backwards
  }
}

TEST(ProgramFacts, DataByteSharesItsWordWithTheNextLine) {
  ScratchDir dir;
  const Assembled run = assemble(dir, {{"a.as", lines({"        DE 41h", "        NOP"})}}, true);
  ASSERT_TRUE(run.result.facts.has_value());
  // Bytes 41 00 00: word 0 holds the data byte and half of the NOP.
  EXPECT_EQ(run.result.facts->word_places,
            testing::word_places_of({SourcePlace{0, 1}, SourcePlace{0, 2}}));
}

TEST(ProgramFacts, SymbolsCarryKindScopeValueSizeAndPlace) {
  ScratchDir dir;
  const Assembled run = assemble(dir,
                                 {{"a.as", lines({
                                               "COUNT   EQU 20h",  // 1
                                               "LIM:    =5",       // 2
                                               "        RAM=7Eh",  // 3
                                               "BUF::   [4]",      // 4
                                               "        [1]",      // 5
                                               "LOCAL:  [2]",      // 6
                                               "        SUB S1",   // 7
                                               "IN:     NOP",      // 8
                                               "G::     NOP",      // 9
                                               "        SUB S2",   // 10: S1 ends here
                                               "        NOP",      // 11
                                               "        END SUB",  // 12
                                               "        SUB S3",   // 13: open at the end
                                               "        NOP",      // 14
                                               "        NOP",      // 15
                                           })}},
                                 true);
  ASSERT_TRUE(run.result.facts.has_value());
  struct Expected {
    const char* name;
    const char* scope;
    SymbolKind kind;
    bool global;
    std::uint32_t value;
    std::optional<std::uint32_t> size;
    std::uint32_t line;
  };
  const std::vector<Expected> expected = {
      {"COUNT", "", SymbolKind::constant, true, 0x20, std::nullopt, 1},
      {"LIM", "", SymbolKind::constant, false, 5, std::nullopt, 2},
      {"BUF", "", SymbolKind::reservation, true, 0x7E, 4, 4},
      {"LOCAL", "", SymbolKind::reservation, false, 0x83, 2, 6},
      {"S1", "", SymbolKind::subroutine, true, 0, 2, 7},
      {"IN", "S1", SymbolKind::local_label, false, 0, std::nullopt, 8},
      {"G", "", SymbolKind::global_label, true, 1, std::nullopt, 9},
      {"S2", "", SymbolKind::subroutine, true, 2, 2, 10},
      {"S3", "", SymbolKind::subroutine, true, 4, 2, 13},
  };
  const auto& symbols = run.result.facts->symbols;
  ASSERT_EQ(symbols.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(symbols[i].name, expected[i].name);
    EXPECT_EQ(symbols[i].scope, expected[i].scope);
    EXPECT_EQ(symbols[i].kind, expected[i].kind);
    EXPECT_EQ(symbols[i].global, expected[i].global);
    EXPECT_EQ(symbols[i].value, expected[i].value);
    EXPECT_EQ(symbols[i].size, expected[i].size);
    EXPECT_EQ(symbols[i].place, (SourcePlace{0, expected[i].line}));
  }
  const auto& reserved = run.result.facts->reservations;
  ASSERT_EQ(reserved.size(), 3u);
  EXPECT_EQ(std::make_pair(reserved[0].start, reserved[0].bytes), std::make_pair(0x7Eu, 4u));
  EXPECT_EQ(std::make_pair(reserved[1].start, reserved[1].bytes), std::make_pair(0x82u, 1u));
  EXPECT_EQ(std::make_pair(reserved[2].start, reserved[2].bytes), std::make_pair(0x83u, 2u));
}

TEST(ProgramFacts, EveryExpansionReservesAgainButASymbolKeepsItsFirstValue) {
  ScratchDir dir;
  const Assembled run =
      assemble(dir,
               {{"a.as", lines({"MACRO CELL", "TMP::   [1]", "END MACRO", "        RAM=30h",
                                "        CELL", "        CELL"})}},
               true);
  ASSERT_TRUE(run.result.facts.has_value());
  const auto& reserved = run.result.facts->reservations;
  ASSERT_EQ(reserved.size(), 2u);
  EXPECT_EQ(reserved[0].start, 0x30u);
  EXPECT_EQ(reserved[1].start, 0x31u);
  ASSERT_EQ(run.result.facts->symbols.size(), 1u);
  const ProgramSymbol& tmp = run.result.facts->symbols[0];
  EXPECT_EQ(tmp.kind, SymbolKind::reservation);
  EXPECT_EQ(tmp.value, 0x30u);
  EXPECT_EQ(tmp.place, (SourcePlace{0, 2}));  // the body line
}

TEST(ProgramFacts, ValuelessAndFailedSymbolsHaveNoValue) {
  ScratchDir dir;
  const Assembled run = assemble(
      dir, {{"a.as", lines({"BAD::   EQU TEN", "MACRO NEVER", "IN::    NOP", "END MACRO"})}}, true);
  ASSERT_TRUE(run.result.facts.has_value());
  const auto& symbols = run.result.facts->symbols;
  ASSERT_EQ(symbols.size(), 2u);
  EXPECT_EQ(symbols[0].kind, SymbolKind::constant);
  EXPECT_FALSE(symbols[0].value.has_value());
  EXPECT_EQ(symbols[1].kind, SymbolKind::global_label);
  EXPECT_FALSE(symbols[1].value.has_value());
}

// "$XXXX" is a number the notation lets through unread: the hex value rule
// reads it as 0, yet it is no value a map or debug file can show.
TEST(ProgramFacts, PlaceholderTextsAreNoValueAndReserveFromZero) {
  ScratchDir dir;
  const Assembled run = assemble(dir,
                                 {{"a.as", lines({"ODD::   EQU $XXXX", "EVEN::  EQU 12h",
                                                  "        RAM=$XXXX", "        [2]", "ODD>W"})}},
                                 true);
  ASSERT_TRUE(run.result.facts.has_value());
  const auto& symbols = run.result.facts->symbols;
  ASSERT_EQ(symbols.size(), 2u);
  EXPECT_FALSE(symbols[0].value.has_value());
  EXPECT_EQ(symbols[1].value, 0x12u);
  const auto& reserved = run.result.facts->reservations;
  ASSERT_EQ(reserved.size(), 1u);
  EXPECT_EQ(std::make_pair(reserved[0].start, reserved[0].bytes), std::make_pair(0u, 2u));
}

// The collector takes pass 2's counters as numbers; the reservation pointer
// wraps at 16 bits as the classifier's does.
TEST(ProgramFacts, ReservationsComeFromTheCountersGiven) {
  LineRecord reservation;
  reservation.pattern = 38;  // [@]
  set_kind(reservation, RecordKind::equ);
  LineRecord failed = reservation;
  set_kind(failed, RecordKind::error);
  const struct {
    const LineRecord& record;
    std::uint32_t ram_before, ram_after;
  } steps[] = {{reservation, 0x20, 0x24}, {failed, 0x24, 0x24}, {reservation, 0xFFFE, 0x0001}};
  ProgramFactsCollector collector;
  for (const auto& step : steps) {
    collector.classified(step.record, std::nullopt,
                         ProgramFactsCollector::Step{0, 0, step.ram_before, step.ram_after});
  }
  SymbolTable symbols;
  symbols.reset();
  const SourceMap map("", {"a.as"}, {0});
  const ProgramFacts facts = collector.finish(symbols, map, {}, {});
  ASSERT_EQ(facts.reservations.size(), 2u);
  EXPECT_EQ(std::make_pair(facts.reservations[0].start, facts.reservations[0].bytes),
            std::make_pair(0x20u, 4u));
  EXPECT_EQ(std::make_pair(facts.reservations[1].start, facts.reservations[1].bytes),
            std::make_pair(0xFFFEu, 3u));
}

}  // namespace
}  // namespace korva
