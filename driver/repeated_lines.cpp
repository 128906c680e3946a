#include "driver/repeated_lines.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "support/hash_bytes.h"

namespace korva {

namespace {

// About a slot for every eight lines, within 1 024 and 16 384 slots (256
// KiB), and 48 bytes of packed lines a slot.
constexpr unsigned kFewestSlotBits = 10;
constexpr unsigned kMostSlotBits = 14;
constexpr std::size_t kBytesPerSlot = 48;

template <std::size_t Capacity>
char* pack(char* out, const FieldText<Capacity>& text) {
  *out++ = static_cast<char>(text.size());
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

template <std::size_t Capacity>
void unpack(const char*& at, FieldText<Capacity>& text) {
  const auto size = static_cast<unsigned char>(*at++);
  text.assign(std::string_view(at, size));
  at += size;
}

}  // namespace

RepeatedLines::RepeatedLines(std::size_t lines) {
  const auto bits =
      std::clamp(static_cast<unsigned>(std::bit_width(lines / 8)), kFewestSlotBits, kMostSlotBits);
  slots_.resize(std::size_t{1} << bits);
  shift_ = 64 - bits;
  most_bytes_ = slots_.size() * kBytesPerSlot;
}

std::optional<RepeatedLines::Recalled> RepeatedLines::recall(std::string_view line,
                                                             LineRecord& record) const {
  const std::uint64_t hash = hash_bytes(line);
  const Slot& slot = slots_[index_of(hash)];
  if (slot.at == 0 || slot.generation != generation_ ||
      slot.hash != static_cast<std::uint32_t>(hash)) {
    return std::nullopt;
  }
  const char* at = packed_.data() + slot.at - 1;
  std::uint32_t same_as = 0;
  std::memcpy(&same_as, at, sizeof same_as);
  at += sizeof same_as;
  const bool keeps_operands = *at++ != 0;
  const auto words = static_cast<unsigned char>(*at++);
  const std::size_t size =
      static_cast<unsigned char>(at[0]) + 256u * static_cast<unsigned char>(at[1]);
  at += 2;
  if (size != line.size() || std::memcmp(at, line.data(), size) != 0) return std::nullopt;
  at += size;
  unpack(at, record.statement);
  unpack(at, record.label);
  unpack(at, record.remark);
  unpack(at, record.error);
  unpack(at, record.pattern_key);
  unpack(at, record.code);
  if (!keeps_operands) {
    unpack(at, record.operand1);
    unpack(at, record.operand2);
    unpack(at, record.operand3);
  }
  unpack(at, record.kind);
  return Recalled{words, same_as};
}

void RepeatedLines::note(std::string_view line) {
  noted_line_.assign(line);
  noted_hash_ = hash_bytes(line);
}

void RepeatedLines::forget() {
  packed_.clear();
  if (++generation_ == 0) {
    // The slots of an older generation could be taken for this one's.
    std::fill(slots_.begin(), slots_.end(), Slot{});
    generation_ = 1;
  }
}

std::uint32_t RepeatedLines::remember(const LineRecord& record, std::uint32_t words,
                                      bool keeps_operands) {
  if (noted_line_.size() > UINT16_MAX || words > UINT8_MAX) return 0;
  Slot& slot = slots_[index_of(noted_hash_)];
  const auto hash = static_cast<std::uint32_t>(noted_hash_);
  if (slot.seen != hash) {
    // Met for the first time, as far as the table knows.
    slot.seen = hash;
    return 0;
  }
  if (packed_.size() > most_bytes_) forget();
  const std::size_t at = packed_.size();
  const std::size_t operands =
      keeps_operands ? 0
                     : 3 + record.operand1.size() + record.operand2.size() + record.operand3.size();
  const std::size_t fields = 7 + record.statement.size() + record.label.size() +
                             record.remark.size() + record.error.size() +
                             record.pattern_key.size() + record.code.size() + record.kind.size();
  std::uint32_t same_as = 0;
  if (!keeps_operands) {
    if (++last_number_ == 0) last_number_ = 1;
    same_as = last_number_;
  }
  packed_.resize(at + sizeof same_as + 4 + noted_line_.size() + operands + fields);
  char* out = packed_.data() + at;
  std::memcpy(out, &same_as, sizeof same_as);
  out += sizeof same_as;
  *out++ = static_cast<char>(keeps_operands);
  *out++ = static_cast<char>(words);
  *out++ = static_cast<char>(noted_line_.size() & 0xFF);
  *out++ = static_cast<char>(noted_line_.size() >> 8);
  std::memcpy(out, noted_line_.data(), noted_line_.size());
  out += noted_line_.size();
  out = pack(out, record.statement);
  out = pack(out, record.label);
  out = pack(out, record.remark);
  out = pack(out, record.error);
  out = pack(out, record.pattern_key);
  out = pack(out, record.code);
  if (!keeps_operands) {
    out = pack(out, record.operand1);
    out = pack(out, record.operand2);
    out = pack(out, record.operand3);
  }
  pack(out, record.kind);
  slot = Slot{hash, static_cast<std::uint32_t>(at + 1), generation_, 0};
  return same_as;
}

}  // namespace korva
