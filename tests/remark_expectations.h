// The expectations that test sources write into their remarks, next to the
// statement they check: "= CODE" for the code column, "@ ADDR" for the
// address column ("-" for an empty column) and "! TEXT" for the error text,
// which takes the rest of the remark, and "? TEXT" for a warning on that line
// whose text contains TEXT. Each mark takes the rest of the remark up to the
// next mark, so "!" and any number of "?" may stand in one remark, one "?"
// for each warning of the line. "^ N" expects the line's first diagnostic
// (its error, else its first warning) at column N of the source line, as
// korva-asm's caret shows it, and "^ N,L" spanning L columns from there;
// "~ TEXT" expects that diagnostic's explanation, "% TEXT" its hint and
// each "& TEXT" one of its notes (a note whose text contains TEXT). " # "
// ends the expectations: what follows it is a note for the reader.
#pragma once

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace korva::testing {

// The pieces of `text` between separators (one more than there are
// separators), as the case files and listings are taken apart.
inline std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1) {
    parts.push_back(text.substr(start, at - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

struct Expectation {
  std::optional<std::string> code;
  std::optional<std::string> address;
  std::optional<std::string> error;
  std::vector<std::string> warnings;  // one text for each warning the line has
  std::optional<std::size_t> column;  // of the first diagnostic, from 1
  std::optional<std::size_t> length;  // of its span
  std::optional<std::string> explanation;
  std::optional<std::string> hint;
  std::vector<std::string> notes;
};

// The marks that take a text: the error, a warning, the explanation, the
// hint and a note.
inline bool is_text_mark(char c) {
  return c == '!' || c == '?' || c == '~' || c == '%' || c == '&';
}

// Whether a mark that takes a text stands at `at`, as a word of its own.
inline bool is_mark_at(std::string_view text, std::size_t at) {
  return is_text_mark(text[at]) && (at == 0 || text[at - 1] == ' ') &&
         (at + 1 == text.size() || text[at + 1] == ' ');
}

// Takes the texts of the marks from `rest`, which starts with a mark; each
// text runs to the next mark or to " # ".
inline void take_marked_texts(std::string_view rest, Expectation& expectation) {
  rest = rest.substr(0, rest.find(" # "));
  std::size_t at = 0;
  while (at < rest.size()) {
    std::size_t next = at + 1;
    while (next < rest.size() && !is_mark_at(rest, next)) ++next;
    std::string text(rest.substr(at + 1, next - at - 1));
    text.erase(0, text.find_first_not_of(' '));
    while (!text.empty() && text.back() == ' ') text.pop_back();
    switch (rest[at]) {
      case '!':
        expectation.error = text;
        break;
      case '~':
        expectation.explanation = text;
        break;
      case '%':
        expectation.hint = text;
        break;
      case '&':
        expectation.notes.push_back(text);
        break;
      default:
        expectation.warnings.push_back(text);
    }
    at = next;
  }
}

// The expectations in a remark, or none when it carries none.
inline std::optional<Expectation> parse_remark(std::string_view remark) {
  if (remark.empty() || remark.front() != ';') return std::nullopt;
  std::istringstream in{std::string(remark.substr(1))};
  Expectation expectation;
  bool any = false;
  std::string mark;
  while (in >> mark) {
    if (mark.size() == 1 && is_text_mark(mark[0])) {
      std::string tail;
      std::getline(in, tail);
      take_marked_texts(mark + tail, expectation);
      return expectation;
    }
    std::string value;
    if ((mark != "=" && mark != "@" && mark != "^") || !(in >> value)) break;
    if (mark == "^") {
      const std::size_t comma = value.find(',');
      expectation.column = std::stoul(value.substr(0, comma));
      if (comma != std::string::npos) expectation.length = std::stoul(value.substr(comma + 1));
      any = true;
      continue;
    }
    if (value == "-") value.clear();
    (mark == "=" ? expectation.code : expectation.address) = value;
    any = true;
  }
  if (!any) return std::nullopt;
  return expectation;
}

}  // namespace korva::testing
