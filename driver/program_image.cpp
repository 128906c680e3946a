#include "driver/program_image.h"

#include <algorithm>
#include <string_view>

#include "codegen/hex_text.h"
#include "driver/listing.h"

namespace korva {

void ProgramImage::add(const LineRecord& record, std::size_t fill, std::uint32_t address) {
  const bool org = has_kind(record, RecordKind::org);
  if (org) runs_.back().end = bytes_.size();
  // The one place where a record's code text becomes image bytes.
  write_image_bytes(bytes_, record.code, fill);
  if (org) runs_.push_back(Run{bytes_.size(), std::string::npos, 2 * std::uint64_t{address}});
}

std::vector<PlacedBytes> ProgramImage::placed() const {
  std::vector<PlacedBytes> placed;
  for (const Run& run : runs_) {
    const std::size_t end = std::min(run.end, bytes_.size());
    if (end > run.begin) {
      placed.push_back(
          PlacedBytes{run.address, std::string_view(bytes_).substr(run.begin, end - run.begin)});
    }
  }
  return placed;
}

}  // namespace korva
