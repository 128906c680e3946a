#include "driver/repeated_lines.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "support/cache_hints.h"
#include "support/hash_bytes.h"

namespace korva {

namespace {

// About a slot for every eight lines, within 1 024 and 16 384 slots (256
// KiB), and 32 bytes of packed lines a slot.
constexpr unsigned kFewestSlotBits = 10;
constexpr unsigned kMostSlotBits = 14;
constexpr std::size_t kBytesPerSlot = 32;

constexpr std::uint8_t kKeepsOperands = 1;
constexpr std::uint8_t kEndsSubroutine = 2;
// The number, the flags, the words and the line's length.
constexpr std::size_t kHeadBytes = 4 + 1 + 1 + 2;

std::size_t two_bytes(const char* at) {
  return static_cast<unsigned char>(at[0]) + 256u * static_cast<unsigned char>(at[1]);
}

template <std::size_t Capacity>
void unpack(const char*& at, FieldText<Capacity>& text) {
  const auto size = static_cast<unsigned char>(*at++);
  text.assign(std::string_view(at, size));
  at += size;
}

void skip(const char*& at) {
  at += 1 + static_cast<unsigned char>(*at);
}

}  // namespace

RepeatedLines::RepeatedLines(std::size_t lines) {
  const auto bits =
      std::clamp(static_cast<unsigned>(std::bit_width(lines / 8)), kFewestSlotBits, kMostSlotBits);
  slots_.resize(std::size_t{1} << bits);
  shift_ = 64 - bits;
  most_bytes_ = slots_.size() * kBytesPerSlot;
}

std::optional<RepeatedLines::Found> RepeatedLines::find(std::string_view line) const {
  return find(line, hash_bytes(line));
}

void RepeatedLines::prefetch_slot(std::uint64_t hash) const {
  __builtin_prefetch(&slots_[index_of(hash)]);
}

void RepeatedLines::prefetch_line(std::uint64_t hash) const {
  const Slot& slot = slots_[index_of(hash)];
  if (slot.at == 0 || slot.generation != generation_ ||
      slot.hash != static_cast<std::uint32_t>(hash)) {
    return;
  }
  // A line kept with its fields spans two cache lines more often than not.
  const std::size_t at = slot.at - 1;
  __builtin_prefetch(packed_.data() + at);
  if (packed_.size() - at > kCacheLine) __builtin_prefetch(packed_.data() + at + kCacheLine);
}

std::optional<RepeatedLines::Found> RepeatedLines::find(std::string_view line,
                                                        std::uint64_t hash) const {
  const Slot& slot = slots_[index_of(hash)];
  if (slot.at == 0 || slot.generation != generation_ ||
      slot.hash != static_cast<std::uint32_t>(hash)) {
    return std::nullopt;
  }
  const char* entry = packed_.data() + slot.at - 1;
  if (two_bytes(entry + 6) != line.size() ||
      std::memcmp(entry + kHeadBytes, line.data(), line.size()) != 0) {
    return std::nullopt;
  }
  Found found;
  found.at = slot.at - 1;
  std::memcpy(&found.same_as, entry, sizeof found.same_as);
  found.keeps_operands = (entry[4] & kKeepsOperands) != 0;
  found.ends_subroutine = (entry[4] & kEndsSubroutine) != 0;
  found.words = static_cast<unsigned char>(entry[5]);
  return found;
}

std::string_view RepeatedLines::shared_fields(std::uint32_t at) const {
  const char* entry = packed_.data() + at;
  const char* fields = entry + kHeadBytes + two_bytes(entry + 6);
  return std::string_view(fields + 2, two_bytes(fields));
}

void RepeatedLines::restore_fields(std::uint32_t at, LineRecord& record) const {
  const char* in = shared_fields(at).data();
  unpack(in, record.statement);
  unpack(in, record.label);
  unpack(in, record.remark);
  unpack(in, record.error);
  unpack(in, record.pattern_key);
  unpack(in, record.code);
  skip(in);
  skip(in);
  skip(in);
  unpack(in, record.kind);
}

void RepeatedLines::restore_operands(std::uint32_t at, LineRecord& record) const {
  const char* in = shared_fields(at).data();
  for (int field = 0; field < 6; ++field) skip(in);
  unpack(in, record.operand1);
  unpack(in, record.operand2);
  unpack(in, record.operand3);
}

void RepeatedLines::note(std::string_view line) {
  note(line, hash_bytes(line));
}

void RepeatedLines::note(std::string_view line, std::uint64_t hash) {
  noted_line_.assign(line);
  noted_hash_ = hash;
}

void RepeatedLines::forget() {
  packed_.clear();
  if (++generation_ == 0) {
    // The slots of an older generation could be taken for this one's.
    std::fill(slots_.begin(), slots_.end(), Slot{});
    generation_ = 1;
  }
}

std::uint32_t RepeatedLines::remember(std::string_view shared, std::uint32_t words,
                                      bool keeps_operands, bool ends_subroutine) {
  if (noted_line_.size() > UINT16_MAX || shared.size() > UINT16_MAX || words > UINT8_MAX) return 0;
  Slot& slot = slots_[index_of(noted_hash_)];
  const auto hash = static_cast<std::uint32_t>(noted_hash_);
  if (slot.seen != hash) {
    // Met for the first time, as far as the table knows.
    slot.seen = hash;
    return 0;
  }
  if (packed_.size() > most_bytes_) forget();
  std::uint32_t same_as = 0;
  if (!keeps_operands) {
    if (++last_number_ == 0) last_number_ = 1;
    same_as = last_number_;
  }
  const std::size_t at = packed_.size();
  packed_.resize(at + kHeadBytes + noted_line_.size() + 2 + shared.size());
  char* out = packed_.data() + at;
  std::memcpy(out, &same_as, sizeof same_as);
  out[4] = static_cast<char>((keeps_operands ? kKeepsOperands : 0) |
                             (ends_subroutine ? kEndsSubroutine : 0));
  out[5] = static_cast<char>(words);
  out[6] = static_cast<char>(noted_line_.size() & 0xFF);
  out[7] = static_cast<char>(noted_line_.size() >> 8);
  out += kHeadBytes;
  std::memcpy(out, noted_line_.data(), noted_line_.size());
  out += noted_line_.size();
  *out++ = static_cast<char>(shared.size() & 0xFF);
  *out++ = static_cast<char>(shared.size() >> 8);
  std::memcpy(out, shared.data(), shared.size());
  slot = Slot{hash, static_cast<std::uint32_t>(at + 1), generation_, 0};
  return same_as;
}

}  // namespace korva
