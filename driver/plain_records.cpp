#include "driver/plain_records.h"

#include <algorithm>
#include <bit>

namespace korva {

namespace {

// About as many slots as distinct records, within 1 024 and 16 384 (128
// KiB): enough for the records that repeat most.
constexpr unsigned kFewestSlotBits = 10;
constexpr unsigned kMostSlotBits = 14;
constexpr char kDigits[] = "0123456789ABCDEF";

// The value of four upper-case hex digits, if `code` is that.
std::optional<std::uint16_t> word_of(std::string_view code) {
  if (code.size() != 4) return std::nullopt;
  std::uint16_t word = 0;
  for (const char c : code) {
    const char* digit = std::find(kDigits, kDigits + 16, c);
    if (digit == kDigits + 16) return std::nullopt;
    word = static_cast<std::uint16_t>(word << 4 | (digit - kDigits));
  }
  return word;
}

}  // namespace

PlainRecords::PlainRecords(std::size_t distinct) {
  const auto bits =
      std::clamp(static_cast<unsigned>(std::bit_width(distinct)), kFewestSlotBits, kMostSlotBits);
  slots_.resize(std::size_t{1} << bits);
  shift_ = 32 - bits;
}

std::optional<PlainRecords::Plain> PlainRecords::find(std::uint32_t kept) {
  const Slot& slot = slots_[index_of(kept)];
  if (slot.kept != kept + 1) return std::nullopt;
  Plain plain{{},
              (slot.flags & kRemarkOnly) != 0,
              (slot.flags & kAddressless) != 0,
              (slot.flags & kOutsideBank0) != 0,
              std::nullopt};
  if (slot.flags & kWord) {
    for (int i = 0; i < 4; ++i) code_[i] = kDigits[(slot.word >> (12 - 4 * i)) & 0xF];
    plain.code = std::string_view(code_, 4);
  }
  if (slot.flags & kMark) plain.mark = MacroCallTrail::Mark{(slot.flags & kOpens) != 0, slot.level};
  return plain;
}

void PlainRecords::keep(std::uint32_t kept, const Plain& plain) {
  const std::optional<std::uint16_t> word = word_of(plain.code);
  if ((!word && !plain.code.empty()) || (plain.mark && plain.mark->level > UINT8_MAX)) return;
  Slot& slot = slots_[index_of(kept)];
  slot.kept = kept + 1;
  slot.word = word.value_or(0);
  slot.flags = static_cast<std::uint8_t>(
      (plain.remark_only ? kRemarkOnly : 0) | (plain.addressless ? kAddressless : 0) |
      (plain.outside_bank0 ? kOutsideBank0 : 0) | (plain.mark ? kMark : 0) |
      (plain.mark && plain.mark->opens ? kOpens : 0) | (word ? kWord : 0));
  slot.level = plain.mark ? static_cast<std::uint8_t>(plain.mark->level) : 0;
}

}  // namespace korva
