// The expectations that test sources write into their remarks, next to the
// statement they check: "= CODE" for the code column, "@ ADDR" for the
// address column ("-" for an empty column) and "! TEXT" for the error text,
// which takes the rest of the remark.
#pragma once

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
};

// The expectations in a remark, or none when it carries none.
inline std::optional<Expectation> parse_remark(std::string_view remark) {
  if (remark.empty() || remark.front() != ';') return std::nullopt;
  std::istringstream in{std::string(remark.substr(1))};
  Expectation expectation;
  bool any = false;
  std::string mark;
  while (in >> mark) {
    if (mark == "!") {
      std::string rest;
      std::getline(in, rest);
      rest.erase(0, rest.find_first_not_of(' '));
      expectation.error = rest;
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
