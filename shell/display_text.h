// Conversion between the system's CP932 (Shift-JIS) bytes and Unicode, for
// showing texts in the window or on a terminal and for taking names typed by
// the user. Files always keep their CP932 bytes.
#pragma once

#include <string>
#include <string_view>

namespace korva {

// Bytes that are not valid CP932 come out as U+FFFD, one per byte.
std::string cp932_to_utf8(std::string_view bytes);

// Characters that CP932 cannot hold come out as "?".
std::string utf8_to_cp932(std::string_view text);

}  // namespace korva
