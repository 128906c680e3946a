// Record fields held in place, their stored form, and the word-wise byte
// search of source lines.
#include "support/field_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "support/byte_scan.h"
#include "support/line_record.h"

namespace korva {
namespace {

// The stored form of a field as bytes.
template <std::size_t N>
std::string stored(const FieldText<N>& text) {
  std::string field(N, '?');
  text.store(field.data());
  return field;
}

TEST(FieldText, KeepsAtMostItsCapacityAndZeroesWhatFollows) {
  const struct {
    const char* name;
    std::string first;   // assigned before
    std::string second;  // then this
    std::string text;    // what the field reads
  } cases[] = {
      {"shorter after longer", "ABCDEFGHIJ", "XY", "XY"},
      {"longer after shorter", "XY", "ABCDEFGH", "ABCDEFGH"},
      {"cut to the capacity", "", "ABCDEFGHIJKL", "ABCDEFGHIJ"},
      {"emptied", "ABC", "", ""},
      {"an inner zero byte stays part of the text", "", std::string("A\0B", 3),
       std::string("A\0B", 3)},
  };
  for (const auto& c : cases) {
    FieldText<10> field;
    field = c.first;
    field = c.second;
    EXPECT_EQ(field, c.text) << c.name;
    EXPECT_EQ(field.size(), c.text.size()) << c.name;
    // The stored form holds the text cut to 9 bytes and zeros behind it,
    // whatever stood in the field before.
    std::string expected = c.text.substr(0, 9);
    expected.resize(10, '\0');
    EXPECT_EQ(stored(field), expected) << c.name;
  }
}

TEST(FieldText, TakesATextFromItsOwnBuffer) {
  FieldText<20> field = "0123456789";
  field = field.view().substr(6);
  EXPECT_EQ(field, "6789");
  field = "0123456789";
  field = field.view().substr(0, 3);
  EXPECT_EQ(field, "012");
  field.append(field.view());
  EXPECT_EQ(field, "012012");
}

TEST(FieldText, AssignsEveryLengthFromAnywhereEvenItsOwnBuffer) {
  // Short texts are copied in words that overlap, long ones by a call: every
  // length on both sides of each word size, from another text and from the
  // field's own buffer at every offset, over a longer text before.
  const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (std::size_t size = 0; size <= 50; ++size) {
    for (std::size_t offset = 0; offset + size <= 50; ++offset) {
      const std::string expected = letters.substr(offset, size);
      FieldText<50> from_other = letters;
      from_other = std::string_view(letters).substr(offset, size);
      FieldText<50> from_own = letters;
      from_own = from_own.view().substr(offset, size);
      for (const FieldText<50>* field : {&from_other, &from_own}) {
        EXPECT_EQ(field->view(), expected) << size << " from " << offset;
        std::string stored_form = expected.substr(0, 49);
        stored_form.resize(50, '\0');
        EXPECT_EQ(stored(*field), stored_form) << size << " from " << offset;
      }
    }
  }
}

TEST(FieldText, ResizesAppendsAndComparesLikeAString) {
  FieldText<8> field = "ABCDEF";
  field.resize(2);
  EXPECT_EQ(field, "AB");
  EXPECT_EQ(stored(field), std::string("AB\0\0\0\0\0\0", 8));
  field.resize(4, 'x');
  EXPECT_EQ(field, "ABxx");
  field += "12345";  // cut at the capacity
  EXPECT_EQ(field, "ABxx1234");
  field.clear();
  EXPECT_TRUE(field.empty());
  EXPECT_EQ(stored(field), std::string(8, '\0'));
  field = "W";
  EXPECT_TRUE(field == "W");
  EXPECT_FALSE(field == "w");
  EXPECT_EQ(field + "x" + std::string("y"), "Wxy");
  const std::string copy = field;
  EXPECT_EQ(copy, "W");
}

TEST(FieldText, ReadsItsStoredFormUpToTheFirstZero) {
  const struct {
    const char* name;
    std::string field;  // the 12 stored bytes
    std::string text;
  } cases[] = {
      {"text and zeros", std::string("ABC\0\0\0\0\0\0\0\0\0", 12), "ABC"},
      {"remnants behind the zero", std::string("AB\0junkjunk!", 12), "AB"},
      {"remnants in a later word", std::string("ABCDEFGHI\0zz", 12), "ABCDEFGHI"},
      {"no zero at all", "ABCDEFGHIJKL", "ABCDEFGHIJKL"},
      {"zero first", std::string("\0BCDEFGHIJKL", 12), ""},
  };
  for (const auto& c : cases) {
    FieldText<12> field = "previous text";
    field.load(c.field.data());
    EXPECT_EQ(field, c.text) << c.name;
    // Nothing of the remnants or of the previous text is kept behind it.
    std::string expected = c.text.substr(0, 11);
    expected.resize(12, '\0');
    EXPECT_EQ(stored(field), expected) << c.name;
  }
}

TEST(ByteScan, FindsTheFirstOfTwoBytesAcrossWords) {
  for (std::size_t length = 0; length <= 40; ++length) {
    for (std::size_t at = 0; at <= length; ++at) {
      // A text of `length` letters with ';' at `at` (none when at == length)
      // and ':' somewhere after it.
      std::string text(length, 'x');
      if (at < length) text[at] = ';';
      if (at + 3 < length) text[at + 3] = ':';
      const std::size_t expected = at < length ? at : std::string_view::npos;
      EXPECT_EQ(byte_scan::find_either(text, ';', ':'), expected) << length << ' ' << at;
      EXPECT_EQ(byte_scan::find(text, ';'), expected) << length << ' ' << at;
      if (at + 3 < length) {
        EXPECT_EQ(byte_scan::find(text, ':', at), at + 3) << length << ' ' << at;
      }
    }
  }
  // Bytes next to the ones looked for in value are not mistaken for them.
  EXPECT_EQ(byte_scan::find("\x3a\x3c\x3d\x3a\x3c\x3d\x3a\x3c;", ';'), 8u);
  EXPECT_EQ(byte_scan::find("\x01\x0b\x09\x0b\x09\x0b\x0b\x0b\x0b\n", '\n'), 9u);
}

}  // namespace
}  // namespace korva
