// Intel HEX output read back record by record: checksums, addresses, the
// extended linear address records and the end record must give back exactly
// the bytes of the image.
#include "driver/intel_hex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace korva {
namespace {

std::uint8_t byte_at(const std::string& line, std::size_t index) {
  return static_cast<std::uint8_t>(std::stoi(line.substr(1 + 2 * index, 2), nullptr, 16));
}

// Decodes INHX32 text into the image it describes; fails the test on any
// malformed record.
std::string decode(const std::string& text) {
  std::string image;
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
        const std::size_t offset = segment + address;
        if (image.size() < offset + count) image.resize(offset + count, '\xEE');
        for (std::size_t i = 0; i < count; ++i)
          image[offset + i] = static_cast<char>(byte_at(line, 4 + i));
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

}  // namespace
}  // namespace korva
