#include "codegen/operation_memo.h"

#include <algorithm>
#include <cstring>

namespace korva {

namespace {

template <std::size_t Capacity>
void pack(std::string& packed, const FieldText<Capacity>& text) {
  packed += static_cast<char>(text.size());
  packed.append(text.data(), text.size());
}

// Whether the text packed at `at` is `text`; moves `at` past it.
template <std::size_t Capacity>
bool packed_equals(const char*& at, const FieldText<Capacity>& text) {
  const auto size = static_cast<unsigned char>(*at++);
  const bool equal = size == text.size() && std::memcmp(at, text.data(), size) == 0;
  at += size;
  return equal;
}

template <std::size_t Capacity>
void unpack(const char*& at, FieldText<Capacity>& text) {
  const auto size = static_cast<unsigned char>(*at++);
  text.assign(std::string_view(at, size));
  at += size;
}

}  // namespace

void OperationMemo::forget() {
  packed_.clear();
  kept_end_ = 0;
  if (++generation_ == 0) {
    // After four thousand million forgets the old marks could match again.
    std::fill(slots_.begin(), slots_.end(), Slot{});
    generation_ = 1;
  }
}

std::uint64_t OperationMemo::hash_of(const LineRecord& record, bool bit) {
  return record.operand2.hash_into(
      record.operand1.hash_into(record.pattern_key.hash_into(bit ? 1 : 2)));
}

bool OperationMemo::recall(std::uint64_t hash, bool bit, LineRecord& record,
                           std::optional<OperandValue>& value1) const {
  if (slots_.empty()) return false;
  const Slot* slot = slot_of(hash);
  if (slot->generation != generation_ || slot->hash != hash) return false;
  const char* at = packed_.data() + slot->at;
  if (*at++ != static_cast<char>(bit)) return false;
  if (!packed_equals(at, record.pattern_key) || !packed_equals(at, record.operand1) ||
      !packed_equals(at, record.operand2)) {
    return false;
  }
  unpack(at, record.operand1);
  unpack(at, record.operand2);
  unpack(at, record.code);
  unpack(at, record.error);
  unpack(at, record.kind);
  if (*at++ != 0) {
    OperandValue value;
    value.file_register = *at++ != 0;
    std::memcpy(&value.value, at, sizeof value.value);
    value1 = value;
  } else {
    value1.reset();
  }
  return true;
}

void OperationMemo::note_key(bool bit, const LineRecord& record) {
  // A key noted for an outcome that was not kept goes.
  packed_.resize(kept_end_);
  if (packed_.size() > kMostBytes) forget();
  key_at_ = packed_.size();
  packed_ += static_cast<char>(bit);
  pack(packed_, record.pattern_key);
  pack(packed_, record.operand1);
  pack(packed_, record.operand2);
}

void OperationMemo::remember(std::uint64_t hash, const LineRecord& record,
                             const std::optional<OperandValue>& value1) {
  pack(packed_, record.operand1);
  pack(packed_, record.operand2);
  pack(packed_, record.code);
  pack(packed_, record.error);
  pack(packed_, record.kind);
  packed_ += static_cast<char>(value1.has_value());
  if (value1) {
    packed_ += static_cast<char>(value1->file_register);
    char value[sizeof value1->value];
    std::memcpy(value, &value1->value, sizeof value);
    packed_.append(value, sizeof value);
  }
  kept_end_ = packed_.size();
  if (slots_.empty()) slots_.resize(std::size_t{1} << kSlotBits);
  slots_[hash >> (64 - kSlotBits)] = Slot{hash, static_cast<std::uint32_t>(key_at_), generation_};
}

}  // namespace korva
