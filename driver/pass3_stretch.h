// What pass 3 collects over a stretch of the records: the words, the error
// list, the diagnostics and the counts behind the summary warnings. A large
// program's records are cut into pieces that two threads list at once: the
// worker from the first piece on, in order, as one stretch, and the
// caller's thread from the last piece back, each piece a stretch of its
// own. Once both are done, the caller's pieces are joined to the worker's
// stretch in order, as if one stretch had listed them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
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

// Where a piece of pass 3 after the first starts: the state pass 3 will be in
// there, as pass 2 foresaw it from its own addresses and subroutines. The
// first record is a line of the source's own (not of a macro expansion), so
// no macro call stands around it.
struct StretchStart {
  std::size_t record = 0;
  std::uint32_t counter = 0;  // the location counter before it
  std::string subroutine;     // the subroutine around it
};

// Stretches are listed on two threads at once: each on cache lines of its
// own.
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

  // Takes over what `later` collected over the records that follow this
  // stretch's; `later.chip` is a copy of this one's chip checks as they
  // were before pass 3 began. Warnings beyond their kind's share over both
  // stretches are dropped, as one stretch would have left them out.
  void join(Pass3Stretch&& later);
};

// Which pieces of pass 3 each thread lists: the front takes them in order
// from the second on (the first is its own), the back from the last one
// down, until they meet. Both finish about together, however fast each
// goes, and the front's pieces are the first ones without a gap.
class PieceClaims {
 public:
  // `pieces`: at least one.
  explicit PieceClaims(std::size_t pieces) : back_(pieces - 1) {}
  // The next piece for the front, or none once the back has taken it.
  std::optional<std::size_t> take_front();
  // The next piece for the back, or none once the front has taken it.
  std::optional<std::size_t> take_back();

 private:
  std::mutex mutex_;
  std::size_t front_ = 1;  // the next piece the front would take
  std::size_t back_;       // the next piece the back would take
};

}  // namespace korva
