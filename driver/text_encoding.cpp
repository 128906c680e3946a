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

}  // namespace korva
