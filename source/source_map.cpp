#include "source/source_map.h"

#include <algorithm>
#include <cstdint>

namespace korva {

SourceMap::SourceMap(std::string_view text, const std::vector<std::string>& entries,
                     const std::vector<std::size_t>& file_starts)
    : entries_(entries), file_starts_(file_starts) {
  // Positions are kept in 32 bits, as the records keep them: in a text
  // beyond 4 GiB the lines after that point only lose their exact number.
  text = text.substr(0, std::min<std::size_t>(text.size(), UINT32_MAX));
  // Counted first, so that the positions take no more room than they need.
  line_feeds_.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
  for (std::size_t i = text.find('\n'); i != std::string_view::npos; i = text.find('\n', i + 1)) {
    line_feeds_.push_back(static_cast<std::uint32_t>(i));
  }
}

SourceMap::Line SourceMap::line_of(std::size_t offset) const {
  if (file_starts_.empty()) return {};
  // A file with no bytes starts where the next one does; the line belongs to
  // the last file that starts at or before it.
  const auto after = std::upper_bound(file_starts_.begin(), file_starts_.end(), offset);
  const std::size_t index = after == file_starts_.begin()
                                ? 0
                                : static_cast<std::size_t>(after - file_starts_.begin()) - 1;
  const auto lines_before = [this](std::size_t position) {
    const auto clamped = static_cast<std::uint32_t>(std::min<std::size_t>(position, UINT32_MAX));
    return std::lower_bound(line_feeds_.begin(), line_feeds_.end(), clamped) - line_feeds_.begin();
  };
  return {index,
          static_cast<std::size_t>(lines_before(offset) - lines_before(file_starts_[index])) + 1};
}

SourceLocation SourceMap::locate(std::size_t offset) const {
  if (file_starts_.empty()) return {};
  const Line found = line_of(offset);
  return {found.file_index < entries_.size() ? entries_[found.file_index] : std::string(),
          found.line, found.file_index};
}

}  // namespace korva
