// Intel HEX output read back record by record: checksums, addresses, the
// extended linear address records and the end record must give back exactly
// the bytes of the image.
#include "outputs/intel_hex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "driver/program_image.h"

namespace korva {
namespace {

std::uint8_t byte_at(const std::string& line, std::size_t index) {
  return static_cast<std::uint8_t>(std::stoi(line.substr(1 + 2 * index, 2), nullptr, 16));
}

// Decodes INHX32 text into the bytes at their addresses; fails the test on
// any malformed record or a record that crosses a 16-byte boundary.
std::map<std::uint32_t, std::uint8_t> decode_placed(const std::string& text) {
  std::map<std::uint32_t, std::uint8_t> placed;
  std::uint32_t segment = 0;
  bool ended = false;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every record ends in CR LF";
    if (end == std::string::npos) break;
    const std::string line = text.substr(start, end - start);
    start = end + 2;
    EXPECT_FALSE(ended) << "nothing after the end record";
    EXPECT_EQ(line[0], ':');
    const std::size_t count = byte_at(line, 0);
    EXPECT_EQ(line.size(), 11 + 2 * count);
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < count + 5; ++i)
      sum = static_cast<std::uint8_t>(sum + byte_at(line, i));
    EXPECT_EQ(sum, 0) << line;
    const std::uint32_t address = (byte_at(line, 1) << 8) | byte_at(line, 2);
    switch (byte_at(line, 3)) {
      case 0x00: {
        const std::uint32_t offset = segment + address;
        EXPECT_GT(count, 0u) << line;
        EXPECT_EQ(offset / 16, (offset + count - 1) / 16) << "record crosses 16 bytes: " << line;
        for (std::size_t i = 0; i < count; ++i) {
          EXPECT_TRUE(placed.emplace(offset + i, byte_at(line, 4 + i)).second)
              << "address given twice in " << line;
        }
        break;
      }
      case 0x04:
        segment = ((byte_at(line, 4) << 8) | byte_at(line, 5)) << 16;
        break;
      case 0x01:
        ended = true;
        break;
      default:
        ADD_FAILURE() << "unexpected record type in " << line;
    }
  }
  EXPECT_TRUE(ended);
  return placed;
}

// A dense image decoded: every byte from address 0 must be there.
std::string decode(const std::string& text) {
  std::string image;
  for (const auto& [address, byte] : decode_placed(text)) {
    EXPECT_EQ(address, image.size()) << "a gap in a dense image";
    image += static_cast<char>(byte);
  }
  return image;
}

TEST(IntelHex, RoundTripsImagesOfEverySize) {
  for (const std::size_t size :
       {std::size_t{0}, std::size_t{1}, std::size_t{15}, std::size_t{16}, std::size_t{33},
        std::size_t{0x10000 + 40}, std::size_t{0x30005}}) {
    std::string image(size, '\0');
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    EXPECT_EQ(decode(intel_hex_text(image)), image) << size << " bytes";
  }
}

TEST(IntelHex, KnownWordsGiveKnownRecords) {
  // GOTO 3 (2803) and RETURN (0008), low byte first as in the image.
  EXPECT_EQ(intel_hex_text(std::string("\x03\x28\x08\x00", 4)),
            ":0400000003280800C9\r\n:00000001FF\r\n");
}

TEST(IntelHex, PlacedRunsKeepTheirAddressesAndGaps) {
  const std::string low(20, '\x11'), config("\x39\x3F", 2), high(40, '\x22');
  const struct {
    const char* name;
    std::vector<PlacedBytes> runs;
    std::map<std::uint32_t, std::uint8_t> expected;
    std::size_t extended_records;
  } cases[] = {
      {"nothing placed", {}, {}, 0},
      {"program and configuration word",
       {{0, low}, {0x400E, config}},
       [&] {
         std::map<std::uint32_t, std::uint8_t> m;
         for (std::uint32_t a = 0; a < 20; ++a) m[a] = 0x11;
         m[0x400E] = 0x39;
         m[0x400F] = 0x3F;
         return m;
       }(),
       0},
      {"first run above 64 KiB, unaligned",
       {{0x1FFF5, high}},
       [&] {
         std::map<std::uint32_t, std::uint8_t> m;
         for (std::uint32_t a = 0; a < 40; ++a) m[0x1FFF5 + a] = 0x22;
         return m;
       }(),
       2},
      {"a later run overwrites an earlier one",
       {{0, low}, {4, config}},
       [&] {
         std::map<std::uint32_t, std::uint8_t> m;
         for (std::uint32_t a = 0; a < 20; ++a) m[a] = 0x11;
         m[4] = 0x39;
         m[5] = 0x3F;
         return m;
       }(),
       0},
  };
  for (const auto& c : cases) {
    const std::string text = intel_hex_text(c.runs);
    EXPECT_EQ(decode_placed(text), c.expected) << c.name;
    std::size_t extended = 0;
    for (std::size_t at = text.find(":02000004"); at != std::string::npos;
         at = text.find(":02000004", at + 1)) {
      ++extended;
    }
    EXPECT_EQ(extended, c.extended_records) << c.name;
  }
}

LineRecord code_record(const char* kind, const char* code, const char* address) {
  LineRecord record;
  record.kind = kind;
  record.code = code;
  record.address = address;
  return record;
}

TEST(ProgramImage, OrgGapIsZerosInTheImageAndEmptyInTheHex) {
  ProgramImage image;
  image.add(code_record("normal", "3005", "0000"), 0, 0x0000);
  image.add(code_record("org", "", "2007"), std::size_t{2} * (0x2007 - 1),
            0x2007);  // fill as pass 3 computes it
  image.add(code_record("data", "3F39", "2007"), 0, 0x2007);
  // The .bin file is exactly as before: zero fill up to the word at 2007.
  std::string bin("\x05\x30", 2);
  bin.append(std::size_t{2} * (0x2007 - 1), '\0');
  bin += std::string("\x39\x3F", 2);
  EXPECT_EQ(image.bytes(), bin);
  EXPECT_EQ(intel_hex_text(image.placed()),
            ":020000000530C9\r\n:02400E00393F38\r\n:00000001FF\r\n");
}

TEST(ProgramImage, WithoutAGapTheHexIsThatOfTheWholeImage) {
  ProgramImage image;
  // An ORG to the current place, a data byte and odd-length raw data: the
  // bytes follow one another as in the .bin file.
  image.add(code_record("org", "", "0000"), 0, 0x0000);
  for (int i = 0; i < 30; ++i) image.add(code_record("normal", "0A86", "0000"), 0, 0x0000);
  image.add(code_record("data", "2C", "001E"), 0, 0x001E);
  image.add(code_record("data", "123456", "001E"), 0, 0x001E);
  image.add(code_record("normal", "2803", "001F"), 0, 0x001F);
  EXPECT_EQ(intel_hex_text(image.placed()), intel_hex_text(image.bytes()));
}

TEST(ProgramImage, OrgBackwardsPlacesTheFollowingWordsAgain) {
  ProgramImage image;
  image.add(code_record("normal", "1111", "0000"), 0, 0x0000);
  image.add(code_record("normal", "2222", "0001"), 0, 0x0001);
  image.add(code_record("org", "", "0000"), 0, 0x0000);  // "ORG Error": no fill
  image.add(code_record("normal", "3333", "0000"), 0, 0x0000);
  EXPECT_EQ(image.bytes(), std::string("\x11\x11\x22\x22\x33\x33"));
  EXPECT_EQ(decode_placed(intel_hex_text(image.placed())),
            (std::map<std::uint32_t, std::uint8_t>{{0, 0x33}, {1, 0x33}, {2, 0x22}, {3, 0x22}}));
}

TEST(ProgramImage, OrgRunStartsAtTheAddressGivenAsANumber) {
  // The address the counter holds decides, not the text of the record.
  ProgramImage image;
  image.add(code_record("normal", "1111", "0000"), 0, 0x0000);
  image.add(code_record("org", "", "$XXXX"), 2, 0x0002);
  image.add(code_record("normal", "2222", "0002"), 0, 0x0002);
  EXPECT_EQ(decode_placed(intel_hex_text(image.placed())),
            (std::map<std::uint32_t, std::uint8_t>{{0, 0x11}, {1, 0x11}, {4, 0x22}, {5, 0x22}}));
}

}  // namespace
}  // namespace korva
