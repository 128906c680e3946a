// The records of pass 2, as the intermediate (.obj) file holds them, in a
// compact table: a record is a few numbers over a pool of interned texts.
// Records repeat a great deal apart from their address (the same statement
// in many places, the same remark, the same pattern), so the pattern and the
// nine text fields before the address are kept together as one interned
// text, the address
// as another, and each record is those two numbers and where its line
// stands in the source. Pass 3 reads the records back, and the .obj file is
// laid out from them a block at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/expected.h"
#include "support/line_record.h"

namespace korva {

using RecordBytes = std::array<char, kRecordSize>;
// One stored record, inside a RecordBytes or a block of records.
using RecordSlot = std::span<char, kRecordSize>;
using RecordView = std::span<const char, kRecordSize>;

// Stores the record in its 342-byte layout: the pattern as its entry's key,
// every field zero-filled behind its text; a text longer than its field keeps
// its first size - 1 bytes.
void encode_record(const LineRecord& record, RecordSlot bytes);

// Reads a record from its 342-byte layout. Each text ends at its first zero
// byte, or at the end of its field; a key the pattern table does not hold
// reads as no pattern.
void decode_record(RecordView bytes, LineRecord& record);

inline constexpr std::uint32_t kNoCall = 0xFFFFFFFF;

// Where a record's line stands in the source: its own line, and for a line
// of a macro expansion the call in the source that started it.
struct RecordSpot {
  std::uint32_t offset = 0;
  std::uint32_t call_offset = kNoCall;
  friend bool operator==(const RecordSpot&, const RecordSpot&) = default;
};

// Offsets are kept in 32 bits (one spot per record adds up); sources beyond
// 4 GiB only lose the exact line of their diagnostics.
std::uint32_t spot_offset(std::size_t offset);

// Receives the .obj file's bytes a block at a time; a failure ends the
// writing with its message.
using ObjectSink = std::function<Expected<void>(std::string_view block)>;

// Distinct byte strings, each kept once and named by a number in the order
// they were first interned.
class TextPool {
 public:
  // The text's number; none once the numbers or the bytes would pass 32
  // bits, which only a program larger than memory reaches.
  std::optional<std::uint32_t> intern(std::string_view text);
  std::string_view text(std::uint32_t id) const {
    return std::string_view(bytes_).substr(starts_[id], starts_[id + 1] - starts_[id]);
  }
  std::size_t size() const { return starts_.size() - 1; }
  // Frees the index that finds a text's number; an intern after it makes
  // the index again.
  void release_index();

 private:
  void grow(std::size_t texts);

  std::string bytes_;
  std::vector<std::uint32_t> starts_{0};
  // Open addressing: each slot holds a text's number + 1, or 0 when free.
  std::vector<std::uint32_t> slots_;
};

class RecordTable {
 public:
  // Keeps the record in its stored form: each text cut as its 342-byte
  // field cuts it. False when the table is full (TextPool::intern).
  bool add(const LineRecord& record, RecordSpot spot);

  std::size_t size() const { return rows_.size(); }
  // After the last record: the pools' indexes are not needed to read the
  // records back (at 200k lines, 1.5 MB of the peak).
  void release_indexes() {
    fields_.release_index();
    addresses_.release_index();
  }
  // Record `n` as the .obj file holds it.
  void read(std::size_t n, LineRecord& record) const;
  RecordSpot spot(std::size_t n) const { return rows_[n].spot; }

  // Lays the records out in the 342-byte layout, a block at a time.
  Expected<void> write_object(const ObjectSink& sink) const;
  std::string object_bytes() const;

  // 350 KB a block: the writer thread's block stands beside pass 3's
  // listing, and at 200k lines twice this kept the peak above the limit of
  // docs/performance.md without being faster.
  static constexpr std::size_t kObjectBlockRecords = 1024;

 private:
  struct Row {
    std::uint32_t fields;   // the fields before the address, in `fields_`
    std::uint32_t address;  // in `addresses_`
    RecordSpot spot;
  };
  void lay_out(const Row& row, char* slot) const;

  TextPool fields_;
  TextPool addresses_;
  // In blocks, so that growing never copies what is held: a large program
  // would otherwise hold its rows twice for a moment.
  std::deque<Row> rows_;
};

}  // namespace korva
