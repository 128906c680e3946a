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

void ProgramImage::add_code(std::string_view code) {
  write_image_bytes(bytes_, code, 0);
}

void ProgramImage::append(const ProgramImage& later) {
  const std::size_t shift = bytes_.size();
  bytes_ += later.bytes_;
  // The later image's first run goes on with this one's last; the runs its
  // ORGs started follow.
  const auto shifted = [shift](std::size_t at) {
    return at == std::string::npos ? at : at + shift;
  };
  runs_.back().end = shifted(later.runs_.front().end);
  for (std::size_t i = 1; i < later.runs_.size(); ++i) {
    Run run = later.runs_[i];
    run.begin += shift;
    run.end = shifted(run.end);
    runs_.push_back(run);
  }
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
