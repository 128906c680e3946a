// The records of pass 2, as the intermediate (.obj) file holds them, kept in
// memory in a compact form. Records repeat a great deal apart from their
// address (the same statement at many places, the same remark, the same
// pattern), so each distinct record without its address is kept once, as
// the used bytes of its fields, and each record in order is a few bytes:
// which distinct record it is, its address and where its line stands in the
// source. Pass 3 reads them back in order, and the .obj file is laid out
// from them a block at a time. What is stored never moves, so one thread
// may read the records added so far while another adds more.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/cache_hints.h"
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

class RecordStore {
 public:
  // The fields of a record, in storage order; the address is the last.
  static constexpr std::size_t kFieldCount = 11;

  // Records in their stored form one after another, as they are made: the
  // used bytes of their fields, the address's text and the spot. A store
  // takes them a batch at a time, so that the thread that makes the records
  // need not be the one that finds the repeated ones.
  class Batch {
   public:
    // `same_as`, if not 0, numbers the record's fields: records added with
    // the same number have the same fields, which the store then need not
    // look for among its distinct records again.
    void add(const LineRecord& record, RecordSpot spot, std::uint32_t same_as = 0);
    // The same for a record whose fields shared_fields() laid out.
    void add_shared(std::string_view shared, const FieldText<kAddressFieldSize>& address,
                    RecordSpot spot, std::uint32_t same_as);
    std::size_t size() const { return count_; }
    // Records of the batch, in order, as the store and the .obj layout take
    // them: the whole batch, or a part of it.
    struct Part {
      const char* begin = nullptr;
      std::size_t count = 0;
    };
    Part whole() const { return Part{bytes_.get(), count_}; }
    // Room for `bytes` of records (a record takes the used bytes of its
    // fields and about 16 more) before the batch grows.
    void reserve(std::size_t bytes);
    // Writes the whole room once, so that the memory is in place before the
    // records come (memory met for the first time is dear).
    void touch_room() {
      if (capacity_ > 0) std::memset(bytes_.get(), 0, capacity_);
    }
    // Empties the batch and keeps its room.
    void clear() {
      used_ = 0;
      count_ = 0;
    }

    // Reads the batch's records in order, as Reader reads the store's.
    class Reader {
     public:
      explicit Reader(const Batch& batch) : batch_(batch), in_(batch.bytes_.get()) {}
      bool next(LineRecord& record, RecordSpot& spot);

     private:
      const Batch& batch_;
      const char* in_;
      std::size_t read_ = 0;
    };

   private:
    friend class RecordStore;
    char* room(std::size_t size);
    // Puts the address, the spot and the number behind the `fields` bytes
    // of fields at `start`.
    void finish_record(char* start, std::size_t fields, const FieldText<kAddressFieldSize>& address,
                       RecordSpot spot, std::uint32_t same_as);

    std::unique_ptr<char[]> bytes_;
    std::size_t used_ = 0;
    std::size_t capacity_ = 0;
    std::size_t count_ = 0;
  };

  // The fields a record shares with its repeats (all but the address) as
  // the store keeps them: each text cut as its 342-byte field cuts it, after
  // its length in a byte, in storage order, at `out`, which needs
  // kMostFieldBytes of room. Returns their size.
  static constexpr std::size_t kMostFieldBytes = kRecordSize + 64;
  static std::size_t shared_fields(const LineRecord& record, char* out);

  // Keeps the record in its stored form: each text cut as its 342-byte
  // field cuts it.
  void add(const LineRecord& record, RecordSpot spot);
  // Keeps the batch's records, in their order.
  void add(const Batch& batch) { add(batch.whole(), batch.size()); }
  // Keeps the first `count` records of `part`, in their order, and returns
  // the records after them.
  Batch::Part add(Batch::Part part, std::size_t count);
  // Lets go of what finding repeated records takes (a table of a few
  // bytes per distinct record) once no more records are coming; a later
  // add() builds it again.
  void stop_adding();
  std::size_t size() const { return count_; }
  // Distinct records without their address.
  std::size_t distinct() const { return records_.size(); }

  // Where reading may start part way: the record, where it lies in the
  // stream and the offset of the record before it. The store keeps one every
  // kCheckpointRecords records.
  struct Checkpoint {
    std::size_t record = 0;
    std::size_t position = 0;
    std::uint32_t offset = 0;
  };
  static constexpr std::size_t kCheckpointRecords = 2048;
  // The last checkpoint at or before record `record`; not while another
  // thread adds records.
  Checkpoint checkpoint_before(std::size_t record) const;

  // Reads the records in the order they were added: the first `count`
  // (all that there are now, by default). Only the records it may read are
  // touched, so it may read on another thread while more are added.
  class Reader {
   public:
    explicit Reader(const RecordStore& store) : Reader(store, store.size()) {}
    Reader(const RecordStore& store, std::size_t count) : store_(store), count_(count) {}
    // From the checkpoint's record on.
    Reader(const RecordStore& store, const Checkpoint& from, std::size_t count)
        : store_(store),
          count_(count),
          position_(from.position),
          read_(from.record),
          offset_(from.offset) {}
    // Lets the reader go on to the first `count` records.
    void extend(std::size_t count) { count_ = count; }
    // Passes over the records before record `record`.
    void skip_to(std::size_t record);
    std::size_t read() const { return read_; }
    // Where the distinct record of the last record read is kept.
    std::uint32_t last_start() const { return last_start_; }
    // The next record, as decoded from its 342-byte layout, and its spot;
    // false after the last.
    bool next(LineRecord& record, RecordSpot& spot);
    // The next record's field texts in storage order, each as its stored
    // field holds it, and its spot; false after the last. The address's
    // text lives in the reader until the next call.
    bool next_texts(std::array<std::string_view, kFieldCount>& texts, RecordSpot& spot);
    // The next record's spot, read without its texts, which last_record(),
    // last_texts() and last_shared() then give; false after the last.
    bool next_entry(RecordSpot& spot);
    void last_record(LineRecord& record) const;
    void last_texts(std::array<std::string_view, kFieldCount>& texts) const;
    // The record's fields but the address, as its distinct record keeps
    // them: each field's length in a byte, then its text, in storage order.
    std::string_view last_shared() const;
    std::string_view last_address() const { return std::string_view(address_, address_size_); }

   private:
    // The distinct records of the records a few places ahead are asked
    // into the cache, so that the wait for them overlaps the caller's work.
    static constexpr std::size_t kPrefetchDistance = 8;
    void prefetch_ahead();

    const RecordStore& store_;
    std::size_t count_;
    char address_[kAddressFieldSize] = {};
    std::size_t address_size_ = 0;
    std::size_t position_ = 0;  // in the store's stream
    std::size_t read_ = 0;
    std::size_t ahead_position_ = 0;  // of the next record to prefetch
    std::size_t ahead_ = 0;
    std::uint32_t offset_ = 0;
    std::uint32_t last_start_ = 0;
  };
  Reader reader() const { return Reader(*this); }

  // Lays the records out in their 342-byte layout, the .obj file's bytes, a
  // block at a time, going on from where the last call stopped.
  class ObjectWriter {
   public:
    explicit ObjectWriter(const RecordStore& store) : records_(store, 0) {}
    // Hands the records up to the first `count` (which must be added by
    // now) to `sink`, in blocks of kObjectBlockRecords; with
    // `whole_blocks_only`, the records of a last, partial block wait for a
    // later call.
    Expected<void> write_up_to(std::size_t count, const ObjectSink& sink,
                               bool whole_blocks_only = false);
    // Hands the records of a batch (or of a part of one, after the records
    // handed on before it) to `sink` the same way, for a writer that is
    // given each batch that goes to the store instead of reading the store
    // back. Batches of whole blocks give the blocks that write_up_to gives.
    Expected<void> write_batch(Batch::Part part, const ObjectSink& sink);

   private:
    // Fills blocks with `count` records, each laid out at its slot by
    // `lay_out_next`, and hands them to `sink`.
    template <typename LayOutNext>
    Expected<void> write_records(std::size_t count, LayOutNext lay_out_next,
                                 const ObjectSink& sink);

    Reader records_;
    std::unique_ptr<char[]> block_;
    std::size_t block_size_ = 0;
  };
  // The first `count` records (all by default) in their 342-byte layout,
  // handed to `sink` in blocks of kObjectBlockRecords.
  Expected<void> write_object(const ObjectSink& sink, std::size_t count = SIZE_MAX) const;
  // The same bytes as one string.
  std::string object_bytes(std::size_t count = SIZE_MAX) const;

  // 2048 records, 684 KiB: large writes, and little memory.
  static constexpr std::size_t kObjectBlockRecords = 2048;

  // Writes `record` at `slot` (kRecordSize bytes) as write_object writes
  // it once added: each text cut as its field cuts it, zero bytes behind.
  static void lay_out(const LineRecord& record, char* slot);

 private:
  // Bytes kept in chunks that never move, found through a directory that
  // never moves either, so that growing never copies (nor holds the old and
  // the new copy at once), and a reader of the bytes so far is not
  // disturbed by more being added. What one call adds (at most
  // kFirstChunkSize bytes) never spans two chunks. The first chunks are
  // small and double, so that a store of a few records takes little: 1, 2,
  // 4 and 8 KiB, then kChunkSize each.
  class Chunks {
   public:
    static constexpr std::size_t kFirstChunkSize = 1024;
    static constexpr std::size_t kChunkSize = std::size_t{16} * 1024;
    // Room for `size` bytes in one chunk, at the returned position.
    std::size_t reserve(std::size_t size);
    // Hands back the last `size` bytes of the last reservation, unused.
    void give_back(std::size_t size) { used_ -= size; }
    std::size_t used() const { return used_; }
    unsigned char* at(std::size_t position) {
      const std::size_t index = chunk_of(position);
      return chunk(index) + (position - chunk_start(index));
    }
    const unsigned char* at(std::size_t position) const {
      const std::size_t index = chunk_of(position);
      return chunk(index) + (position - chunk_start(index));
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

    // 1024 chunks a page of the directory, 16 MiB; 256 pages, 4 GiB, as far
    // as the 32-bit places of the distinct records reach. The directory is
    // made for every store, so it is kept small.
    static constexpr std::size_t kPageChunks = 1024;
    static constexpr std::size_t kPages = 256;
    using Page = std::array<std::unique_ptr<unsigned char[]>, kPageChunks>;

    unsigned char* chunk(std::size_t index) const {
      return (*pages_[index / kPageChunks])[index % kPageChunks].get();
    }
    void add_chunk();

    std::unique_ptr<std::unique_ptr<Page>[]> pages_ =
        std::make_unique<std::unique_ptr<Page>[]>(kPages);
    // A reader on another thread reads pages_ at every record while this
    // thread adds: the counts it changes are on a cache line of their own.
    alignas(kCacheLine) std::size_t chunks_ = 0;
    std::size_t used_ = 0;
  };

  // Each distinct text once, found by where it starts.
  class Interner {
   public:
    // Where the text is kept; `hash` is hash_of(text).
    std::uint32_t intern(std::string_view text, std::uint32_t hash);
    std::uint32_t intern(std::string_view text) { return intern(text, hash_of(text)); }
    static std::uint32_t hash_of(std::string_view text);
    // Ask the processor for what intern() will read first: the slot where a
    // text of this hash is looked for, and, once that is at hand, the text
    // it names. The wait for several texts then overlaps.
    void prefetch_slot(std::uint32_t hash) const {
      if (!slots_.empty()) __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
    }
    void prefetch_text_of_slot(std::uint32_t hash) const {
      if (slots_.empty()) return;
      const Slot& slot = slots_[hash & (slots_.size() - 1)];
      if (slot.start != 0 && slot.hash == hash) prefetch(slot.start - 1);
    }
    std::string_view text(std::uint32_t start) const {
      const unsigned char* stored = bytes_.at(start);
      return std::string_view(reinterpret_cast<const char*>(stored) + 2,
                              stored[0] + 256u * stored[1]);
    }
    std::size_t size() const { return size_; }
    void forget_slots() { std::vector<Slot>().swap(slots_); }
    bool lost_slots() const { return slots_.empty() && size_ > 0; }
    // Puts the text at `start` back in the table, unless it is there.
    void find_again(std::uint32_t start);
    // Asks the processor to bring the text at `start` into the cache.
    void prefetch(std::uint32_t start) const {
      const unsigned char* stored = bytes_.at(start);
      __builtin_prefetch(stored);
      __builtin_prefetch(stored + 64);
    }

   private:
    // A slot of the open hash table: the text's hash, and where it starts
    // plus one (zero for an empty slot).
    struct Slot {
      std::uint32_t hash = 0;
      std::uint32_t start = 0;
    };
    // Whether a table of `slots` slots is too full for `texts` texts.
    static bool full_with(std::size_t texts, std::size_t slots);
    void grow_slots();
    Chunks bytes_;  // each text after its length in two bytes
    std::vector<Slot> slots_;
    std::size_t size_ = 0;
  };

  // Puts one record in the stream: where its distinct record is kept, its
  // address's text and its spot.
  void add_to_stream(std::uint32_t kept, std::string_view address, RecordSpot spot);
  // After stop_adding(), the table of distinct records is built again.
  void find_records_again();

  // Where the fields of the latest batch records numbered alike are kept,
  // by their number.
  struct KnownFields {
    std::uint32_t same_as = 0;
    std::uint32_t kept = 0;
  };
  static constexpr std::size_t kKnownFields = 16384;
  std::vector<KnownFields> known_fields_;

  std::size_t count_ = 0;
  std::uint32_t last_offset_ = 0;
  std::vector<Checkpoint> checkpoints_;
  // Per record: a header byte, where the distinct record starts, the address
  // and the spot (see record_store.cpp).
  Chunks stream_;
  // Every distinct record without its address: each field's length in a
  // byte, then its text.
  Interner records_;
};

}  // namespace korva
