// The program in Intel HEX (INHX32), the form PIC programmers and simulators
// read: byte address = 2 × word address, at most 16 data bytes a record.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace korva {

// A run of program bytes and the byte address of its first byte.
struct PlacedBytes {
  std::uint64_t address = 0;
  std::string_view bytes;
};

// The bytes at their addresses as Intel HEX text with CR LF line ends,
// ending with the end-of-file record. Only addresses that a run covers get
// data (where runs overlap, the later one wins); no record crosses a
// 16-byte boundary. An extended linear address record precedes the data of
// every 64 KiB segment but the first.
std::string intel_hex_text(std::span<const PlacedBytes> runs);

// A whole image from address 0, every byte of it placed.
std::string intel_hex_text(std::string_view image);

}  // namespace korva
