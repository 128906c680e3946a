#include "driver/record_store.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#include "support/cache_hints.h"
#include "support/hash_bytes.h"

namespace korva {

namespace {

// The fields of the 342-byte layout, in storage order; the address is last.
constexpr std::array<std::size_t, RecordStore::kFieldCount> kFieldSizes = {
    kStatementFieldSize,  kLabelFieldSize, kRemarkFieldSize,  kErrorFieldSize,
    kPatternKeyFieldSize, kCodeFieldSize,  kOperandFieldSize, kOperandFieldSize,
    kOperandFieldSize,    kKindFieldSize,  kAddressFieldSize};
constexpr std::size_t kSharedFields = kFieldSizes.size() - 1;  // all but the address

// The most bytes one record takes in the stream: header, index, address
// (length and text), offset and call offset.
constexpr std::size_t kMostStreamBytes = 1 + 5 + 1 + kAddressFieldSize + 5 + 5;

// The header byte: how the address is kept, how the call offset is kept,
// and whether the offset went back.
enum AddressForm : unsigned char { literal_address = 0, lower_hex = 1, upper_hex = 2 };
enum CallForm : unsigned char { no_call = 0, call_here = 1, call_elsewhere = 2 };
constexpr unsigned char kOffsetBack = 0x10;

int hex_digit(char c, AddressForm form) {
  if (c >= '0' && c <= '9') return c - '0';
  const char first = form == lower_hex ? 'a' : 'A';
  if (c >= first && c <= first + 5) return c - first + 10;
  return -1;
}

// The four-digit value of an address in one letter case, or -1.
int address_value(std::string_view address, AddressForm form) {
  if (address.size() != 4) return -1;
  int value = 0;
  for (const char c : address) {
    const int digit = hex_digit(c, form);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

unsigned char* put_varint(unsigned char* out, std::uint64_t value) {
  while (value >= 0x80) {
    *out++ = static_cast<unsigned char>(value | 0x80);
    value >>= 7;
  }
  *out++ = static_cast<unsigned char>(value);
  return out;
}

std::uint64_t get_varint(const unsigned char*& in) {
  std::uint64_t value = 0;
  for (int shift = 0;; shift += 7) {
    const unsigned char byte = *in++;
    value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
    if (byte < 0x80) return value;
  }
}

}  // namespace

std::uint32_t spot_offset(std::size_t offset) {
  return static_cast<std::uint32_t>(std::min<std::size_t>(offset, kNoCall - 1));
}

std::size_t RecordStore::Chunks::next_position(std::size_t position, std::size_t size) {
  const std::size_t chunk = chunk_of(position);
  const std::size_t chunk_end = chunk_start(chunk) + chunk_size(chunk);
  return position + size > chunk_end ? chunk_end : position;
}

void RecordStore::Chunks::add_chunk() {
  std::unique_ptr<Page>& page = pages_[chunks_ / kPageChunks];
  if (!page) page = std::make_unique<Page>();
  (*page)[chunks_ % kPageChunks] =
      std::make_unique_for_overwrite<unsigned char[]>(chunk_size(chunks_));
  ++chunks_;
}

std::size_t RecordStore::Chunks::reserve(std::size_t size) {
  used_ = next_position(used_, size);
  if (chunk_of(used_) == chunks_) {
    // Beyond the directory's 4 GiB: as when memory runs out.
    if (chunks_ == kPages * kPageChunks) throw std::bad_alloc();
    add_chunk();
  }
  const std::size_t position = used_;
  used_ += size;
  return position;
}

// The table is at most three quarters full: a slot is eight bytes, and a
// table that is met for the first time costs as it grows, more than the
// longer runs of taken slots do.
bool RecordStore::Interner::full_with(std::size_t texts, std::size_t slots) {
  return 4 * texts > 3 * slots;
}

void RecordStore::Interner::grow_slots() {
  std::vector<Slot> slots(std::max<std::size_t>(64, slots_.size() * 2));
  const std::size_t mask = slots.size() - 1;
  for (const Slot& slot : slots_) {
    if (slot.start == 0) continue;
    std::size_t at = slot.hash & mask;
    while (slots[at].start != 0) at = (at + 1) & mask;
    slots[at] = slot;
  }
  slots_ = std::move(slots);
}

void RecordStore::Interner::find_again(std::uint32_t start) {
  if (slots_.empty()) {
    std::size_t slots = 64;
    while (full_with(size_ + 1, slots)) slots *= 2;
    slots_.resize(slots);
  }
  const std::string_view kept = text(start);
  const auto hash = static_cast<std::uint32_t>(hash_bytes(kept));
  const std::size_t mask = slots_.size() - 1;
  std::size_t at = hash & mask;
  for (; slots_[at].start != 0; at = (at + 1) & mask) {
    if (slots_[at].start == start + 1) return;
  }
  slots_[at] = Slot{hash, start + 1};
}

std::uint32_t RecordStore::Interner::hash_of(std::string_view text) {
  return static_cast<std::uint32_t>(hash_bytes(text));
}

std::uint32_t RecordStore::Interner::intern(std::string_view text_to_keep, std::uint32_t hash) {
  if (full_with(size_ + 1, slots_.size())) grow_slots();
  const std::size_t mask = slots_.size() - 1;
  std::size_t at = hash & mask;
  for (; slots_[at].start != 0; at = (at + 1) & mask) {
    if (slots_[at].hash == hash && text(slots_[at].start - 1) == text_to_keep) {
      return slots_[at].start - 1;
    }
  }
  const std::size_t size = text_to_keep.size();
  const std::size_t start = bytes_.reserve(size + 2);
  unsigned char* stored = bytes_.at(start);
  stored[0] = static_cast<unsigned char>(size & 0xFF);
  stored[1] = static_cast<unsigned char>(size >> 8);
  std::memcpy(stored + 2, text_to_keep.data(), size);
  slots_[at] = Slot{hash, static_cast<std::uint32_t>(start + 1)};
  ++size_;
  return static_cast<std::uint32_t>(start);
}

namespace {

// The length of a field's text as its stored field keeps it: cut to one
// byte less than the field, and at a zero byte. The bytes behind the text
// are zero, so the first zero byte of the buffer ends it; the buffer is
// read a word at a time.
template <std::size_t Capacity>
std::size_t stored_length(const FieldText<Capacity>& field) {
  std::size_t end = field.size();
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    for (std::size_t at = 0; at < FieldText<Capacity>::padded_size(); at += 8) {
      std::uint64_t word;
      std::memcpy(&word, field.data() + at, sizeof word);
      // The lowest flagged byte is the first zero byte.
      if (const std::uint64_t zeros = (word - kOnes) & ~word & kHighs; zeros != 0) {
        end = at + static_cast<std::size_t>(std::countr_zero(zeros)) / 8;
        break;
      }
    }
  } else if (const void* zero = std::memchr(field.data(), '\0', end)) {
    end = static_cast<std::size_t>(static_cast<const char*>(zero) - field.data());
  }
  return std::min(std::min(end, field.size()), Capacity - 1);
}

// Puts a field's length byte and stored text at `out` and returns where the
// next goes. The whole zero-padded buffer is copied, a few fixed moves; what
// lands behind the text is overwritten by the next field, and `out` must
// have FieldText<Capacity>::padded_size() bytes of room behind the text.
template <std::size_t Capacity>
char* put_field(char* out, const FieldText<Capacity>& field) {
  const std::size_t length = stored_length(field);
  *out = static_cast<char>(length);
  std::memcpy(out + 1, field.data(), FieldText<Capacity>::padded_size());
  return out + 1 + length;
}

// Writes a field's stored form at `field` (Capacity bytes) and returns
// where the next field goes. The bytes behind a field's text are zero, so
// only a text that its field cuts needs zeros written behind the cut.
template <std::size_t Capacity>
char* put_layout(char* field, const FieldText<Capacity>& text) {
  const std::size_t length = stored_length(text);
  std::memcpy(field, text.data(), Capacity);
  if (length < text.size()) std::memset(field + length, 0, Capacity - length);
  return field + Capacity;
}

}  // namespace

void RecordStore::lay_out(const LineRecord& record, char* slot) {
  char* field = slot;
  field = put_layout(field, record.statement);
  field = put_layout(field, record.label);
  field = put_layout(field, record.remark);
  field = put_layout(field, record.error);
  field = put_layout(field, record.pattern_key);
  field = put_layout(field, record.code);
  field = put_layout(field, record.operand1);
  field = put_layout(field, record.operand2);
  field = put_layout(field, record.operand3);
  field = put_layout(field, record.kind);
  put_layout(field, record.address);
}

void RecordStore::stop_adding() {
  records_.forget_slots();
  std::vector<KnownFields>().swap(known_fields_);
}

namespace {

// The shared fields in storage order (see kFieldSizes), each as its length
// byte and stored text, at `out`; returns their size. `out` needs
// kMostFieldBytes of room.
std::size_t put_fields(const LineRecord& record, char* out) {
  char* end = out;
  end = put_field(end, record.statement);
  end = put_field(end, record.label);
  end = put_field(end, record.remark);
  end = put_field(end, record.error);
  end = put_field(end, record.pattern_key);
  end = put_field(end, record.code);
  end = put_field(end, record.operand1);
  end = put_field(end, record.operand2);
  end = put_field(end, record.operand3);
  end = put_field(end, record.kind);
  return static_cast<std::size_t>(end - out);
}

std::string_view stored_address(const LineRecord& record) {
  return std::string_view(record.address.data(), stored_length(record.address));
}

// A record in a batch: the fields' size in two bytes, the fields, the
// address's size in a byte, the address, then the offset, the call offset
// and the number of the fields it shares (0 for none) in four bytes each.
constexpr std::size_t kBatchTailBytes = 12;
constexpr std::size_t kMostBatchBytes =
    2 + RecordStore::kMostFieldBytes + 1 + kAddressFieldSize + kBatchTailBytes;
// A batch was last read by the worker, on another processor; pass 2 asks
// for its bytes this far ahead of the record it writes, a few records'
// worth, so that taking them back overlaps the work on the next lines.
constexpr std::size_t kWriteAhead = 256;

void put_u32(char* out, std::uint32_t value) {
  std::memcpy(out, &value, sizeof value);
}
std::uint32_t get_u32(const char* in) {
  std::uint32_t value;
  std::memcpy(&value, in, sizeof value);
  return value;
}

// Splits the shared fields as put_fields() laid them out (each text after
// its length byte) into the first kSharedFields texts.
void split_shared_fields(std::string_view shared,
                         std::array<std::string_view, RecordStore::kFieldCount>& texts) {
  const char* fields = shared.data();
  for (std::size_t i = 0; i < kSharedFields; ++i) {
    const auto length = static_cast<unsigned char>(*fields++);
    texts[i] = std::string_view(fields, length);
    fields += length;
  }
}

// Reads the batch record at `in` into the field texts in storage order and
// the spot, `shared` into the bytes of its shared fields as put_fields()
// laid them out and `same_as` into the number of those fields; returns
// where the next record starts.
const char* read_batch_record(const char* in,
                              std::array<std::string_view, RecordStore::kFieldCount>& texts,
                              RecordSpot& spot, std::string_view& shared, std::uint32_t& same_as) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(in);
  const char* fields = in + 2;
  shared = std::string_view(fields, bytes[0] + 256u * bytes[1]);
  split_shared_fields(shared, texts);
  in = fields + shared.size();
  const std::size_t address_size = static_cast<unsigned char>(*in++);
  texts[kSharedFields] = std::string_view(in, address_size);
  in += address_size;
  spot = RecordSpot{get_u32(in), get_u32(in + 4)};
  same_as = get_u32(in + 8);
  return in + kBatchTailBytes;
}

// Copies `size` bytes, at most a few dozen for most fields, without a
// call: words that may overlap where the size is not a multiple of theirs.
void copy_short(char* to, const char* from, std::size_t size) {
  const auto copy8 = [&](std::size_t at) { std::memcpy(to + at, from + at, 8); };
  const auto copy4 = [&](std::size_t at) { std::memcpy(to + at, from + at, 4); };
  if (size > 32) {
    std::memcpy(to, from, size);
  } else if (size >= 16) {
    copy8(0);
    copy8(8);
    copy8(size - 16);
    copy8(size - 8);
  } else if (size >= 8) {
    copy8(0);
    copy8(size - 8);
  } else if (size >= 4) {
    copy4(0);
    copy4(size - 4);
  } else if (size > 0) {
    to[0] = from[0];
    to[size / 2] = from[size / 2];
    to[size - 1] = from[size - 1];
  }
}

// Lays out the field whose length byte and text are at `in` at `slot`, a
// field of Size bytes: the text, then zeros. Returns where the next field's
// length byte is.
template <std::size_t Size>
const char* lay_out_field(const char* in, char*& slot) {
  const auto length = static_cast<unsigned char>(*in++);
  std::memset(slot, 0, Size);  // a few fixed stores
  copy_short(slot, in, length);
  slot += Size;
  return in + length;
}

// Lays out the batch record at `in` at `slot` (kRecordSize bytes) as
// write_object lays out a stored record, reading its bytes once; returns
// where the next record starts.
const char* lay_out_batch_record(const char* in, char* slot) {
  in += 2;  // the shared fields' size
  // The shared fields and then the address, each as its length byte and
  // text.
  [&]<std::size_t... kField>(std::index_sequence<kField...>) {
    ((in = lay_out_field<kFieldSizes[kField]>(in, slot)), ...);
  }
  (std::make_index_sequence<RecordStore::kFieldCount>{});
  return in + kBatchTailBytes;  // past the offset, the call offset and the number
}

}  // namespace

void RecordStore::Batch::reserve(std::size_t bytes) {
  if (bytes <= capacity_) return;
  auto kept = std::make_unique_for_overwrite<char[]>(bytes);
  if (used_ > 0) std::memcpy(kept.get(), bytes_.get(), used_);
  bytes_ = std::move(kept);
  capacity_ = bytes;
}

char* RecordStore::Batch::room(std::size_t size) {
  if (used_ + size > capacity_) reserve(std::max(2 * capacity_, used_ + size));
  return bytes_.get() + used_;
}

void RecordStore::Batch::add(const LineRecord& record, RecordSpot spot, std::uint32_t same_as) {
  char* const start = room(kMostBatchBytes);
  const std::size_t fields = put_fields(record, start + 2);
  finish_record(start, fields, record.address, spot, same_as);
}

void RecordStore::Batch::add_shared(std::string_view shared,
                                    const FieldText<kAddressFieldSize>& address, RecordSpot spot,
                                    std::uint32_t same_as) {
  char* const start = room(kMostBatchBytes);
  std::memcpy(start + 2, shared.data(), shared.size());
  finish_record(start, shared.size(), address, spot, same_as);
}

void RecordStore::Batch::finish_record(char* start, std::size_t fields,
                                       const FieldText<kAddressFieldSize>& address, RecordSpot spot,
                                       std::uint32_t same_as) {
  start[0] = static_cast<char>(fields & 0xFF);
  start[1] = static_cast<char>(fields >> 8);
  char* out = start + 2 + fields;
  const std::size_t address_size = stored_length(address);
  *out++ = static_cast<char>(address_size);
  std::memcpy(out, address.data(), address_size);
  out += address_size;
  put_u32(out, spot.offset);
  put_u32(out + 4, spot.call_offset);
  put_u32(out + 8, same_as);
  used_ += static_cast<std::size_t>(out + kBatchTailBytes - start);
  ++count_;
  if (used_ + kWriteAhead < capacity_) prefetch_for_write(bytes_.get() + used_ + kWriteAhead);
}

std::size_t RecordStore::shared_fields(const LineRecord& record, char* out) {
  return put_fields(record, out);
}

RecordStore::Batch::Part RecordStore::add(Batch::Part part, std::size_t count) {
  count = std::min(count, part.count);
  if (records_.lost_slots()) find_records_again();
  // A few records at a time: their slots are asked for, then the texts the
  // slots name, then the records are kept, so that the waits overlap.
  constexpr std::size_t kGroup = 16;
  struct Parsed {
    std::string_view shared;
    std::string_view address;
    RecordSpot spot;
    std::uint32_t hash = 0;
    std::uint32_t same_as = 0;
    std::optional<std::uint32_t> kept;  // where its fields are known to be kept
  };
  std::array<Parsed, kGroup> group;
  std::array<std::string_view, kFieldCount> texts;
  if (known_fields_.empty()) known_fields_.resize(kKnownFields);
  const char* in = part.begin;
  for (std::size_t done = 0; done < count;) {
    const std::size_t size = std::min(kGroup, count - done);
    for (std::size_t i = 0; i < size; ++i) {
      Parsed& parsed = group[i];
      in = read_batch_record(in, texts, parsed.spot, parsed.shared, parsed.same_as);
      parsed.address = texts[kSharedFields];
      parsed.kept.reset();
      if (parsed.same_as != 0) {
        const KnownFields& known = known_fields_[parsed.same_as % kKnownFields];
        if (known.same_as == parsed.same_as) {
          parsed.kept = known.kept;
          continue;
        }
      }
      parsed.hash = Interner::hash_of(parsed.shared);
      records_.prefetch_slot(parsed.hash);
    }
    for (std::size_t i = 0; i < size; ++i) {
      if (!group[i].kept) records_.prefetch_text_of_slot(group[i].hash);
    }
    for (std::size_t i = 0; i < size; ++i) {
      const Parsed& parsed = group[i];
      std::uint32_t kept = 0;
      if (parsed.kept) {
        kept = *parsed.kept;
      } else {
        kept = records_.intern(parsed.shared, parsed.hash);
        if (parsed.same_as != 0) {
          known_fields_[parsed.same_as % kKnownFields] = KnownFields{parsed.same_as, kept};
        }
      }
      add_to_stream(kept, parsed.address, parsed.spot);
    }
    done += size;
  }
  return Batch::Part{in, part.count - count};
}

void RecordStore::add(const LineRecord& record, RecordSpot spot) {
  // A distinct record, its length in front, fits the smallest chunk.
  static_assert(kRecordSize + 2 <= Chunks::kFirstChunkSize);
  if (records_.lost_slots()) find_records_again();
  char fields[kMostFieldBytes];
  const std::size_t size = put_fields(record, fields);
  add_to_stream(records_.intern(std::string_view(fields, size)), stored_address(record), spot);
}

void RecordStore::find_records_again() {
  // Every distinct record is named in the stream.
  Reader reader(*this);
  std::array<std::string_view, kFieldCount> texts;
  RecordSpot read_spot;
  while (reader.next_texts(texts, read_spot)) records_.find_again(reader.last_start());
}

RecordStore::Checkpoint RecordStore::checkpoint_before(std::size_t record) const {
  const std::size_t index = record / kCheckpointRecords;
  return index < checkpoints_.size() ? checkpoints_[index] : Checkpoint{};
}

void RecordStore::add_to_stream(std::uint32_t kept, std::string_view address, RecordSpot spot) {
  if (count_ % kCheckpointRecords == 0) {
    checkpoints_.push_back(Checkpoint{count_, stream_.used(), last_offset_});
  }
  AddressForm form = lower_hex;
  int value = address_value(address, lower_hex);
  if (value < 0) {
    form = upper_hex;
    value = address_value(address, upper_hex);
  }
  if (value < 0) form = literal_address;
  const CallForm call = spot.call_offset == kNoCall       ? no_call
                        : spot.call_offset == spot.offset ? call_here
                                                          : call_elsewhere;
  const bool back = spot.offset < last_offset_;

  unsigned char* const start = stream_.at(stream_.reserve(kMostStreamBytes));
  unsigned char* out = start;
  *out++ = static_cast<unsigned char>(form | call << 2 | (back ? kOffsetBack : 0));
  out = put_varint(out, kept);
  if (form == literal_address) {
    *out++ = static_cast<unsigned char>(address.size());
    std::memcpy(out, address.data(), address.size());
    out += address.size();
  } else {
    *out++ = static_cast<unsigned char>(value & 0xFF);
    *out++ = static_cast<unsigned char>(value >> 8);
  }
  out = put_varint(out, back ? last_offset_ - spot.offset : spot.offset - last_offset_);
  if (call == call_elsewhere) out = put_varint(out, spot.call_offset);
  last_offset_ = spot.offset;
  // Only what was used stays; the rest of the room is handed out again.
  stream_.give_back(kMostStreamBytes - static_cast<std::size_t>(out - start));
  ++count_;
}

bool RecordStore::Reader::next_entry(RecordSpot& spot) {
  if (read_ == count_) return false;
  position_ = Chunks::next_position(position_, kMostStreamBytes);
  const unsigned char* const start = store_.stream_.at(position_);
  const unsigned char* in = start;
  const unsigned char header = *in++;
  const auto form = static_cast<AddressForm>(header & 3);
  const auto call = static_cast<CallForm>((header >> 2) & 3);

  last_start_ = static_cast<std::uint32_t>(get_varint(in));
  if (form == literal_address) {
    address_size_ = *in++;
    std::memcpy(address_, in, address_size_);
    in += address_size_;
  } else {
    const unsigned value = in[0] + 256u * in[1];
    in += 2;
    const char* digits = form == lower_hex ? "0123456789abcdef" : "0123456789ABCDEF";
    for (int i = 0; i < 4; ++i) address_[i] = digits[(value >> (12 - 4 * i)) & 0xF];
    address_size_ = 4;
  }
  const auto step = static_cast<std::uint32_t>(get_varint(in));
  offset_ = header & kOffsetBack ? offset_ - step : offset_ + step;
  spot.offset = offset_;
  spot.call_offset = call == no_call     ? kNoCall
                     : call == call_here ? offset_
                                         : static_cast<std::uint32_t>(get_varint(in));
  position_ += static_cast<std::size_t>(in - start);
  ++read_;
  prefetch_ahead();
  return true;
}

std::string_view RecordStore::Reader::last_shared() const {
  return store_.records_.text(last_start_);
}

void RecordStore::Reader::last_texts(std::array<std::string_view, kFieldCount>& texts) const {
  split_shared_fields(last_shared(), texts);
  texts[kSharedFields] = last_address();
}

bool RecordStore::Reader::next_texts(std::array<std::string_view, kFieldCount>& texts,
                                     RecordSpot& spot) {
  if (!next_entry(spot)) return false;
  last_texts(texts);
  return true;
}

void RecordStore::Reader::skip_to(std::size_t record) {
  std::array<std::string_view, kFieldCount> texts;
  RecordSpot spot;
  while (read_ < record && next_texts(texts, spot)) {
  }
}

void RecordStore::Reader::prefetch_ahead() {
  if (ahead_ < read_) {
    ahead_ = read_;
    ahead_position_ = position_;
  }
  for (; ahead_ < count_ && ahead_ < read_ + kPrefetchDistance; ++ahead_) {
    ahead_position_ = Chunks::next_position(ahead_position_, kMostStreamBytes);
    const unsigned char* const start = store_.stream_.at(ahead_position_);
    const unsigned char* in = start;
    const unsigned char header = *in++;
    store_.records_.prefetch(static_cast<std::uint32_t>(get_varint(in)));
    // Past the address, the offset's step and the call offset.
    in += static_cast<AddressForm>(header & 3) == literal_address ? 1 + *in : 2;
    get_varint(in);
    if (static_cast<CallForm>((header >> 2) & 3) == call_elsewhere) get_varint(in);
    ahead_position_ += static_cast<std::size_t>(in - start);
  }
}

namespace {

void assign_texts(const std::array<std::string_view, RecordStore::kFieldCount>& texts,
                  LineRecord& record) {
  record.statement.assign(texts[0]);
  record.label.assign(texts[1]);
  record.remark.assign(texts[2]);
  record.error.assign(texts[3]);
  record.pattern_key.assign(texts[4]);
  record.code.assign(texts[5]);
  record.operand1.assign(texts[6]);
  record.operand2.assign(texts[7]);
  record.operand3.assign(texts[8]);
  record.kind.assign(texts[9]);
  record.address.assign(texts[10]);
}

}  // namespace

bool RecordStore::Reader::next(LineRecord& record, RecordSpot& spot) {
  if (!next_entry(spot)) return false;
  last_record(record);
  return true;
}

void RecordStore::Reader::last_record(LineRecord& record) const {
  std::array<std::string_view, kFieldCount> texts;
  last_texts(texts);
  assign_texts(texts, record);
}

bool RecordStore::Batch::Reader::next(LineRecord& record, RecordSpot& spot) {
  if (read_ == batch_.count_) return false;
  std::array<std::string_view, kFieldCount> texts;
  std::string_view shared;
  std::uint32_t same_as = 0;
  in_ = read_batch_record(in_, texts, spot, shared, same_as);
  ++read_;
  assign_texts(texts, record);
  return true;
}

template <typename LayOutNext>
Expected<void> RecordStore::ObjectWriter::write_records(std::size_t count, LayOutNext lay_out_next,
                                                        const ObjectSink& sink) {
  for (std::size_t written = 0; written < count;) {
    const std::size_t in_block = std::min(count - written, kObjectBlockRecords);
    const std::size_t bytes = in_block * kRecordSize;
    if (block_size_ < bytes) {
      // Room for a whole block once there are more records than one small
      // program's.
      block_size_ =
          bytes < kObjectBlockRecords * kRecordSize / 4 ? bytes : kObjectBlockRecords * kRecordSize;
      block_ = std::make_unique_for_overwrite<char[]>(block_size_);
    }
    for (std::size_t i = 0; i < in_block; ++i) lay_out_next(block_.get() + i * kRecordSize);
    written += in_block;
    if (Expected<void> taken = sink(std::string_view(block_.get(), bytes)); !taken) return taken;
  }
  return {};
}

Expected<void> RecordStore::ObjectWriter::write_up_to(std::size_t count, const ObjectSink& sink,
                                                      bool whole_blocks_only) {
  if (whole_blocks_only) {
    count = records_.read() + (count - records_.read()) / kObjectBlockRecords * kObjectBlockRecords;
  }
  records_.extend(count);
  RecordSpot spot;
  std::array<std::string_view, kFieldCount> texts;
  Expected<void> written = write_records(
      count - records_.read(),
      [this, &spot, &texts](char* slot) {
        records_.next_texts(texts, spot);
        std::memset(slot, 0, kRecordSize);
        for (std::size_t f = 0; f < kFieldCount; slot += kFieldSizes[f++]) {
          std::memcpy(slot, texts[f].data(), texts[f].size());
        }
      },
      sink);
  if (!whole_blocks_only) {
    // The last records are out; the room is not needed until more come.
    block_.reset();
    block_size_ = 0;
  }
  return written;
}

Expected<void> RecordStore::ObjectWriter::write_batch(Batch::Part part, const ObjectSink& sink) {
  const char* in = part.begin;
  return write_records(
      part.count, [&in](char* slot) { in = lay_out_batch_record(in, slot); }, sink);
}

Expected<void> RecordStore::write_object(const ObjectSink& sink, std::size_t count) const {
  return ObjectWriter(*this).write_up_to(std::min(count, count_), sink);
}

std::string RecordStore::object_bytes(std::size_t count) const {
  std::string bytes;
  bytes.reserve(std::min(count, count_) * kRecordSize);
  // Appending to a string cannot fail short of memory, which throws.
  static_cast<void>(write_object(
      [&bytes](std::string_view block) -> Expected<void> {
        bytes += block;
        return {};
      },
      count));
  return bytes;
}

}  // namespace korva
