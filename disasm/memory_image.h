// The words a program image holds, read from an Intel HEX file or a .bin
// file, and the memory map that says which word addresses a chip has.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "support/expected.h"

namespace korva {

// Program words (and configuration, ID and EEPROM words) by word address.
using WordImage = std::map<std::uint32_t, std::uint16_t>;

// What an image file holds: whole words, and single bytes whose word has no
// high byte. korva-asm writes such a byte for a DE at the end of a run of
// bytes (DE adds one byte and leaves the address where it was).
struct ImageContents {
  WordImage words;
  std::map<std::uint32_t, std::uint8_t> lone_bytes;  // by word address

  bool operator==(const ImageContents&) const = default;
};

// A range of word addresses, `end` not included.
struct WordRange {
  std::uint32_t begin = 0;
  std::uint32_t end = 0;
  bool contains(std::uint32_t address) const { return address >= begin && address < end; }
};

// Where a chip's words lie: program memory from 0, ID locations,
// configuration words and data EEPROM (one word per byte).
struct MemoryMap {
  std::string chip;  // empty: the largest mid-range chip
  WordRange program{0, 0x2000};
  WordRange id{0x2000, 0x2004};
  WordRange config{0x2007, 0x2009};
  WordRange eeprom{0x2100, 0x2200};

  bool contains(std::uint32_t address) const {
    return program.contains(address) || id.contains(address) || config.contains(address) ||
           eeprom.contains(address);
  }
};

// The kind of file an image is read from.
enum class ImageFormat { intel_hex, binary };

// The format a file name asks for: .bin for the binary image, HEX otherwise.
ImageFormat image_format_of(std::string_view file_name);

// Reads Intel HEX (INHX8M, INHX32: data, end-of-file, extended segment and
// extended linear address records). Every record is checked: its form, its
// length and checksum, that no byte is given twice and that every byte lies
// in `memory`; the high byte of a word needs its low byte (a low byte alone
// is a lone byte). A failure's message names the line.
Expected<ImageContents> read_intel_hex(std::string_view text, const MemoryMap& memory);

// Reads a .bin image: the words from address 0, low byte first, as korva-asm
// writes them (an odd last byte is a lone byte). A failure for words beyond
// `memory`.
Expected<ImageContents> read_binary_image(std::string_view bytes, const MemoryMap& memory);

// Reads either format.
Expected<ImageContents> read_image(std::string_view bytes, ImageFormat format,
                                   const MemoryMap& memory);

}  // namespace korva
