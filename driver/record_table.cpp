#include "driver/record_table.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <type_traits>

#include "patterns/pattern_table.h"
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

// Where each field begins in the 342-byte layout.
constexpr std::size_t kStatementAt = 0;
constexpr std::size_t kLabelAt = kStatementAt + kStatementFieldSize;
constexpr std::size_t kRemarkAt = kLabelAt + kLabelFieldSize;
constexpr std::size_t kErrorAt = kRemarkAt + kRemarkFieldSize;
constexpr std::size_t kPatternKeyAt = kErrorAt + kErrorFieldSize;
constexpr std::size_t kCodeAt = kPatternKeyAt + kPatternKeyFieldSize;
constexpr std::size_t kOperand1At = kCodeAt + kCodeFieldSize;
constexpr std::size_t kOperand2At = kOperand1At + kOperandFieldSize;
constexpr std::size_t kOperand3At = kOperand2At + kOperandFieldSize;
constexpr std::size_t kKindAt = kOperand3At + kOperandFieldSize;
constexpr std::size_t kAddressAt = kKindAt + kKindFieldSize;
static_assert(kAddressAt + kAddressFieldSize == kRecordSize);

// The nine text fields before the address, in storage order.
constexpr std::array<std::size_t, 9> kTextFieldsAt = {kStatementAt, kLabelAt,    kRemarkAt,
                                                      kErrorAt,     kCodeAt,     kOperand1At,
                                                      kOperand2At,  kOperand3At, kKindAt};

// Calls `visit` on the nine text fields, each with the place of its stored
// field.
template <typename Record, typename Visit>
void for_each_text_field(Record& record, Visit visit) {
  visit(record.statement, kTextFieldsAt[0]);
  visit(record.label, kTextFieldsAt[1]);
  visit(record.remark, kTextFieldsAt[2]);
  visit(record.error, kTextFieldsAt[3]);
  visit(record.code, kTextFieldsAt[4]);
  visit(record.operand1, kTextFieldsAt[5]);
  visit(record.operand2, kTextFieldsAt[6]);
  visit(record.operand3, kTextFieldsAt[7]);
  visit(record.kind, kTextFieldsAt[8]);
}

// A field's text as its stored form reads back: one byte fewer than the
// field, for the zero that ends it, and nothing from a zero byte on.
template <typename Field>
std::string_view stored_text(const Field& field) {
  const std::string_view text = field.view().substr(0, Field::capacity() - 1);
  return text.substr(0, text.find('\0'));
}

// Never a null view: it is copied with memcpy, which takes no null pointer.
std::string_view stored_key(const std::optional<std::uint8_t>& pattern) {
  return pattern ? pattern_entries()[*pattern].key.view() : std::string_view("");
}

// In the interned fields the pattern is one byte: its place + 1, or 0.
char pattern_byte(const std::optional<std::uint8_t>& pattern) {
  return static_cast<char>(pattern ? *pattern + 1 : 0);
}

std::optional<std::uint8_t> pattern_from_byte(char byte) {
  const auto number = static_cast<unsigned char>(byte);
  if (number == 0) return std::nullopt;
  return static_cast<std::uint8_t>(number - 1);
}

}  // namespace

void encode_record(const LineRecord& record, RecordSlot bytes) {
  std::fill(bytes.begin(), bytes.end(), '\0');
  for_each_text_field(record, [&bytes](const auto& field, std::size_t at) {
    const std::string_view text = stored_text(field);
    std::memcpy(bytes.data() + at, text.data(), text.size());
  });
  const std::string_view key = stored_key(record.pattern);
  std::memcpy(bytes.data() + kPatternKeyAt, key.data(), key.size());
  const std::string_view address = stored_text(record.address);
  std::memcpy(bytes.data() + kAddressAt, address.data(), address.size());
}

void decode_record(RecordView bytes, LineRecord& record) {
  for_each_text_field(record,
                      [&bytes](auto& field, std::size_t at) { field.load(bytes.data() + at); });
  const std::string_view key(bytes.data() + kPatternKeyAt, kPatternKeyFieldSize);
  const PatternEntry* entry = pattern_of_key(key.substr(0, key.find('\0')));
  record.pattern = entry != nullptr ? std::optional(pattern_number(*entry)) : std::nullopt;
  record.address.load(bytes.data() + kAddressAt);
}

bool RecordTable::add(const LineRecord& record, RecordSpot spot) {
  char fields[kRecordSize];
  char* out = fields;
  *out++ = pattern_byte(record.pattern);
  for_each_text_field(record, [&out](const auto& field, std::size_t) {
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
  record.pattern = pattern_from_byte(fields[0]);
  fields.remove_prefix(1);
  for_each_text_field(record, [&fields](auto& field, std::size_t) {
    const auto size = static_cast<unsigned char>(fields[0]);
    field.assign(fields.substr(1, size));
    fields.remove_prefix(1 + size);
  });
  record.address.assign(addresses_.text(row.address));
}

// `slot` holds zeros: each field's text is followed by them.
void RecordTable::lay_out(const Row& row, char* slot) const {
  std::string_view fields = fields_.text(row.fields);
  const std::string_view key = stored_key(pattern_from_byte(fields[0]));
  std::memcpy(slot + kPatternKeyAt, key.data(), key.size());
  fields.remove_prefix(1);
  for (const std::size_t at : kTextFieldsAt) {
    const auto size = static_cast<unsigned char>(fields[0]);
    std::memcpy(slot + at, fields.data() + 1, size);
    fields.remove_prefix(1 + size);
  }
  const std::string_view address = addresses_.text(row.address);
  std::memcpy(slot + kAddressAt, address.data(), address.size());
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
