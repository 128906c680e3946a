#include "support/text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "support/byte_scan.h"

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
// for every character of the source, twice. Elsewhere every byte is
// written and the end moves on past it unless it is a blank that follows a
// blank (or the start): no branch on the bytes, whose mix of words and
// blanks the processor cannot foresee. A blank kept at the end is taken
// back.
template <bool kTabsAreBlanks>
char* collapse_to(char* out, const char* in, const char* const end) {
  char* const begin = out;
  bool after_blank = true;  // the start counts as one, so leading blanks go
  const auto put = [&](char c) {
    const bool blank = c == ' ' || (kTabsAreBlanks && c == '\t');
    *out = blank ? ' ' : c;
    out += static_cast<int>(!(blank && after_blank));
    after_blank = blank;
  };
  if constexpr (byte_scan::kLittleEndian) {
    for (; end - in >= 8; in += 8) {
      const std::uint64_t word = byte_scan::load(in);
      const std::uint64_t blanks = blank_bytes<kTabsAreBlanks>(word);
      if (blanks == 0) {
        std::memcpy(out, &word, 8);
        out += 8;
        after_blank = false;
      } else if (blanks == 0x8080808080808080) {
        // Only blanks (the marks are exact when every byte matches).
        if (!after_blank) *out++ = ' ';
        after_blank = true;
      } else {
        for (int i = 0; i < 8; ++i) put(in[i]);
      }
    }
  }
  while (in != end) put(*in++);
  if (after_blank && out != begin) --out;
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

std::string upper_cased(std::string_view text) {
  std::string copy(text);
  upper_case(copy);
  return copy;
}

std::size_t find_nocase(std::string_view text, std::string_view pattern) {
  if (pattern.size() > text.size()) return std::string_view::npos;
  if (pattern.empty()) return 0;
  // Candidates are the places of the first character in either case.
  const char first = pattern.front();
  const char first_lower =
      (first >= 'A' && first <= 'Z') ? static_cast<char>(first - 'A' + 'a') : first;
  const std::size_t last = text.size() - pattern.size();
  // Candidates are found eight bytes at a time: this looks for EQU, SUB and
  // MACRO in every line of the source.
  for (std::size_t start = byte_scan::find_either(text, first, first_lower);
       start != std::string_view::npos && start <= last;
       start = byte_scan::find_either(text, first, first_lower, start + 1)) {
    std::size_t i = 1;
    while (i < pattern.size() && upper_char(text[start + i]) == pattern[i]) ++i;
    if (i == pattern.size()) return start;
  }
  return std::string_view::npos;
}

bool starts_with_nocase(std::string_view text, std::string_view upper) {
  if (text.size() < upper.size()) return false;
  for (std::size_t i = 0; i < upper.size(); ++i) {
    if (upper_char(text[i]) != upper[i]) return false;
  }
  return true;
}

bool equals_nocase(std::string_view text, std::string_view upper) {
  return text.size() == upper.size() && starts_with_nocase(text, upper);
}

bool same_nocase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return upper_char(x) == upper_char(y);
         });
}

std::string hex4(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
  return text;
}

}  // namespace korva
