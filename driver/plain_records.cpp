#include "driver/plain_records.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace korva {

namespace {

// Twice the distinct records, so that few meet at one slot, within 1 024
// and 32 768 slots (384 KiB).
constexpr unsigned kFewestSlotBits = 10;
constexpr unsigned kMostSlotBits = 15;

}  // namespace

PlainRecords::PlainRecords(std::size_t distinct) {
  const auto bits = std::clamp(static_cast<unsigned>(std::bit_width(distinct)) + 1, kFewestSlotBits,
                               kMostSlotBits);
  slots_.resize(std::size_t{1} << bits);
  shift_ = 32 - bits;
}

void PlainRecords::keep(std::uint32_t kept, const Plain& plain) {
  if (plain.code.size() > sizeof(Slot::code)) return;
  if (plain.mark && plain.mark->level > UINT16_MAX) return;
  Slot& slot = slots_[index_of(kept)];
  slot.kept = kept + 1;
  std::memcpy(slot.code, plain.code.data(), plain.code.size());
  slot.code_size = static_cast<std::uint8_t>(plain.code.size());
  slot.flags = static_cast<std::uint8_t>(
      (plain.remark_only ? kRemarkOnly : 0) | (plain.addressless ? kAddressless : 0) |
      (plain.outside_bank0 ? kOutsideBank0 : 0) | (plain.mark ? kMark : 0) |
      (plain.mark && plain.mark->opens ? kOpens : 0));
  slot.level = plain.mark ? static_cast<std::uint16_t>(plain.mark->level) : 0;
}

}  // namespace korva
