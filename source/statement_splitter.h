// Takes a line apart into remark, label and statement text, and the
// letter-case-blind text operations that the later stages use.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "driver/line_record.h"

namespace korva {

inline char upper_char(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Turns the letters a to z into capitals, byte by byte; other bytes stay
// (a std::string or a record field).
template <typename Text>
void upper_case(Text& text) {
  for (char& c : text) c = upper_char(c);
}
std::string upper_cased(std::string_view text);

// Position of the first occurrence of `pattern` (written in capitals) in
// `text` read in capitals, or npos.
std::size_t find_nocase(std::string_view text, std::string_view pattern);

// Whole-text comparison without regard to the letter case of a to z;
// `upper` is written in capitals.
bool equals_nocase(std::string_view text, std::string_view upper);
bool starts_with_nocase(std::string_view text, std::string_view upper);

// Which texts were longer than their record fields and so were cut.
struct SplitCuts {
  bool label = false;
  bool statement = false;
  bool remark = false;
};

// Fills the record's remark, label and statement text from the line, and
// leaves the line holding the collapsed statement text, uncut.
SplitCuts split_statement(std::string& line, LineRecord& record);

}  // namespace korva
