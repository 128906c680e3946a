#include "support/names.h"

namespace korva {

std::optional<NameSpan> name_at(std::string_view text, std::size_t at) {
  std::optional<NameSpan> found;
  for_each_name(text, [&](NameSpan name) {
    if (!found && name.begin <= at && at <= name.end) found = name;
  });
  return found;
}

bool is_name(std::string_view text) {
  if (text.empty()) return false;
  std::size_t names = 0;
  bool whole = false;
  for_each_name(text, [&](NameSpan name) {
    ++names;
    whole = name.begin == 0 && name.end == text.size();
  });
  return names == 1 && whole;
}

bool stands_apart(std::string_view text, std::size_t begin, std::size_t end) {
  bool before_in_name = false;
  for (std::size_t at = 0; at < begin; at += cp932_char_size(text, at)) {
    before_in_name = is_name_char_at(text, at);
    if (at + cp932_char_size(text, at) > begin) return false;  // begin inside a character
  }
  if (before_in_name && begin < end && is_name_char_at(text, begin)) return false;
  if (end >= text.size() || begin == end) return true;
  // The last character of the span decides whether the one after joins it.
  std::size_t last = begin;
  for (std::size_t at = begin; at < end; at += cp932_char_size(text, at)) {
    if (at + cp932_char_size(text, at) > end) return false;  // end inside a character
    last = at;
  }
  return !(is_name_char_at(text, last) && is_name_char_at(text, end));
}

std::size_t find_name(std::string_view text, std::string_view name, std::size_t from) {
  std::size_t found = std::string_view::npos;
  for_each_name(text, [&](NameSpan span) {
    if (found == std::string_view::npos && span.begin >= from &&
        text.substr(span.begin, span.end - span.begin) == name) {
      found = span.begin;
    }
  });
  return found;
}

}  // namespace korva
