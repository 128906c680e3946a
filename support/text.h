// Text operations on CP932 bytes that every floor uses: letter case of a to z
// only (bytes of double-byte characters are never changed), and the blank
// handling of source lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korva {

// Whether a byte begins a two-byte CP932 character (81-9F, E0-FC); the
// byte after it may be any of 40-FC, the backslash 5C included.
constexpr bool is_cp932_lead_byte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

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
// The same, with either text in any letter case (names of chips, fields).
bool same_nocase(std::string_view a, std::string_view b);

// Four or more upper-case hexadecimal digits, zero-padded: "00FF", "12345".
std::string hex4(std::uint32_t value);

// Writes the characters first to end of `text`, with the blanks at both ends
// removed and every inner run of blanks reduced to one, to the front of
// `text`, and returns how many there are; the rest is left for the caller to
// cut. Only code 32 counts as a blank.
std::size_t collapse_blanks_in_place(char* text, std::size_t first, std::size_t end);

// Removes blanks at both ends and reduces every inner run of blanks to one
// (a std::string or a record field).
template <typename Text>
void collapse_blanks(Text& text) {
  text.resize(collapse_blanks_in_place(text.data(), 0, text.size()));
}

// Appends `text` to `destination` with tabs turned into blanks and blanks
// collapsed (as collapse_blanks does to the text alone), in one pass.
void append_collapsed(std::string& destination, std::string_view text);

// Turns every tab into a blank.
void tabs_to_blanks(std::string& text);

}  // namespace korva
