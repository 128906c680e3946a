// The records of pass 2, as the intermediate (.obj) file holds them, kept in
// memory in a compact form. Records repeat a great deal apart from their
// address (the same statement at many places, the same remark, the same
// pattern), so each distinct record without its address is kept once, as
// the used bytes of its fields, and each record in order is a few bytes:
// which distinct record it is, its address and where its line stands in the
// source. Pass 3 reads them back in
// order; the .obj file is made from them in one streaming step.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/expected.h"
#include "support/line_record.h"

namespace korva {

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

// The .obj file's bytes for a run of records, as pass 2 makes them: `bytes`
// has room for kRecords records, of which the first `size` bytes are made.
struct ObjectBlock {
  // Two blocks are held at once (one made, one written), and their room
  // stays with the process once freed, so they are kept small: 512
  // records, 171 KiB.
  static constexpr std::size_t kRecords = 512;

  std::string bytes;
  std::size_t size = 0;
  std::string_view made() const { return std::string_view(bytes).substr(0, size); }
};

class RecordStore {
 public:
  // The fields of a record, in storage order; the address is the last.
  static constexpr std::size_t kFieldCount = 11;

  // Keeps the record in its stored form: each text cut as its 342-byte
  // field cuts it.
  void add(const LineRecord& record, RecordSpot spot);
  std::size_t size() const { return count_; }
  // Distinct records without their address.
  std::size_t distinct() const { return records_.size(); }

  // Reads the records in the order they were added.
  class Reader {
   public:
    explicit Reader(const RecordStore& store) : store_(store) {}
    // The next record, as decoded from its 342-byte layout, and its spot;
    // false after the last.
    bool next(LineRecord& record, RecordSpot& spot);
    // The next record's field texts in storage order, each as its stored
    // field holds it, and its spot; false after the last. The address's
    // text lives in the reader until the next call.
    bool next_texts(std::array<std::string_view, kFieldCount>& texts, RecordSpot& spot);

   private:
    const RecordStore& store_;
    char address_[kAddressFieldSize] = {};
    std::size_t position_ = 0;  // in the store's stream
    std::size_t read_ = 0;
    std::uint32_t offset_ = 0;
  };
  Reader reader() const { return Reader(*this); }

  // The first `count` records (all by default) in their 342-byte layout,
  // handed to `sink` in blocks of kObjectBlockRecords.
  Expected<void> write_object(const ObjectSink& sink, std::size_t count = SIZE_MAX) const;
  // The same bytes as one string.
  std::string object_bytes(std::size_t count = SIZE_MAX) const;

  // 2048 records make 171 pages of 4 KiB exactly.
  static constexpr std::size_t kObjectBlockRecords = 2048;

  // Writes `record` at `slot` (kRecordSize bytes) as write_object writes
  // it once added: each text cut as its field cuts it, zero bytes behind.
  static void lay_out(const LineRecord& record, char* slot);

 private:
  // Bytes kept in chunks that never move, so that growing never copies
  // (nor holds the old and the new copy at once). What one call adds (at
  // most kFirstChunkSize bytes) never spans two chunks. The first chunks
  // are small and double, so that a store of a few records takes little:
  // 1, 2, 4 and 8 KiB, then kChunkSize each.
  class Chunks {
   public:
    static constexpr std::size_t kFirstChunkSize = 1024;
    static constexpr std::size_t kChunkSize = std::size_t{16} * 1024;
    // Room for `size` bytes in one chunk, at the returned position.
    std::size_t reserve(std::size_t size);
    // Hands back the last `size` bytes of the last reservation, unused.
    void give_back(std::size_t size) { used_ -= size; }
    unsigned char* at(std::size_t position) {
      const std::size_t chunk = chunk_of(position);
      return chunks_[chunk].get() + (position - chunk_start(chunk));
    }
    const unsigned char* at(std::size_t position) const {
      const std::size_t chunk = chunk_of(position);
      return chunks_[chunk].get() + (position - chunk_start(chunk));
    }
    // Where reserve(size) puts its bytes after `position`, for readers
    // that follow the same path.
    static std::size_t next_position(std::size_t position, std::size_t size);

   private:
    // The chunks that double from kFirstChunkSize to kChunkSize, and the
    // bytes they hold together.
    static constexpr std::size_t kGrowingChunks = 4;
    static constexpr std::size_t kGrowingBytes = kFirstChunkSize * ((1u << kGrowingChunks) - 1);
    static_assert(kFirstChunkSize << kGrowingChunks == kChunkSize);

    static std::size_t chunk_of(std::size_t position) {
      if (position < kGrowingBytes) {
        return static_cast<std::size_t>(std::bit_width(position / kFirstChunkSize + 1)) - 1;
      }
      return kGrowingChunks + (position - kGrowingBytes) / kChunkSize;
    }
    static std::size_t chunk_start(std::size_t chunk) {
      if (chunk < kGrowingChunks) return kFirstChunkSize * ((std::size_t{1} << chunk) - 1);
      return kGrowingBytes + (chunk - kGrowingChunks) * kChunkSize;
    }
    static std::size_t chunk_size(std::size_t chunk) {
      return chunk < kGrowingChunks ? kFirstChunkSize << chunk : kChunkSize;
    }

    std::vector<std::unique_ptr<unsigned char[]>> chunks_;
    std::size_t used_ = 0;
  };

  // Each distinct text once, by index.
  class Interner {
   public:
    std::uint32_t intern(std::string_view text);
    std::string_view text(std::uint32_t index) const {
      const unsigned char* stored = bytes_.at(starts_[index]);
      return std::string_view(reinterpret_cast<const char*>(stored) + 2,
                              stored[0] + 256u * stored[1]);
    }
    std::size_t size() const { return starts_.size(); }

   private:
    void grow_slots();
    Chunks bytes_;                       // each text after its length in two bytes
    std::vector<std::uint32_t> starts_;  // where each text begins in bytes_
    std::vector<std::uint32_t> slots_;   // open hash table of index + 1; 0 is empty
  };

  std::size_t count_ = 0;
  std::uint32_t last_offset_ = 0;
  // Per record: a header byte, the distinct record's index, the address and
  // the spot (see record_store.cpp).
  Chunks stream_;
  // Every distinct record without its address: each field's length in a
  // byte, then its text.
  Interner records_;
};

}  // namespace korva
