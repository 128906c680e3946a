#include "source/source_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "source/byte_scan.h"

namespace korva {

namespace {

// The high bit of every byte of `word` that is a blank or a tab.
std::uint64_t blank_bytes(std::uint64_t word) {
  return byte_scan::matches(word, byte_scan::repeated(' ')) |
         byte_scan::matches(word, byte_scan::repeated('\t'));
}

// Appends `line` to `destination` with tabs turned into blanks and blanks
// collapsed, in one pass: a run of blanks becomes one blank only when text
// stands on both sides of it. Written through a pointer into room made
// ahead, eight bytes at a time where eight bytes hold no blank or only
// blanks (indentation, most words), since this runs for every character of
// the source, twice.
void append_collapsed(std::string& destination, std::string_view line) {
  const std::size_t start = destination.size();
  // Room for the line and for one whole word written past its end.
  destination.resize(start + line.size() + 8);
  char* const begin = destination.data() + start;
  char* out = begin;
  const char* in = line.data();
  const char* const end = in + line.size();
  bool blank_pending = false;
  // One character, as the word-wise steps below leave it to be done.
  const auto put = [&](char c) {
    if (c == ' ' || c == '\t') {
      blank_pending = out != begin;
      return;
    }
    if (blank_pending) *out++ = ' ';
    blank_pending = false;
    *out++ = c;
  };
  if constexpr (byte_scan::kLittleEndian) {
    for (; end - in >= 8; in += 8) {
      const std::uint64_t word = byte_scan::load(in);
      const std::uint64_t blanks = blank_bytes(word);
      if (blanks == 0) {
        if (blank_pending) *out++ = ' ';
        blank_pending = false;
        std::memcpy(out, &word, 8);
        out += 8;
      } else if (blanks == 0x8080808080808080) {
        // Only blanks (the marks are exact when every byte matches).
        blank_pending = out != begin;
      } else {
        for (int i = 0; i < 8; ++i) put(in[i]);
      }
    }
  }
  while (in != end) put(*in++);
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
