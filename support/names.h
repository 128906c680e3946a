// Names in CP932 text, as the assembler reads them: runs of letters, digits,
// "_" and characters beyond ASCII. A two-byte character counts whole, so a
// second byte that looks like ASCII punctuation ("ー" is 81 5B, "表" 95 5C,
// "マ" 83 7D) stays inside its name. CP932 cannot be read backwards, so
// every question here walks the text from its start.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "support/text.h"

namespace korva {

// The size of the character at `at`: two bytes from a lead byte on, where
// another byte follows; else one.
constexpr std::size_t cp932_char_size(std::string_view text, std::size_t at) {
  return is_cp932_lead_byte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

// Whether the character that starts at `at` may stand in a name.
constexpr bool is_name_char_at(std::string_view text, std::size_t at) {
  const char c = text[at];
  return static_cast<unsigned char>(c) >= 0x80 || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// A name's bytes, begin to end.
struct NameSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
  friend bool operator==(const NameSpan&, const NameSpan&) = default;
};

// Calls `visit(NameSpan)` for every name of the text, in order.
template <typename Visit>
void for_each_name(std::string_view text, Visit visit) {
  constexpr std::size_t kNone = std::string_view::npos;
  std::size_t begin = kNone;  // the start of the name being read
  for (std::size_t at = 0; at < text.size(); at += cp932_char_size(text, at)) {
    const bool in_name = is_name_char_at(text, at);
    if (in_name && begin == kNone) begin = at;
    if (!in_name && begin != kNone) {
      visit(NameSpan{begin, at});
      begin = kNone;
    }
  }
  if (begin != kNone) visit(NameSpan{begin, text.size()});
}

// Where the name that starts at `begin` (a character's start) ends: `begin`
// itself where no name starts there.
constexpr std::size_t name_end(std::string_view text, std::size_t begin) {
  std::size_t at = begin;
  while (at < text.size() && is_name_char_at(text, at)) at += cp932_char_size(text, at);
  return at;
}

// The name that holds the byte at `at`, else the one that ends just before
// it (a cursor behind a name); none.
std::optional<NameSpan> name_at(std::string_view text, std::size_t at);

// Whether the text is one name, whole.
bool is_name(std::string_view text);

// Whether bytes begin to end of the text stand apart from any name around
// them: `begin` starts a character, and no name character joins either end.
bool stands_apart(std::string_view text, std::size_t begin, std::size_t end);

// The first place from `from` on where `name` stands in the text as a name
// of its own; npos where it does not.
std::size_t find_name(std::string_view text, std::string_view name, std::size_t from = 0);

}  // namespace korva
