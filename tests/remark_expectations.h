// The expectations that test sources write into their remarks, next to the
// statement they check: "= CODE" for the code column, "@ ADDR" for the
// address column ("-" for an empty column) and "! TEXT" for the error text,
// which takes the rest of the remark, and "? TEXT" for a warning on that line
// whose text contains TEXT. "!" and "?" each take the rest of the remark up to
// the other one, so both may stand in one remark. " # " ends the expectations:
// what follows it is a note for the reader.
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
  std::optional<std::string> warning;
};

// The text after a "!" or "?" mark, up to the other mark (blank on both
// sides) or the end of the remark.
inline std::string marked_text(const std::string& rest, std::string_view other_mark) {
  std::string text = rest.substr(0, rest.find(" # "));
  text.resize(std::min(text.size(), text.find(" " + std::string(other_mark) + " ")));
  text.erase(0, text.find_first_not_of(' '));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// The expectations in a remark, or none when it carries none.
inline std::optional<Expectation> parse_remark(std::string_view remark) {
  if (remark.empty() || remark.front() != ';') return std::nullopt;
  std::istringstream in{std::string(remark.substr(1))};
  Expectation expectation;
  bool any = false;
  std::string mark;
  while (in >> mark) {
    if (mark == "!" || mark == "?") {
      std::string tail;
      std::getline(in, tail);
      const std::string rest = mark + tail;  // from the first mark on
      const auto take = [&rest](char own, char other) -> std::optional<std::string> {
        std::size_t at = rest.front() == own ? 0 : rest.find(std::string(" ") + own + " ");
        if (at == std::string::npos) return std::nullopt;
        if (rest[at] != own) ++at;
        return marked_text(rest.substr(at + 1), std::string(1, other));
      };
      expectation.error = take('!', '?');
      expectation.warning = take('?', '!');
      return expectation;
    }
    std::string value;
    if ((mark != "=" && mark != "@") || !(in >> value)) break;
    if (value == "-") value.clear();
    (mark == "=" ? expectation.code : expectation.address) = value;
    any = true;
  }
  if (!any) return std::nullopt;
  return expectation;
}

}  // namespace korva::testing
