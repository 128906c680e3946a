#include "source/source_reader.h"

#include <algorithm>

namespace korva {

namespace {

// Whether collapse_blanks would leave the text as it is: no blank at either
// end and no two blanks in a row.
bool collapsed_already(std::string_view text) {
  return text.empty() ||
         (text.front() != ' ' && text.back() != ' ' && text.find("  ") == std::string_view::npos);
}

// Appends `line` to `destination` with tabs turned into blanks and blanks
// collapsed, in one pass: a run of blanks becomes one blank only when text
// stands on both sides of it.
void append_collapsed(std::string& destination, std::string_view line) {
  bool seen_non_blank = false;
  bool blank_pending = false;
  for (char c : line) {
    if (c == ' ' || c == '\t') {
      blank_pending = seen_non_blank;
      continue;
    }
    if (blank_pending) destination += ' ';
    blank_pending = false;
    destination += c;
    seen_non_blank = true;
  }
}

}  // namespace

void collapse_blanks(std::string& text) {
  if (collapsed_already(text)) return;
  std::size_t out = 0;
  bool seen_non_blank = false;
  for (std::size_t in = 0; in < text.size(); ++in) {
    const char c = text[in];
    if (c != ' ') {
      text[out++] = c;
      seen_non_blank = true;
    } else if (seen_non_blank && in + 1 < text.size() && text[in + 1] != ' ') {
      text[out++] = c;
    }
  }
  text.resize(out);
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
