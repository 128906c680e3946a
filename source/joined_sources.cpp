#include "source/joined_sources.h"

#include <algorithm>

namespace korva {

Expected<void, JoinFailure> check_no_zero_byte(std::string_view bytes,
                                               std::string_view shown_name) {
  const std::size_t zero = bytes.find('\0');
  if (zero == std::string_view::npos) return {};
  const auto line =
      1 + std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(zero), '\n');
  return fail(JoinFailure::unreadable, std::string(shown_name) + ": line " + std::to_string(line) +
                                           ": a zero byte (NUL) in the text");
}

}  // namespace korva
