#include "driver/record_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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

RecordTable numbered_table(std::size_t count) {
  RecordTable table;
  for (std::size_t n = 0; n < count; ++n) table.add(numbered_record(n), numbered_spot(n));
  return table;
}

// Record n as the .obj file keeps it: each field as it reads back, the bytes
// behind a zero byte in a text not kept.
LineRecord read_back(std::size_t n) {
  LineRecord record;
  decode_record(stored_bytes(numbered_record(n)), record);
  return record;
}

const std::size_t kCounts[] = {0,
                               1,
                               RecordTable::kObjectBlockRecords - 1,
                               RecordTable::kObjectBlockRecords,
                               RecordTable::kObjectBlockRecords + 1,
                               70000};

TEST(RecordTable, RecordsAndSpotsComeBackInTheirStoredForm) {
  for (const std::size_t count : kCounts) {
    const RecordTable table = numbered_table(count);
    ASSERT_EQ(table.size(), count);
    LineRecord record;
    for (std::size_t n = 0; n < count; ++n) {
      record.operand3 = "left by the record before";  // every field is read
      table.read(n, record);
      expect_same(record, read_back(n), n);
      ASSERT_EQ(table.spot(n), numbered_spot(n)) << "record " << n;
    }
    // Read again out of order: nothing depends on the reads before.
    for (std::size_t n = count; n-- > 0;) {
      if (n % 997 != 0) continue;
      table.read(n, record);
      expect_same(record, read_back(n), n);
    }
  }
}

TEST(RecordTable, ObjectBytesAreTheRecordsIn342ByteLayoutInWholeBlocks) {
  for (const std::size_t count : kCounts) {
    const RecordTable table = numbered_table(count);
    std::string expected;
    for (std::size_t n = 0; n < count; ++n) {
      const RecordBytes bytes = stored_bytes(read_back(n));
      expected.append(bytes.data(), bytes.size());
    }
    std::vector<std::size_t> blocks;
    std::string streamed;
    ASSERT_TRUE(table.write_object([&](std::string_view block) -> Expected<void> {
      blocks.push_back(block.size());
      streamed += block;
      return {};
    }));
    EXPECT_TRUE(streamed == expected) << count << " records";
    EXPECT_TRUE(table.object_bytes() == expected) << count << " records";
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      EXPECT_EQ(blocks[i] % kRecordSize, 0u);
      if (i + 1 < blocks.size()) {
        EXPECT_EQ(blocks[i], RecordTable::kObjectBlockRecords * kRecordSize);
      }
    }
  }
}

TEST(RecordTable, ASinkFailureEndsTheWritingWithItsMessage) {
  const RecordTable table = numbered_table(3 * RecordTable::kObjectBlockRecords);
  int calls = 0;
  const Expected<void> written = table.write_object([&calls](std::string_view) -> Expected<void> {
    if (++calls == 2) return fail("disk full");
    return {};
  });
  ASSERT_FALSE(written);
  EXPECT_EQ(written.message(), "disk full");
  EXPECT_EQ(calls, 2);
}

// Equal texts get one number, different ones their own, however many there
// are (the table grows past its first slots many times), whatever bytes they
// hold, and before or after the index is released.
TEST(TextPool, KeepsEachDistinctTextOnceUnderItsNumber) {
  TextPool pool;
  std::vector<std::string> texts = {"", std::string("\0", 1), std::string("a\0b", 3),
                                    "\xff\x81\x5b"};
  for (int i = 0; i < 20000; ++i) texts.push_back("text " + std::to_string(i));
  // The third round after the index was released, which makes it again.
  for (int round = 0; round < 3; ++round) {
    if (round == 2) pool.release_index();
    for (std::size_t i = 0; i < texts.size(); ++i) {
      ASSERT_EQ(pool.intern(texts[i]), i) << "round " << round << ", text " << i;
    }
  }
  ASSERT_EQ(pool.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ASSERT_EQ(pool.text(static_cast<std::uint32_t>(i)), texts[i]);
  }
}

}  // namespace
}  // namespace korva
