#include "driver/record_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/background_worker.h"

namespace korva {
namespace {

// A record whose every field tells which one it is; `address` picks the
// address's form (four lower-case digits, four upper-case, other texts).
LineRecord numbered_record(std::size_t n) {
  const std::string number = std::to_string(n);
  LineRecord record;
  record.statement = "MOV " + std::to_string(n % 97) + ",W";
  record.label = n % 3 == 0 ? "L" + number + ":" : "";
  record.remark = n % 2 == 0 ? "; line " + std::to_string(n % 13) : "";
  record.error = n % 7 == 0 ? "syntax error" : "";
  record.pattern_key = "N" + std::to_string(n % 5);
  record.code = n % 11 == 0 ? "XXXX" : "";
  record.operand1 = std::to_string(n % 4);
  record.operand2 = "W";
  // Longer than its stored field (49 characters) now and then.
  record.operand3 = std::string(n % 60, 'x');
  record.kind = n % 5 == 0 ? "rem" : "normal";
  // A zero byte inside a text ends it, as in its stored field; the label
  // fills its field to the last byte, which the stored field cuts.
  if (n % 23 == 0) record.remark = std::string("; a\0b", 5);
  if (n % 29 == 0) record.statement = std::string("\0MOV", 4);
  if (n % 31 == 0) record.label = std::string(kLabelFieldSize, 'L');
  static const char* const kAddresses[] = {"00af",  "00AF", "1b2c", "FFFF", "0000",
                                           "12345", "",     "0aF0", "ZZZZ", "abcdefghijk"};
  record.address = kAddresses[n % 10];
  if (n % 10 < 2) {
    char digits[8];
    std::snprintf(digits, sizeof digits, n % 10 == 0 ? "%04zx" : "%04zX", n % 0x10000);
    record.address = digits;
  }
  return record;
}

RecordSpot numbered_spot(std::size_t n) {
  // Forward mostly, back now and then (a macro body before its call), with
  // each form of call offset.
  const auto offset = static_cast<std::uint32_t>(n % 17 == 0 ? n * 3 : n * 40 + 7);
  const std::uint32_t call = n % 3 == 0 ? kNoCall : n % 3 == 1 ? offset : 5 * offset + 1;
  return RecordSpot{offset, call};
}

RecordBytes stored_bytes(const LineRecord& record) {
  RecordBytes bytes;
  encode_record(record, bytes);
  return bytes;
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

RecordStore numbered_store(std::size_t count) {
  RecordStore store;
  for (std::size_t n = 0; n < count; ++n) store.add(numbered_record(n), numbered_spot(n));
  return store;
}

const std::size_t kCounts[] = {0,
                               1,
                               RecordStore::kObjectBlockRecords - 1,
                               RecordStore::kObjectBlockRecords,
                               RecordStore::kObjectBlockRecords + 1,
                               70000};

TEST(RecordStore, RecordsAndSpotsComeBackInOrderInTheirStoredForm) {
  for (const std::size_t count : kCounts) {
    const RecordStore store = numbered_store(count);
    ASSERT_EQ(store.size(), count);
    RecordStore::Reader reader = store.reader();
    LineRecord record;
    RecordSpot spot;
    std::size_t n = 0;
    for (; reader.next(record, spot); ++n) {
      LineRecord expected;
      decode_record(stored_bytes(numbered_record(n)), expected);
      expect_same(record, expected, n);
      ASSERT_EQ(spot, numbered_spot(n)) << "record " << n;
      record.statement = "changed by the caller";  // the store must not care
    }
    EXPECT_EQ(n, count);
    EXPECT_FALSE(reader.next(record, spot)) << "asked again after the end";
  }
}

TEST(RecordStore, RecordsAddedInBatchesAreTheRecordsAddedOneByOne) {
  // Batches of each size, one batch object reused after clear(), and the
  // whole 20000 records in one batch, which outgrows its first room; each
  // batch whole, or a part at a time, each part laid out once it is added.
  const std::size_t count = 20000;
  const RecordStore one_by_one = numbered_store(count);
  constexpr std::size_t kWhole = 0;
  const std::pair<std::size_t, std::size_t> sizes[] = {
      {1, kWhole},
      {7, kWhole},
      {RecordStore::kObjectBlockRecords, kWhole},
      {count, kWhole},
      {count, RecordStore::kObjectBlockRecords},
      {5000, 3},
  };
  for (const auto& [batch_size, part_size] : sizes) {
    SCOPED_TRACE(testing::Message() << "batches of " << batch_size << ", parts of " << part_size);
    RecordStore store;
    RecordStore::Batch batch;
    // Laid out batch by batch, as the records go to the store.
    RecordStore::ObjectWriter writer(store);
    std::string laid_out;
    const ObjectSink sink = [&laid_out](std::string_view block) -> Expected<void> {
      EXPECT_LE(block.size(), RecordStore::kObjectBlockRecords * kRecordSize);
      laid_out += block;
      return {};
    };
    for (std::size_t n = 0; n < count; ++n) {
      batch.add(numbered_record(n), numbered_spot(n));
      if (batch.size() != batch_size && n + 1 != count) continue;
      if (part_size == kWhole) {
        store.add(batch);
        ASSERT_TRUE(writer.write_batch(batch.whole(), sink));
      } else {
        for (RecordStore::Batch::Part rest = batch.whole(); rest.count > 0;) {
          const RecordStore::Batch::Part part = rest;
          rest = store.add(rest, part_size);
          ASSERT_EQ(rest.count, part.count - std::min(part.count, part_size));
          ASSERT_TRUE(writer.write_batch({part.begin, part.count - rest.count}, sink));
        }
      }
      batch.clear();
    }
    EXPECT_TRUE(laid_out == one_by_one.object_bytes());
    ASSERT_EQ(store.size(), count);
    EXPECT_EQ(store.distinct(), one_by_one.distinct());
    EXPECT_TRUE(store.object_bytes() == one_by_one.object_bytes());
    RecordStore::Reader reader = store.reader();
    LineRecord record;
    RecordSpot spot;
    for (std::size_t n = 0; reader.next(record, spot); ++n) {
      ASSERT_EQ(spot, numbered_spot(n)) << "record " << n;
    }
  }
}

// Batch records may carry a number that records with the same fields share;
// the store then finds their kept fields by it. Numbers far apart meet at
// one place of its table, each naming other fields, and one record's fields
// carry two numbers: the store must keep what it keeps without numbers.
TEST(RecordStore, RecordsNumberedAlikeAreKeptAsTheRecordsThemselves) {
  const std::size_t count = 30000;
  const auto record_of = [](std::size_t n) {
    LineRecord record = numbered_record(n % 6000);
    record.address = numbered_record(n).address;
    return record;
  };
  RecordStore unnumbered;
  RecordStore numbered;
  RecordStore::Batch plain;
  RecordStore::Batch with_numbers;
  for (std::size_t n = 0; n < count; ++n) {
    const LineRecord record = record_of(n);
    plain.add(record, numbered_spot(n));
    // Numbers 4 096 fields apart are 16 384 apart; the second half of the
    // records numbers the same fields anew.
    const auto number = static_cast<std::uint32_t>(1 + (n % 6000) * 4 + (n >= count / 2 ? 1 : 0));
    with_numbers.add(record, numbered_spot(n), n % 5 == 0 ? 0 : number);
    if (plain.size() == 4096 || n + 1 == count) {
      unnumbered.add(plain);
      numbered.add(with_numbers);
      plain.clear();
      with_numbers.clear();
    }
  }
  EXPECT_EQ(numbered.distinct(), unnumbered.distinct());
  EXPECT_TRUE(numbered.object_bytes() == unnumbered.object_bytes());
}

TEST(RecordStore, KeepsEachDistinctRecordOnce) {
  RecordStore store;
  LineRecord record = numbered_record(4);
  for (int i = 0; i < 1000; ++i) {
    char address[8];
    std::snprintf(address, sizeof address, "%04X", i);
    record.address = address;
    store.add(record, RecordSpot{static_cast<std::uint32_t>(i), kNoCall});
  }
  // Texts beyond the stored field are cut alike, so they are the same record.
  record.operand3 = std::string(49, 'x') + "1";
  store.add(record, RecordSpot{});
  record.operand3 = std::string(49, 'x') + "2";
  store.add(record, RecordSpot{});
  EXPECT_EQ(store.distinct(), 2u);
  EXPECT_EQ(store.size(), 1002u);
  // Added after the store let go of its table, a record is still found.
  store.stop_adding();
  store.add(record, RecordSpot{});
  store.add(numbered_record(4), RecordSpot{});
  store.add(numbered_record(5), RecordSpot{});
  EXPECT_EQ(store.distinct(), 3u);
  ASSERT_EQ(store.size(), 1005u);
  RecordStore::Reader reader = store.reader();
  LineRecord read;
  RecordSpot spot;
  for (std::size_t n = 0; n < 1003; ++n) ASSERT_TRUE(reader.next(read, spot));
  EXPECT_EQ(read.operand3, std::string(49, 'x'));  // as its field keeps it
  ASSERT_TRUE(reader.next(read, spot));
  EXPECT_EQ(read.address, numbered_record(4).address);
  ASSERT_TRUE(reader.next(read, spot));
  EXPECT_EQ(read.statement, numbered_record(5).statement);
}

TEST(RecordStore, ObjectBytesAreTheRecordsIn342ByteLayout) {
  for (const std::size_t count : kCounts) {
    const RecordStore store = numbered_store(count);
    std::string expected;
    for (std::size_t n = 0; n < count; ++n) {
      // Each field as it reads back: the bytes behind a zero byte in a text
      // are not kept.
      LineRecord read_back;
      decode_record(stored_bytes(numbered_record(n)), read_back);
      const RecordBytes bytes = stored_bytes(read_back);
      expected.append(bytes.data(), bytes.size());
    }
    std::vector<std::size_t> blocks;
    std::string streamed;
    ASSERT_TRUE(store.write_object([&](std::string_view block) -> Expected<void> {
      blocks.push_back(block.size());
      streamed += block;
      return {};
    }));
    EXPECT_TRUE(streamed == expected) << count << " records";
    EXPECT_TRUE(store.object_bytes() == expected) << count << " records";
    for (const std::size_t size : blocks) {
      EXPECT_LE(size, RecordStore::kObjectBlockRecords * kRecordSize);
      EXPECT_EQ(size % kRecordSize, 0u);
    }
    if (count > 1) {
      EXPECT_TRUE(store.object_bytes(count - 1) == expected.substr(0, (count - 1) * kRecordSize));
    }
    // Laid out one at a time, before being added, a record has the same bytes.
    for (std::size_t n = 0; n < count; ++n) {
      std::string slot(kRecordSize, '\x55');
      RecordStore::lay_out(numbered_record(n), slot.data());
      ASSERT_TRUE(slot == expected.substr(n * kRecordSize, kRecordSize)) << "record " << n;
    }
  }
}

// The .obj bytes laid out a run at a time, on another thread while more
// records are added, are the bytes laid out at the end in one go; runs of
// whole blocks hand on only whole blocks.
TEST(RecordStore, LaysTheObjectOutWhileRecordsAreAdded) {
  constexpr std::size_t kBlockBytes = RecordStore::kObjectBlockRecords * kRecordSize;
  constexpr std::size_t kCount = 9 * RecordStore::kObjectBlockRecords + 17;
  RecordStore store;
  std::string streamed;
  std::size_t partial_blocks = 0;
  {
    RecordStore::ObjectWriter writer(store);
    bool whole_only = true;
    const ObjectSink append = [&](std::string_view block) -> Expected<void> {
      EXPECT_LE(block.size(), kBlockBytes);
      if (block.size() != kBlockBytes) {
        EXPECT_FALSE(whole_only) << "a partial block among the whole ones";
        ++partial_blocks;
      }
      streamed += block;
      return {};
    };
    // Last, so that it waits for its job before what the job uses goes.
    BackgroundWorker worker;
    for (std::size_t n = 0; n < kCount; ++n) {
      store.add(numbered_record(n), numbered_spot(n));
      // Runs of different lengths, most ending inside a block.
      if (n % 1500 == 1499 && !worker.busy()) {
        worker.start([&writer, &append, count = n + 1] {
          EXPECT_TRUE(writer.write_up_to(count, append, true));
        });
      }
    }
    worker.wait();
    whole_only = false;
    worker.start([&writer, &append] { EXPECT_TRUE(writer.write_up_to(kCount, append)); });
  }
  EXPECT_EQ(partial_blocks, 1u);
  EXPECT_EQ(streamed.size(), kCount * kRecordSize);
  EXPECT_TRUE(streamed == store.object_bytes());
}

TEST(RecordStore, ASinkFailureEndsTheWritingWithItsMessage) {
  const RecordStore store = numbered_store(3 * RecordStore::kObjectBlockRecords);
  int calls = 0;
  const Expected<void> written = store.write_object([&calls](std::string_view) -> Expected<void> {
    if (++calls == 2) return fail("disk full");
    return {};
  });
  ASSERT_FALSE(written);
  EXPECT_EQ(written.message(), "disk full");
  EXPECT_EQ(calls, 2);
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

// Jobs shorter and longer than the while the threads watch for each other
// before they sleep: wait() returns only once the job's writes are seen.
TEST(BackgroundWorker, WaitSeesWhatJobsOfEveryLengthWrote) {
  BackgroundWorker worker;
  for (const auto length : {std::chrono::microseconds(0), std::chrono::microseconds(100),
                            std::chrono::microseconds(3000)}) {
    std::vector<int> written;
    for (int i = 0; i < 5; ++i) {
      worker.start([&written, length, i] {
        std::this_thread::sleep_for(length);
        written.push_back(i);
      });
      worker.wait();
      EXPECT_FALSE(worker.busy());
      EXPECT_EQ(written.size(), static_cast<std::size_t>(i + 1)) << length.count() << " us";
    }
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
