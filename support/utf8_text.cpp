#include "support/utf8_text.h"

namespace korva {

// The length of the UTF-8 character starting at bytes[at], or 0 when the
// bytes there are not a valid UTF-8 character (overlong forms, surrogates
// and values beyond U+10FFFF included).
std::size_t utf8_length(std::string_view bytes, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > bytes.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

bool valid_utf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = utf8_length(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

namespace {

bool is_half_width_katakana_pair(std::string_view bytes, std::size_t at) {
  const auto second = static_cast<unsigned char>(bytes[at + 1]);
  return second >= 0xA1 && second <= 0xBF;
}

}  // namespace

bool reads_as_utf8_not_cp932(std::string_view bytes) {
  bool beyond_ascii = false;
  bool cp932_plausible = true;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = utf8_length(bytes, at);
    if (length == 0) return false;
    if (length > 1) {
      beyond_ascii = true;
      if (length > 2 || !is_half_width_katakana_pair(bytes, at)) cp932_plausible = false;
    }
    at += length;
  }
  return beyond_ascii && !cp932_plausible;
}

}  // namespace korva
