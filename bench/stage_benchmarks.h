// Benchmarks of single stages: the matcher (and the styles of statements as
// the window shows them), number notations, symbol lookup,
// operand evaluation and the line reader.
#pragma once

#include <string>

#include "symbols/symbol_table.h"

namespace korva::bench {

struct StageInputs {
  SymbolTable symbols;  // full: 1000 entries with values
  std::string text;     // a large source text for the line reader
};

// A full symbol table and the text of the generated project of `lines` lines.
StageInputs make_stage_inputs(std::size_t lines);

// Registers the stage benchmarks; `inputs` must outlive the run.
void register_stage_benchmarks(const StageInputs& inputs);

}  // namespace korva::bench
