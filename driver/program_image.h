// The program image as pass 3 builds it: the bytes of the .bin file, and
// where each run of them lies in the chip's program memory, for the HEX file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "outputs/intel_hex.h"
#include "support/line_record.h"

namespace korva {

class ProgramImage {
 public:
  // Adds one record's image bytes (write_image_bytes): `fill` zero bytes for
  // an ORG gap, otherwise the bytes of its code. An ORG record also starts
  // a new run at twice its address; its fill belongs to no run, so the HEX
  // file leaves the gap empty where the .bin file has zeros.
  // `address` is the record's address as a number (the location counter),
  // which an ORG's run starts at.
  void add(const LineRecord& record, std::size_t fill, std::uint32_t address);

  // The .bin file.
  const std::string& bytes() const { return bytes_; }
  // The runs of bytes at their byte addresses, in the order written. Bytes
  // follow one another as in the .bin file; only an ORG moves the place.
  std::vector<PlacedBytes> placed() const;

 private:
  struct Run {
    std::size_t begin = 0;                // offset in bytes_
    std::size_t end = std::string::npos;  // npos: up to the end of bytes_
    std::uint64_t address = 0;            // byte address of its first byte
  };
  std::string bytes_;
  std::vector<Run> runs_{Run{}};
};

}  // namespace korva
