// What pass 3 collects over a stretch of the records: the words, the error
// list, the diagnostics and the counts behind the summary warnings. A large
// program's records are listed in two stretches at once, the earlier on the
// worker thread and the later on the caller's; each stretch has its own,
// and the later is joined to the earlier once both are done, as if one
// stretch had listed them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codegen/code_generator.h"
#include "driver/chip_checks.h"
#include "driver/diagnostic_explainer.h"
#include "driver/diagnostics.h"
#include "driver/program_image.h"
#include "driver/warning_caps.h"
#include "support/cache_hints.h"

namespace korva {

// What pass 3 counts over the program for its summary warnings.
struct Tally {
  std::size_t outside_bank0 = 0;
  SourceLocation first_outside_bank0;
  std::size_t first_outside_bank0_index = 0;
  // Lines whose error left fewer words than pass 2 gave them addresses for.
  std::size_t unwritten_words = 0;
  SourceLocation first_unwritten;
  std::size_t first_unwritten_index = 0;
  // The first word beyond the chip's program memory.
  SourceLocation first_beyond;
  std::size_t first_beyond_index = 0;
};

// Where the later of two stretches starts: the state pass 3 will be in
// there, as pass 2 foresaw it from its own addresses and subroutines. The
// first record is a line of the source's own (not of a macro expansion), so
// no macro call stands around it.
struct StretchStart {
  std::size_t record = 0;
  std::uint32_t counter = 0;  // the location counter before it
  std::string subroutine;     // the subroutine around it
};

// Two stretches are listed on two threads at once: each on cache lines of
// its own.
struct alignas(kCacheLine) Pass3Stretch {
  Pass3Stretch(CodeGenerator& code_generator, ChipChecks* checks)
      : generator(&code_generator), chip(checks) {}

  CodeGenerator* generator;
  ChipChecks* chip;  // null without a chip
  std::uint32_t counter = 0;
  std::size_t pending = 0;  // the next pass-2 warning to list
  WarningCaps caps;
  Tally tally;
  std::vector<Diagnostic> diagnostics;
  std::vector<std::string> error_entries;
  ProgramImage image;
  LocalLabels local_labels;
  MacroCallTrail macro_calls;

  // Whether this stretch, listed up to `later.record`, ended in the state
  // that the later stretch started from.
  bool reaches(const StretchStart& later) const {
    return counter == later.counter && generator->subroutine() == later.subroutine;
  }
  // Takes over what `later` collected over the records that follow this
  // stretch's; `later.chip` is a copy of this one's chip checks as they
  // were before either stretch began. Warnings beyond their kind's share
  // over both stretches are dropped, as one stretch would have left them out.
  void join(Pass3Stretch&& later);
};

}  // namespace korva
