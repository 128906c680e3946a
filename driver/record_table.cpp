#include "driver/record_table.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <type_traits>

#include "support/hash_bytes.h"

namespace korva {

std::uint32_t spot_offset(std::size_t offset) {
  return static_cast<std::uint32_t>(std::min<std::size_t>(offset, kNoCall - 1));
}

std::optional<std::uint32_t> TextPool::intern(std::string_view text) {
  if (4 * (size() + 1) > 3 * slots_.size()) grow(size() + 1);
  const std::uint64_t hash = hash_bytes(text);
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hash & mask;
  for (;; slot = (slot + 1) & mask) {
    const std::uint32_t held = slots_[slot];
    if (held == 0) break;
    if (this->text(held - 1) == text) return held - 1;
  }
  // Numbers and offsets are 32 bits: beyond, memory has run out in effect.
  if (size() >= std::numeric_limits<std::uint32_t>::max() - 1 ||
      bytes_.size() + text.size() > std::numeric_limits<std::uint32_t>::max()) {
    return std::nullopt;
  }
  const auto id = static_cast<std::uint32_t>(size());
  bytes_ += text;
  starts_.push_back(static_cast<std::uint32_t>(bytes_.size()));
  slots_[slot] = id + 1;
  return id;
}

void TextPool::release_index() {
  std::vector<std::uint32_t>().swap(slots_);
}

// The index has room for a third more than the texts it holds; it is made
// again from the texts, so that it may be released after the last intern.
void TextPool::grow(std::size_t texts) {
  std::size_t capacity = std::max<std::size_t>(64, 2 * slots_.size());
  while (4 * (std::max(texts, size()) + 1) > 3 * capacity) capacity *= 2;
  std::vector<std::uint32_t> slots(capacity);
  const std::size_t mask = slots.size() - 1;
  for (std::uint32_t id = 0; id < size(); ++id) {
    std::size_t slot = hash_bytes(text(id)) & mask;
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = id + 1;
  }
  slots_.swap(slots);
}

namespace {

// Calls `visit` on the ten fields before the address, in storage order.
template <typename Record, typename Visit>
void for_each_field(Record& record, Visit visit) {
  visit(record.statement);
  visit(record.label);
  visit(record.remark);
  visit(record.error);
  visit(record.pattern_key);
  visit(record.code);
  visit(record.operand1);
  visit(record.operand2);
  visit(record.operand3);
  visit(record.kind);
}

// The sizes of the ten fields before the address, in storage order.
constexpr std::size_t kFieldSizes[] = {kStatementFieldSize, kLabelFieldSize,      kRemarkFieldSize,
                                       kErrorFieldSize,     kPatternKeyFieldSize, kCodeFieldSize,
                                       kOperandFieldSize,   kOperandFieldSize,    kOperandFieldSize,
                                       kKindFieldSize};
static_assert(sizeof(kFieldSizes) / sizeof(kFieldSizes[0]) == 10);

// A field's text as its stored form reads back: one byte fewer than the
// field, for the zero that ends it, and nothing from a zero byte on.
template <typename Field>
std::string_view stored_text(const Field& field) {
  const std::string_view text = field.view().substr(0, Field::capacity() - 1);
  return text.substr(0, text.find('\0'));
}

}  // namespace

bool RecordTable::add(const LineRecord& record, RecordSpot spot) {
  char fields[kRecordSize];
  char* out = fields;
  for_each_field(record, [&out](const auto& field) {
    const std::string_view text = stored_text(field);
    *out++ = static_cast<char>(text.size());
    std::memcpy(out, text.data(), text.size());
    out += text.size();
  });
  const std::optional<std::uint32_t> fields_id =
      fields_.intern(std::string_view(fields, static_cast<std::size_t>(out - fields)));
  const std::optional<std::uint32_t> address_id = addresses_.intern(stored_text(record.address));
  if (!fields_id || !address_id) return false;
  rows_.push_back(Row{*fields_id, *address_id, spot});
  return true;
}

void RecordTable::read(std::size_t n, LineRecord& record) const {
  const Row& row = rows_[n];
  std::string_view fields = fields_.text(row.fields);
  for_each_field(record, [&fields](auto& field) {
    const auto size = static_cast<unsigned char>(fields[0]);
    field.assign(fields.substr(1, size));
    fields.remove_prefix(1 + size);
  });
  record.address.assign(addresses_.text(row.address));
}

// `slot` holds zeros: each field's text is followed by them.
void RecordTable::lay_out(const Row& row, char* slot) const {
  std::string_view fields = fields_.text(row.fields);
  for (const std::size_t field_size : kFieldSizes) {
    const auto size = static_cast<unsigned char>(fields[0]);
    std::memcpy(slot, fields.data() + 1, size);
    fields.remove_prefix(1 + size);
    slot += field_size;
  }
  const std::string_view address = addresses_.text(row.address);
  std::memcpy(slot, address.data(), address.size());
}

Expected<void> RecordTable::write_object(const ObjectSink& sink) const {
  std::string block;
  for (std::size_t first = 0; first < rows_.size(); first += kObjectBlockRecords) {
    const std::size_t count = std::min(kObjectBlockRecords, rows_.size() - first);
    block.assign(count * kRecordSize, '\0');
    for (std::size_t i = 0; i < count; ++i)
      lay_out(rows_[first + i], block.data() + i * kRecordSize);
    if (Expected<void> taken = sink(block); !taken) return taken;
  }
  return {};
}

std::string RecordTable::object_bytes() const {
  std::string bytes;
  bytes.reserve(rows_.size() * kRecordSize);
  static_cast<void>(write_object([&bytes](std::string_view block) -> Expected<void> {
    bytes += block;
    return {};
  }));
  return bytes;
}

}  // namespace korva
