#include "source/source_reader.h"

#include <algorithm>

namespace korva {

namespace {

bool is_blank_or_tab(char c) {
  return c == ' ' || c == '\t';
}

// Appends `line` to `destination` with tabs turned into blanks and blanks
// collapsed, in one pass: a run of blanks becomes one blank only when text
// stands on both sides of it. Written through a pointer into room made
// ahead, word by word, since this runs for every character of the source,
// twice.
void append_collapsed(std::string& destination, std::string_view line) {
  const std::size_t start = destination.size();
  destination.resize(start + line.size());
  char* const begin = destination.data() + start;
  char* out = begin;
  const char* in = line.data();
  const char* const end = in + line.size();
  while (in != end && is_blank_or_tab(*in)) ++in;
  while (in != end) {
    while (in != end && !is_blank_or_tab(*in)) *out++ = *in++;
    while (in != end && is_blank_or_tab(*in)) ++in;
    if (in != end) *out++ = ' ';
  }
  destination.resize(start + static_cast<std::size_t>(out - begin));
}

}  // namespace

std::size_t collapse_blanks_in_place(char* data, std::size_t first, std::size_t end) {
  const char* in = data + first;
  const char* const stop = data + end;
  char* out = data;
  while (in != stop && *in == ' ') ++in;
  while (in != stop) {
    while (in != stop && *in != ' ') *out++ = *in++;
    while (in != stop && *in == ' ') ++in;
    if (in != stop) *out++ = ' ';
  }
  return static_cast<std::size_t>(out - data);
}

void tabs_to_blanks(std::string& text) {
  std::replace(text.begin(), text.end(), '\t', ' ');
}

std::size_t SourceReader::read_line(std::string& destination) {
  if (position_ >= text_.size()) {
    destination = "end";
    return position_;
  }
  const std::size_t line_start = position_;
  const std::size_t line_feed = text_.find('\n', line_start);
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
