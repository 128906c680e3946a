// UTF-8 as the assembler meets it in sources that should be Shift-JIS.
#pragma once

#include <cstddef>
#include <string_view>

namespace korva {

// The length of the UTF-8 character starting at bytes[at], or 0 when the
// bytes there are not a valid UTF-8 character (overlong forms, surrogates
// and values beyond U+10FFFF included).
std::size_t utf8_length(std::string_view bytes, std::size_t at);

// Whether `bytes` are valid UTF-8 throughout.
bool valid_utf8(std::string_view bytes);

// Whether `bytes` read as UTF-8 rather than as Shift-JIS: valid UTF-8 with
// at least one character beyond ASCII, and not a plausible Shift-JIS text.
// A Shift-JIS text passes for UTF-8 only when its non-ASCII bytes happen to
// form two-byte UTF-8 characters that are pairs of half-width katakana
// (C2-DF, A1-BF); such a text is taken for Shift-JIS.
bool reads_as_utf8_not_cp932(std::string_view bytes);

}  // namespace korva
