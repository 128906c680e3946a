#include "driver/listing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/record_table.h"
#include "patterns/pattern_table.h"
#include "support/line_record.h"

namespace korva {
namespace {

TEST(WriteImageBytes, OneWordIsSwappedLongerDataKeepsItsOrder) {
  const struct {
    const char* code;
    std::size_t fill;
    std::string bytes;
  } cases[] = {
      {"3FFF", 0, "\xFF\x3F"},
      {"3fff", 0, "\xFF\x3F"},
      {"28XX", 0, std::string("\0\x28", 2)},
      {"2C", 0, "\x2C"},
      {"123456", 0, "\x12\x34\x56"},
      {"3FFF1234", 0, "\x3F\xFF\x12\x34"},
      {"", 0, ""},
      {"123", 0, "\x12"},
      {"", 8, std::string(8, '\0')},
      {"0794", 2, std::string(2, '\0')},
  };
  for (const auto& c : cases) {
    std::string image = "<";
    write_image_bytes(image, c.code, c.fill);
    EXPECT_EQ(image, "<" + c.bytes) << c.code << " fill " << c.fill;
  }
}

TEST(LineRecordLayout, FieldsAtFixedOffsetsCutAndZeroFilled) {
  LineRecord record;
  record.statement = std::string(60, 'S');
  record.label = "LABEL:";
  record.remark = ";r";
  record.error = std::string(40, 'E');
  record.pattern = pattern_number(kPatterns[9]);  // W+@>@
  record.code = "3e05";
  record.operand1 = "5";
  record.operand2 = "W";
  record.kind = "normal";
  record.address = "0004";
  RecordBytes bytes;
  bytes.fill('#');
  encode_record(record, bytes);

  const struct {
    std::size_t offset;
    std::size_t size;
    std::string text;
  } fields[] = {{0, 50, std::string(49, 'S')},
                {50, 20, "LABEL:"},
                {70, 50, ";r"},
                {120, 30, std::string(29, 'E')},
                {150, 12, "N073EADD "},
                {162, 10, "3e05"},
                {172, 50, "5"},
                {222, 50, "W"},
                {272, 50, ""},
                {322, 10, "normal"},
                {332, 10, "0004"}};
  for (const auto& f : fields) {
    std::string expected = f.text;
    expected.resize(f.size, '\0');
    EXPECT_EQ(std::string(bytes.data() + f.offset, f.size), expected) << "offset " << f.offset;
  }

  // Bytes behind a terminator are ignored when the record is read back.
  std::memcpy(bytes.data() + 50 + 7, "junk", 4);
  LineRecord back;
  decode_record(bytes, back);
  EXPECT_EQ(back.label, "LABEL:");
  EXPECT_EQ(back.statement, std::string(49, 'S'));
  EXPECT_EQ(back.address, "0004");
}

}  // namespace
}  // namespace korva
