#include "bench/stage_benchmarks.h"

#include <benchmark/benchmark.h>

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "bench/project_generator.h"
#include "codegen/hex_text.h"
#include "codegen/operand_encoding.h"
#include "patterns/matcher.h"
#include "patterns/pattern_table.h"
#include "source/source_reader.h"
#include "support/line_record.h"
#include "syntax/statement_styles.h"

namespace korva::bench {
namespace {

// Statements that fit early and late table entries, in both letter cases,
// and statements that fit none.
constexpr std::array<std::string_view, 24> kStatements = {"\\3FFF",
                                                          "(COUNT)+1>W",
                                                          "(COUNT)-1(Z)->",
                                                          "W+(COUNT)>W",
                                                          "w+5>w",
                                                          "WV$10>W",
                                                          "RET 5>W",
                                                          "<<(COUNT)<<->F",
                                                          "00>(COUNT)",
                                                          "(PORTB)_BIT3<1",
                                                          "(PORTB)_bit0=1->",
                                                          "NOP",
                                                          "clrwdt",
                                                          "===->LOOP",
                                                          "DE 12",
                                                          "W>(COUNT)",
                                                          "SWAP(COUNT)>W",
                                                          "RAM=20h",
                                                          "SUB DELAY",
                                                          "(COUNT)>W",
                                                          "=5",
                                                          "END SUB",
                                                          "DE5",
                                                          "DELAY"};

// Operands in every number notation, and texts that are not numbers.
constexpr std::array<std::string_view, 12> kNumbers = {
    "31", " 12 ", "$1F", "$1f", "1Fh", "0FFH", "H'1F'", "h'3c'", "$XXXX", "20AB", "5x", "COUNT"};

constexpr std::array<std::string_view, 8> kOperands = {"(V12)", "K5", "(V3+2)", "K7+K9-1",
                                                       "$10",   "W",  "25",     "(MISSING)"};

std::string numbered(std::string_view prefix, std::size_t n, std::string_view suffix = {}) {
  std::string name(prefix);
  name += std::to_string(n);
  name += suffix;
  return name;
}

void match_mix(benchmark::State& state) {
  std::vector<LineRecord> records(kStatements.size());
  for (std::size_t i = 0; i < kStatements.size(); ++i) records[i].statement = kStatements[i];
  for (auto _ : state) {
    for (LineRecord& record : records) {
      match_statement(record);
      benchmark::DoNotOptimize(record.pattern);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(records.size()));
}

// The styles of the same statements, as the window's listing shows them.
void style_mix(benchmark::State& state) {
  const std::optional<syntax::Notation> notation =
      syntax::notation_from(pattern_entries()).notation;
  if (!notation) {
    state.SkipWithError("the pattern table has no notation for editors");
    return;
  }
  for (auto _ : state) {
    for (std::string_view statement : kStatements) {
      benchmark::DoNotOptimize(syntax::statement_styles(*notation, pattern_entries(), statement));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kStatements.size()));
}

void check_every_notation(benchmark::State& state) {
  std::string operand;
  for (auto _ : state) {
    for (std::string_view text : kNumbers) {
      operand = text;
      benchmark::DoNotOptimize(check_number(operand));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kNumbers.size()));
}

// Runs one lookup of the symbol table again and again.
template <typename Find>
void lookup(benchmark::State& state, Find find) {
  for (auto _ : state) benchmark::DoNotOptimize(find());
}

void evaluate_mix(benchmark::State& state, const SymbolTable& symbols) {
  std::string operand;
  for (auto _ : state) {
    for (std::string_view text : kOperands) {
      operand = text;
      benchmark::DoNotOptimize(evaluate_operand(operand, symbols));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kOperands.size()));
}

void read_all_lines(benchmark::State& state, const std::string& text) {
  SourceReader reader;
  std::string line;
  std::int64_t lines = 0;
  for (auto _ : state) {
    reader.reset(text);
    do {
      line.clear();
      reader.read_line(line);
      ++lines;
    } while (line != "end");
  }
  state.SetItemsProcessed(lines);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void enter(SymbolTable& symbols, std::string_view label, std::string_view statement,
           std::size_t origin) {
  LineRecord record;
  record.label = label;
  record.statement = statement;
  symbols.collect_symbols(record, origin);
}

// 1000 entries: 100 subroutines (P0 ... P99) with 8 local labels each, then
// 100 global labels, the last four of them the names of the operand mix
// (the very last is K7::). Values are ascending addresses.
SymbolTable full_symbol_table() {
  SymbolTable symbols;
  symbols.reset();
  std::size_t origin = 0;
  for (std::size_t sub = 0; sub < 100; ++sub) {
    enter(symbols, "", numbered("SUB P", sub), origin++);
    for (std::size_t i = 0; i < 8; ++i) enter(symbols, numbered("S", i, ":"), "", origin++);
    enter(symbols, "", "END SUB", origin++);
  }
  for (std::size_t i = 0; i < 96; ++i) enter(symbols, numbered("G", i, "::"), "", origin++);
  for (std::string_view name : {"V12::", "K5::", "V3::", "K7::"}) {
    enter(symbols, name, "", origin++);
  }
  std::uint32_t value = 0x20;
  const std::vector<Symbol> entries = symbols.entries();
  for (const Symbol& entry : entries) {
    std::string text = to_hex(value++);
    pad_hex(text, 4);
    symbols.give_value(entry.origin, entry.is_subroutine, text);
  }
  return symbols;
}

}  // namespace

StageInputs make_stage_inputs(std::size_t lines) {
  StageInputs inputs{full_symbol_table(), {}};
  const GeneratedSource source = generate_source(lines);
  inputs.text = source.definitions + source.program;
  return inputs;
}

void register_stage_benchmarks(const StageInputs& inputs) {
  const SymbolTable& symbols = inputs.symbols;
  benchmark::RegisterBenchmark("match_statement/mix24", match_mix);
  benchmark::RegisterBenchmark("statement_styles/mix24", style_mix);
  benchmark::RegisterBenchmark("check_number/notations12", check_every_notation);
  benchmark::RegisterBenchmark("find_subroutine/first", [&symbols](benchmark::State& state) {
    lookup(state, [&symbols] { return symbols.find_subroutine("P0"); });
  });
  benchmark::RegisterBenchmark("find_global/last", [&symbols](benchmark::State& state) {
    lookup(state, [&symbols] { return symbols.find_global("K7"); });
  });
  benchmark::RegisterBenchmark("find_global/missing", [&symbols](benchmark::State& state) {
    lookup(state, [&symbols] { return symbols.find_global("NOWHERE"); });
  });
  benchmark::RegisterBenchmark("find_local/last", [&symbols](benchmark::State& state) {
    lookup(state, [&symbols] { return symbols.find_local("S7", "P99"); });
  });
  benchmark::RegisterBenchmark("evaluate_operand/mix8", [&symbols](benchmark::State& state) {
    evaluate_mix(state, symbols);
  });
  benchmark::RegisterBenchmark("read_line/generated_50k", [&inputs](benchmark::State& state) {
    read_all_lines(state, inputs.text);
  });
}

}  // namespace korva::bench
