#include "driver/pass3_stretch.h"

#include <utility>

namespace korva {

namespace {

// A count with the place of its first instance: the earlier stretch's
// first, unless it found none.
void add_count(std::size_t& count, SourceLocation& first, std::size_t& first_index,
               std::size_t later_count, const SourceLocation& later_first,
               std::size_t later_first_index) {
  if (count == 0 && later_count > 0) {
    first = later_first;
    first_index = later_first_index;
  }
  count += later_count;
}

}  // namespace

void Pass3Stretch::join(Pass3Stretch&& later) {
  // A warning of the later stretch is listed when its kind's share still
  // admits it after the earlier stretch's warnings of that kind.
  WarningCaps admitted = caps;
  diagnostics.reserve(diagnostics.size() + later.diagnostics.size());
  for (Diagnostic& diagnostic : later.diagnostics) {
    if (diagnostic.severity == Severity::warning && !admitted.admit(diagnostic.kind)) continue;
    diagnostics.push_back(std::move(diagnostic));
  }
  caps.add_later(later.caps);

  add_count(tally.outside_bank0, tally.first_outside_bank0, tally.first_outside_bank0_index,
            later.tally.outside_bank0, later.tally.first_outside_bank0,
            later.tally.first_outside_bank0_index);
  add_count(tally.unwritten_words, tally.first_unwritten, tally.first_unwritten_index,
            later.tally.unwritten_words, later.tally.first_unwritten,
            later.tally.first_unwritten_index);
  if (chip != nullptr && later.chip != nullptr) {
    if (!chip->found_beyond() && later.chip->found_beyond()) {
      tally.first_beyond = later.tally.first_beyond;
      tally.first_beyond_index = later.tally.first_beyond_index;
    }
    chip->add_later(*later.chip);
  }

  error_entries.reserve(error_entries.size() + later.error_entries.size());
  for (std::string& entry : later.error_entries) error_entries.push_back(std::move(entry));
  image.append(later.image);
  counter = later.counter;
  pending = later.pending;
}

std::optional<std::size_t> PieceClaims::take_front() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (front_ > back_) return std::nullopt;
  return front_++;
}

std::optional<std::size_t> PieceClaims::take_back() {
  const std::lock_guard<std::mutex> lock(mutex_);
  // The first piece is always the front's, so back_ stays above zero here.
  if (back_ < front_) return std::nullopt;
  return back_--;
}

}  // namespace korva
