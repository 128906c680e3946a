#include "driver/record_blocks.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <utility>

namespace korva {

RecordBlockWriter::RecordBlockWriter(AtomicFile& file)
    : file_(file), filling_(kRecordsPerBlock * kRecordSize), writing_(filling_.size()) {}

bool RecordBlockWriter::finish_pending_write() {
  worker_.wait();
  if (write_failed_) failed_ = true;
  return !failed_;
}

bool RecordBlockWriter::write(const LineRecord& record) {
  if (failed_) return false;
  encode_record(record, RecordSlot(filling_.data() + used_, kRecordSize));
  used_ += kRecordSize;
  if (used_ == filling_.size()) hand_over_full_block();
  return !failed_;
}

// Starts writing the full block on the second thread, once the block before
// it is written; the records that follow go into the other block.
void RecordBlockWriter::hand_over_full_block() {
  used_ = 0;
  if (!finish_pending_write()) return;
  std::swap(filling_, writing_);
  worker_.start([this] {
    if (!file_.write(std::string_view(writing_.data(), writing_.size()))) write_failed_ = true;
    file_.start_write_back();
  });
}

bool RecordBlockWriter::flush() {
  if (!finish_pending_write()) return false;
  const std::string_view held(filling_.data(), used_);
  used_ = 0;
  if (!held.empty() && !file_.write(held)) failed_ = true;
  return !failed_;
}

RecordBlockReader::RecordBlockReader(FileHandle file, std::size_t count)
    : file_(std::move(file)), remaining_(count) {
  if (!file_) {
    failed_ = true;
    return;
  }
  for (Block& block : blocks_) {
    block.bytes.resize(kRecordsPerBlock * kRecordSize);
    block.records.resize(kRecordsPerBlock);
  }
  start_loading();
}

RecordBlockReader::~RecordBlockReader() {
  // The file closes after the worker's last read.
  worker_.wait();
}

void RecordBlockReader::load(Block& block, std::size_t count) {
  const std::size_t read = std::fread(block.bytes.data(), 1, count * kRecordSize, file_.get());
  block.count = read / kRecordSize;
  block.short_read = block.count < count;
  std::size_t n = 0;
  try {
    for (; n < block.count; ++n) {
      decode_record(RecordView(block.bytes.data() + n * kRecordSize, kRecordSize),
                    block.records[n]);
    }
  } catch (const std::bad_alloc&) {
    // Out of memory on this thread: the records decoded so far are handed
    // out, and then the reading counts as failed.
    block.count = n;
    block.short_read = true;
  }
}

// Loads the block that next() is not handing out from.
void RecordBlockReader::start_loading() {
  const std::size_t count = std::min(remaining_, kRecordsPerBlock);
  if (count == 0) return;
  remaining_ -= count;
  loading_ = true;
  Block& block = blocks_[1 - reading_];
  worker_.start([this, &block, count] { load(block, count); });
}

LineRecord* RecordBlockReader::next() {
  if (position_ == blocks_[reading_].count) {
    if (blocks_[reading_].short_read) failed_ = true;
    if (failed_ || !loading_) return nullptr;
    worker_.wait();
    loading_ = false;
    reading_ = 1 - reading_;
    position_ = 0;
    if (!blocks_[reading_].short_read) start_loading();
    if (blocks_[reading_].count == 0) return next();
  }
  return &blocks_[reading_].records[position_++];
}

}  // namespace korva
