#include "driver/text_encoding.h"

#ifndef _WIN32
#include <iconv.h>
#endif

#include <cerrno>

namespace korva {
namespace {

#ifndef _WIN32
// Runs iconv over the whole input; an undecodable byte is replaced and
// skipped, so every input converts completely. `exact` tells whether
// nothing had to be replaced.
std::string convert(std::string_view input, const char* to, const char* from,
                    std::string_view replacement, bool* exact = nullptr) {
  if (exact != nullptr) *exact = true;
  std::string output;
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::string(input);
  char buffer[4096];
  char* in = const_cast<char*>(input.data());
  std::size_t in_left = input.size();
  while (in_left > 0) {
    char* out = buffer;
    std::size_t out_left = sizeof buffer;
    const std::size_t done = iconv(converter, &in, &in_left, &out, &out_left);
    output.append(buffer, static_cast<std::size_t>(out - buffer));
    if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // EILSEQ or EINVAL: an invalid or truncated sequence; skip one byte.
      output += replacement;
      if (exact != nullptr) *exact = false;
      ++in;
      --in_left;
    }
  }
  iconv_close(converter);
  return output;
}
#endif

}  // namespace

#ifndef _WIN32

std::string cp932_to_utf8(std::string_view bytes) {
  return convert(bytes, "UTF-8", "CP932", "\xEF\xBF\xBD");
}

std::string utf8_to_cp932(std::string_view text) {
  return convert(text, "CP932", "UTF-8", "?");
}

std::filesystem::path os_path(std::string_view cp932_name) {
  bool exact = false;
  const std::string utf8 = convert(cp932_name, "UTF-8", "CP932", "", &exact);
  return std::filesystem::path(exact ? utf8 : std::string(cp932_name));
}

std::string cp932_from_os_name(std::string_view os_name) {
  bool exact = false;
  const std::string cp932 = convert(os_name, "CP932", "UTF-8", "", &exact);
  return exact ? cp932 : std::string(os_name);
}

#else

std::filesystem::path os_path(std::string_view cp932_name) {
  return std::filesystem::path(std::string(cp932_name));
}

std::string cp932_from_os_name(std::string_view os_name) {
  return std::string(os_name);
}

#endif

std::string cp932_from_os_path(const std::filesystem::path& path) {
  return cp932_from_os_name(path.string());
}

namespace {

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
