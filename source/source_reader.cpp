#include "source/source_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "source/byte_scan.h"

namespace korva {

namespace {

// The high bit of every byte of `word` that is a blank, or with
// `kTabsAreBlanks` a blank or a tab.
template <bool kTabsAreBlanks>
std::uint64_t blank_bytes(std::uint64_t word) {
  const std::uint64_t blanks = byte_scan::matches(word, byte_scan::repeated(' '));
  if constexpr (!kTabsAreBlanks) return blanks;
  return blanks | byte_scan::matches(word, byte_scan::repeated('\t'));
}

// Copies in to end to `out` with blanks collapsed: a run of blanks becomes
// one blank only when text stands on both sides of it. Returns the end of
// what it wrote, which is never more than it read, so `out` may be the
// start of the text itself. Goes eight bytes at a time where eight bytes
// hold no blank or only blanks (indentation, most words), since this runs
// for every character of the source, twice.
template <bool kTabsAreBlanks>
char* collapse_to(char* out, const char* in, const char* const end) {
  char* const begin = out;
  bool blank_pending = false;
  // One character, as the word-wise steps below leave it to be done.
  const auto put = [&](char c) {
    if (c == ' ' || (kTabsAreBlanks && c == '\t')) {
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
      const std::uint64_t blanks = blank_bytes<kTabsAreBlanks>(word);
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
  return out;
}

}  // namespace

void append_collapsed(std::string& destination, std::string_view line) {
  const std::size_t start = destination.size();
  destination.resize(start + line.size());
  char* const begin = destination.data() + start;
  char* const end = collapse_to<true>(begin, line.data(), line.data() + line.size());
  destination.resize(start + static_cast<std::size_t>(end - begin));
}

std::size_t collapse_blanks_in_place(char* data, std::size_t first, std::size_t end) {
  return static_cast<std::size_t>(collapse_to<false>(data, data + first, data + end) - data);
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
