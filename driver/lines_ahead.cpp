#include "driver/lines_ahead.h"

#include "support/hash_bytes.h"

namespace korva {

LinesAhead::LinesAhead(std::string_view text, const RepeatedLines* repeated) : repeated_(repeated) {
  reader_.reset(text);
  for (Ahead& ahead : ahead_) read_ahead(ahead);
  if (repeated_ != nullptr) repeated_->prefetch_line(ahead_[0].hash);
}

std::size_t LinesAhead::read_line(std::string& destination) {
  Ahead& handed = ahead_[next_];
  destination.swap(handed.line);
  const std::size_t end = handed.end;
  last_hash_ = handed.hash;
  read_ahead(handed);
  next_ ^= 1;
  // The slot of the line now next was asked for a line ago.
  if (repeated_ != nullptr) repeated_->prefetch_line(ahead_[next_].hash);
  return end;
}

void LinesAhead::read_ahead(Ahead& ahead) {
  ahead.start = reader_.position();
  ahead.end = reader_.read_line(ahead.line);
  if (repeated_ == nullptr) return;
  ahead.hash = hash_bytes(ahead.line);
  repeated_->prefetch_slot(ahead.hash);
}

}  // namespace korva
