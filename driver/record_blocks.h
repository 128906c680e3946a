// The intermediate file written and read a block of records at a time. The
// records are encoded into and decoded from the block itself, and each block
// goes to or comes from the system in one call, with no stdio buffer between.
// The transfers (and the decoding) run on a second thread, one block behind
// the writing or ahead of the reading, so that they overlap the assembling.
#pragma once

#include <cstddef>
#include <vector>

#include "support/background_worker.h"
#include "support/file_handle.h"
#include "support/file_io.h"
#include "support/line_record.h"

namespace korva {

// 2048 records make 171 pages of 4 KiB exactly, so no block leaves a page of
// the file half written.
inline constexpr std::size_t kRecordsPerBlock = 2048;

class RecordBlockWriter {
 public:
  // `file` must be open, and is best unbuffered. Nothing else may use it
  // until flush() has returned or the writer is gone.
  explicit RecordBlockWriter(AtomicFile& file);

  // Adds one record; a full block is handed to the second thread. False
  // when writing has failed (this block's or an earlier one's).
  bool write(const LineRecord& record);
  // Writes the records still held and waits for every write. False when
  // writing failed.
  bool flush();

 private:
  bool finish_pending_write();
  void hand_over_full_block();

  AtomicFile& file_;
  std::vector<char> filling_;  // the block that records are encoded into
  std::vector<char> writing_;  // the block the second thread writes
  std::size_t used_ = 0;       // bytes of filling_ holding records
  bool write_failed_ = false;  // set by the second thread between waits
  bool failed_ = false;
  BackgroundWorker worker_;  // last, so it is gone before what it uses
};

class RecordBlockReader {
 public:
  // Reads `count` records from `file`, which the reader owns. The file is
  // best unbuffered; an empty handle reads as failed.
  RecordBlockReader(FileHandle file, std::size_t count);
  ~RecordBlockReader();
  RecordBlockReader(const RecordBlockReader&) = delete;
  RecordBlockReader& operator=(const RecordBlockReader&) = delete;

  // The next record, decoded, for the caller to use and change until the
  // next call; null after the `count` records, or when the file ended or
  // failed before.
  LineRecord* next();
  // True when the file ended or failed before the `count` records.
  bool failed() const { return failed_; }

 private:
  struct Block {
    std::vector<char> bytes;
    std::vector<LineRecord> records;
    std::size_t count = 0;    // records read and decoded
    bool short_read = false;  // fewer than were asked for
  };
  void start_loading();
  void load(Block& block, std::size_t count);

  FileHandle file_;
  std::size_t remaining_;  // records not yet asked of the file
  Block blocks_[2];
  int reading_ = 0;  // the block that next() hands out from
  std::size_t position_ = 0;
  bool loading_ = false;  // the other block is being loaded
  bool failed_ = false;
  BackgroundWorker worker_;  // last, so it is gone before what it uses
};

}  // namespace korva
