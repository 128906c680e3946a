#include "source/source_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "support/byte_scan.h"

namespace korva {

std::size_t SourceReader::read_line(std::string& destination) {
  if (position_ >= text_.size()) {
    destination = "end";
    return position_;
  }
  const std::size_t line_start = position_;
  const std::size_t line_feed = byte_scan::find(text_, '\n', line_start);
  std::size_t line_end = text_.size();
  if (line_feed == std::string_view::npos) {
    position_ = text_.size();
  } else {
    line_end = line_feed;
    if (line_end > line_start && text_[line_end - 1] == '\r') --line_end;
    position_ = line_feed + 1;
  }
  destination.clear();
  append_collapsed(destination, text_.substr(line_start, line_end - line_start));
  return position_;
}

}  // namespace korva
