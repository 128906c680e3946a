#include "shell/display_text.h"

#include <iconv.h>

#include <cerrno>

namespace korva {
namespace {

// Runs iconv over the whole input; an undecodable byte is replaced and
// skipped, so every input converts completely.
std::string convert(std::string_view input, const char* to, const char* from,
                    std::string_view replacement) {
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
      ++in;
      --in_left;
    }
  }
  iconv_close(converter);
  return output;
}

}  // namespace

std::string cp932_to_utf8(std::string_view bytes) {
  return convert(bytes, "UTF-8", "CP932", "\xEF\xBF\xBD");
}

std::string utf8_to_cp932(std::string_view text) { return convert(text, "CP932", "UTF-8", "?"); }

}  // namespace korva
