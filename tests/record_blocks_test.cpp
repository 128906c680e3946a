#include "driver/record_blocks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/background_worker.h"
#include "support/file_io.h"
#include "test_support.h"

namespace korva {
namespace {

using testing::ScratchDir;

// A record whose every field tells which one it is.
LineRecord numbered_record(std::size_t n) {
  const std::string number = std::to_string(n);
  LineRecord record;
  record.statement = "MOV " + number + ",W";
  record.label = n % 3 == 0 ? "L" + number + ":" : "";
  record.remark = n % 2 == 0 ? "; line " + number : "";
  record.error = n % 7 == 0 ? "syntax error" : "";
  record.pattern_key = "N" + number;
  record.code = std::to_string(n % 10000);
  record.operand1 = number;
  record.operand2 = "W";
  record.operand3 = std::string(n % 50, 'x');
  record.kind = n % 5 == 0 ? "rem" : "normal";
  record.address = std::to_string(n % 4096);
  return record;
}

// What the record looks like after a trip through its stored layout.
LineRecord stored_form(const LineRecord& record) {
  RecordBytes bytes;
  encode_record(record, bytes);
  LineRecord back;
  decode_record(bytes, back);
  return back;
}

void expect_same(const LineRecord& actual, const LineRecord& expected, std::size_t n) {
  EXPECT_EQ(actual.statement, expected.statement) << "record " << n;
  EXPECT_EQ(actual.label, expected.label) << "record " << n;
  EXPECT_EQ(actual.remark, expected.remark) << "record " << n;
  EXPECT_EQ(actual.error, expected.error) << "record " << n;
  EXPECT_EQ(actual.pattern_key, expected.pattern_key) << "record " << n;
  EXPECT_EQ(actual.code, expected.code) << "record " << n;
  EXPECT_EQ(actual.operand1, expected.operand1) << "record " << n;
  EXPECT_EQ(actual.operand2, expected.operand2) << "record " << n;
  EXPECT_EQ(actual.operand3, expected.operand3) << "record " << n;
  EXPECT_EQ(actual.kind, expected.kind) << "record " << n;
  EXPECT_EQ(actual.address, expected.address) << "record " << n;
}

// Writes `count` numbered records through the block writer; returns whether
// every write and the final flush succeeded.
bool write_records(const std::filesystem::path& path, std::size_t count) {
  AtomicFile file(path);
  if (!file.open()) return false;
  bool ok = true;
  {
    RecordBlockWriter writer(file);
    for (std::size_t n = 0; n < count; ++n) ok = writer.write(numbered_record(n)) && ok;
    ok = writer.flush() && ok;
  }
  return file.commit() && ok;
}

FileHandle open_unbuffered(const std::filesystem::path& path) {
  FileHandle file = open_file(path, "rb");
  if (file) std::setvbuf(file.get(), nullptr, _IONBF, 0);
  return file;
}

TEST(RecordBlocks, RecordsComeBackInOrderAcrossBlockBoundaries) {
  ScratchDir dir;
  for (const std::size_t count :
       {std::size_t{0}, std::size_t{1}, kRecordsPerBlock - 1, kRecordsPerBlock,
        kRecordsPerBlock + 1, 2 * kRecordsPerBlock + 905}) {
    const std::filesystem::path path = dir.path() / ("records" + std::to_string(count));
    ASSERT_TRUE(write_records(path, count)) << count;
    EXPECT_EQ(std::filesystem::file_size(path), count * kRecordSize) << count;

    RecordBlockReader reader(open_unbuffered(path), count);
    std::size_t n = 0;
    for (LineRecord* record = reader.next(); record != nullptr; record = reader.next(), ++n) {
      expect_same(*record, stored_form(numbered_record(n)), n);
      record->statement = "changed by the caller";  // the reader must not care
    }
    EXPECT_EQ(n, count);
    EXPECT_FALSE(reader.failed()) << count;
    EXPECT_EQ(reader.next(), nullptr) << "asked again after the end";
  }
}

TEST(RecordBlocks, ShortFileYieldsTheWholeRecordsThenFails) {
  ScratchDir dir;
  const std::filesystem::path path = dir.path() / "records";
  const std::size_t written = kRecordsPerBlock + 10;
  ASSERT_TRUE(write_records(path, written));
  // The file ends inside the last record: the records before it are read,
  // and the reader reports the shortfall.
  std::filesystem::resize_file(path, written * kRecordSize - 100);

  const struct {
    std::size_t asked;
    std::size_t delivered;
    bool failed;
  } cases[] = {
      {written - 1, written - 1, false},  // stops before the cut record
      {written, written - 1, true},       // the cut record is missing
      {written + 5000, written - 1, true},
  };
  for (const auto& c : cases) {
    RecordBlockReader reader(open_unbuffered(path), c.asked);
    std::size_t n = 0;
    while (reader.next() != nullptr) ++n;
    EXPECT_EQ(n, c.delivered) << "asked " << c.asked;
    EXPECT_EQ(reader.failed(), c.failed) << "asked " << c.asked;
  }
}

TEST(RecordBlocks, ReaderWithoutAFileFails) {
  RecordBlockReader reader(FileHandle(), 10);
  EXPECT_EQ(reader.next(), nullptr);
  EXPECT_TRUE(reader.failed());
}

TEST(RecordBlocks, WriterReportsAFileThatCannotBeWritten) {
  ScratchDir dir;
  for (const std::size_t count : {std::size_t{1}, kRecordsPerBlock, 3 * kRecordsPerBlock}) {
    AtomicFile never_opened(dir.path() / "records");
    RecordBlockWriter writer(never_opened);
    bool every_write_ok = true;
    for (std::size_t n = 0; n < count; ++n) {
      every_write_ok = writer.write(numbered_record(n)) && every_write_ok;
    }
    EXPECT_FALSE(writer.flush()) << count;
    // Once a full block has failed, a later write says so too.
    if (count > kRecordsPerBlock) {
      EXPECT_FALSE(every_write_ok) << count;
    }
  }
}

TEST(BackgroundWorker, RunsJobsOneAtATimeInOrder) {
  std::vector<int> order;
  std::atomic<int> running{0};
  bool overlapped = false;
  {
    BackgroundWorker worker;
    for (int i = 0; i < 200; ++i) {
      worker.start([&order, &running, &overlapped, i] {
        if (running.fetch_add(1) != 0) overlapped = true;
        order.push_back(i);
        running.fetch_sub(1);
      });
    }
    worker.wait();
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    EXPECT_FALSE(overlapped);
  }
}

TEST(BackgroundWorker, WaitAndDestructionWaitForTheRunningJob) {
  std::atomic<bool> finished{false};
  {
    BackgroundWorker worker;
    worker.start([&finished] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      finished = true;
    });
    worker.wait();
    EXPECT_TRUE(finished);
    finished = false;
    worker.start([&finished] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      finished = true;
    });
  }
  EXPECT_TRUE(finished) << "the worker ended before its job";
}

}  // namespace
}  // namespace korva
