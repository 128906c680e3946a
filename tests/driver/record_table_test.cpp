#include "driver/record_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "patterns/pattern_table.h"

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
  if (n % 5 != 0) record.pattern = static_cast<std::uint8_t>(n % kPatternCount);
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
  EXPECT_EQ(actual.pattern, expected.pattern) << "record " << n;
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
// behind a zero byte in a text not kept. The table keeps the entry itself,
// where the stored key names only the first of the entries that share it.
LineRecord read_back(std::size_t n) {
  LineRecord record;
  decode_record(stored_bytes(numbered_record(n)), record);
  record.pattern = numbered_record(n).pattern;
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

TEST(LineRecord, StoresEveryFieldAtItsOffsetAndReadsItBack) {
  LineRecord record;
  record.statement = "W+(COUNT)>W";
  record.label = "LOOP::";
  record.remark = "; remark";
  record.error = "normal err";
  record.pattern = pattern_number(kPatterns[9]);  // W+@>@
  record.code = "0794";
  record.operand1 = "($0014)";
  record.operand2 = "W";
  record.operand3 = "";
  record.kind = "normal";
  record.address = "0123";
  RecordBytes bytes;
  bytes.fill('#');
  encode_record(record, bytes);
  const struct {
    std::size_t offset;
    std::size_t size;
    std::string_view text;
  } fields[] = {{0, 50, "W+(COUNT)>W"},  {50, 20, "LOOP::"},     {70, 50, "; remark"},
                {120, 30, "normal err"}, {150, 12, "N073EADD "}, {162, 10, "0794"},
                {172, 50, "($0014)"},    {222, 50, "W"},         {272, 50, ""},
                {322, 10, "normal"},     {332, 10, "0123"}};
  for (const auto& f : fields) {
    std::string expected(f.text);
    expected.resize(f.size, '\0');
    EXPECT_EQ(std::string(bytes.data() + f.offset, f.size), expected) << f.offset;
  }
  LineRecord back;
  back.statement = "something longer that was there before";
  decode_record(bytes, back);
  EXPECT_EQ(back.statement, record.statement);
  EXPECT_EQ(back.label, record.label);
  EXPECT_EQ(back.error, record.error);
  EXPECT_EQ(back.operand1, record.operand1);
  EXPECT_EQ(back.operand3, "");
  EXPECT_EQ(back.address, record.address);
  EXPECT_EQ(back.pattern, record.pattern);
  // A key that no entry has reads back as no pattern, and none as none.
  for (const std::string_view key : {std::string_view("N073EADDX"), std::string_view("")}) {
    std::memcpy(bytes.data() + 150, key.data(), key.size());
    bytes[150 + key.size()] = '\0';
    decode_record(bytes, back);
    EXPECT_EQ(back.pattern, std::nullopt) << key;
  }
}

TEST(LineRecord, PassOneMessagesFillTheWholeErrorFieldInMemory) {
  LineRecord record;
  const std::string message(30, 'M');  // the longest pass-1 message
  record.error = message;
  EXPECT_EQ(record.error, message);
  RecordBytes bytes;
  encode_record(record, bytes);
  EXPECT_EQ(std::string(bytes.data() + 120, 30), std::string(29, 'M') + '\0');
}

// Each kind's tag as the .obj file stores it, at offset 322 of the record.
// Each one also tells every other kind apart and survives the round trip
// through the stored layout whole.
TEST(LineRecord, KindTagsAreStoredAsTheirTextsAndToldApart) {
  const struct {
    RecordKind kind;
    std::string_view text;
  } kinds[] = {
      {RecordKind::none, ""},
      {RecordKind::rem, "rem"},
      {RecordKind::macro, "macro"},
      {RecordKind::normal, "normal"},
      {RecordKind::bit, "bit"},
      {RecordKind::branch, "branch"},
      {RecordKind::inherent, "inherent"},
      {RecordKind::call_sub, "call sub"},
      {RecordKind::data, "data"},
      {RecordKind::error, "error"},
      {RecordKind::org, "org"},
      {RecordKind::equ, "equ"},
      {RecordKind::sub, "sub"},
  };
  ASSERT_EQ(std::size(kinds), kRecordKindTexts.size());
  for (const auto& k : kinds) {
    LineRecord record;
    record.kind = "stale tag";
    set_kind(record, k.kind);
    RecordBytes bytes;
    encode_record(record, bytes);
    std::string expected(k.text);
    expected.resize(kKindFieldSize, '\0');
    EXPECT_EQ(std::string(bytes.data() + 322, kKindFieldSize), expected) << k.text;
    LineRecord back;
    decode_record(bytes, back);
    for (const auto& other : kinds) {
      EXPECT_EQ(has_kind(back, other.kind), other.kind == k.kind) << k.text << " / " << other.text;
    }
  }
}

}  // namespace
}  // namespace korva
