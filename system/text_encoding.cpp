#include "system/text_encoding.h"

#include "support/text.h"
#include "support/utf8_text.h"

#ifdef _WIN32
#include <windows.h>
// shellapi.h needs the declarations of windows.h before it.
#include <shellapi.h>
#else
#include <iconv.h>
#endif

#include <algorithm>
#include <cerrno>
#include <optional>

namespace korva {
namespace {

#ifndef _WIN32
// Runs iconv over the whole input; an undecodable byte is replaced and
// skipped, so every input converts completely. `exact` tells whether
// nothing had to be replaced.
std::string convert(std::string_view input, const char* to, const char* from,
                    std::string_view replacement, bool* exact = nullptr) {
  if (exact != nullptr) *exact = true;
  // Both encodings keep ASCII as it is. Most names and texts are ASCII, and
  // the converter, which is loaded from a module, is then not needed.
  if (std::all_of(input.begin(), input.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::string(input);
  }
  std::string output;
  const bool from_utf8 = std::string_view(from) == "UTF-8";
  iconv_t converter = iconv_open(to, from);
  // iconv_open reports failure as the value -1 cast to its handle type.
  if (converter == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr)
    return std::string(input);
  }
  char buffer[4096];
  char* in = const_cast<char*>(input.data());
  std::size_t in_left = input.size();
  while (in_left > 0) {
    char* out = buffer;
    std::size_t out_left = sizeof buffer;
    const std::size_t done = iconv(converter, &in, &in_left, &out, &out_left);
    output.append(buffer, static_cast<std::size_t>(out - buffer));
    if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // EILSEQ or EINVAL: an invalid or truncated sequence, or a character
      // that the target cannot hold; skip it (a whole UTF-8 character, or
      // one byte).
      output += replacement;
      if (exact != nullptr) *exact = false;
      const std::size_t at = static_cast<std::size_t>(in - input.data());
      const std::size_t length = from_utf8 ? std::max<std::size_t>(1, utf8_length(input, at)) : 1;
      in += length;
      in_left -= length;
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

namespace {

std::optional<std::string> exact_cp932_from_os_name(std::string_view os_name) {
  bool exact = false;
  std::string cp932 = convert(os_name, "CP932", "UTF-8", "", &exact);
  if (exact) return cp932;
  if (valid_utf8(os_name)) return std::nullopt;
  // Not UTF-8: a name made on a CP932 system keeps its bytes.
  bool valid_cp932 = false;
  convert(os_name, "UTF-8", "CP932", "", &valid_cp932);
  if (valid_cp932) return std::string(os_name);
  return std::nullopt;
}

}  // namespace

std::string cp932_from_os_name(std::string_view os_name) {
  if (std::optional<std::string> exact = exact_cp932_from_os_name(os_name)) return *exact;
  return utf8_to_cp932(os_name);
}

std::string cp932_from_os_path(const std::filesystem::path& path) {
  return cp932_from_os_name(path.native());
}

std::optional<std::string> exact_cp932_from_os_path(const std::filesystem::path& path) {
  return exact_cp932_from_os_name(path.native());
}

std::filesystem::path os_path_of_bytes(std::string_view bytes) {
  return std::filesystem::path(std::string(bytes));
}

std::string narrow_os_name(const std::filesystem::path& path) {
  return path.native();
}

std::vector<std::string> native_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

#else

namespace {

constexpr UINT kCp932 = 932;

// One code page's bytes as UTF-16, or none when some byte sequence is not
// valid in it.
std::optional<std::wstring> to_wide(std::string_view bytes, UINT code_page) {
  if (bytes.empty()) return std::wstring();
  const int size = static_cast<int>(bytes.size());
  const int length =
      MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length == 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), length);
  return wide;
}

// UTF-16 as one code page's bytes; characters it cannot hold become
// `replacement` (and `exact` false), unless the code page is UTF-8.
std::string from_wide(std::wstring_view wide, UINT code_page, bool* exact = nullptr) {
  if (exact != nullptr) *exact = true;
  if (wide.empty()) return {};
  if (code_page == CP_UTF8) {
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
  }
  // A character beyond the 16-bit range (a surrogate pair) is one
  // character, replaced once; none is written as a look-alike ("best fit":
  // e for é), since the name would then be another.
  std::wstring units;
  units.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const bool pair = wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() &&
                      wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF;
    units += pair ? L'\xFFFD' : wide[i];
    if (pair) ++i;
  }
  const int size = static_cast<int>(units.size());
  BOOL replaced = FALSE;
  const int length = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, units.data(), size,
                                         nullptr, 0, "?", &replaced);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, units.data(), size, bytes.data(), length,
                      "?", &replaced);
  if (exact != nullptr) *exact = replaced == FALSE;
  return bytes;
}

// The length of the CP932 character at bytes[at]: two for a lead byte
// followed by another byte, else one.
std::size_t cp932_length(std::string_view bytes, std::size_t at) {
  const auto lead = static_cast<unsigned char>(bytes[at]);
  return is_cp932_lead_byte(lead) && at + 1 < bytes.size() ? 2 : 1;
}

}  // namespace

std::string cp932_to_utf8(std::string_view bytes) {
  if (const auto wide = to_wide(bytes, kCp932)) return from_wide(*wide, CP_UTF8);
  // Character by character, so that each undecodable byte becomes one U+FFFD.
  std::string utf8;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = cp932_length(bytes, at);
    if (const auto wide = to_wide(bytes.substr(at, length), kCp932)) {
      utf8 += from_wide(*wide, CP_UTF8);
      at += length;
    } else {
      utf8 += "\xEF\xBF\xBD";
      ++at;
    }
  }
  return utf8;
}

std::string utf8_to_cp932(std::string_view text) {
  const auto wide = to_wide(text, CP_UTF8);
  return wide ? from_wide(*wide, kCp932) : std::string(text);
}

// Windows paths are UTF-16: CP932 names convert exactly, whatever the
// system's own code page is.
std::filesystem::path os_path(std::string_view cp932_name) {
  if (const auto wide = to_wide(cp932_name, kCp932)) return std::filesystem::path(*wide);
  return std::filesystem::path(std::string(cp932_name));
}

std::string cp932_from_os_name(std::string_view os_name) {
  // Narrow names come in the system's code page.
  const auto wide = to_wide(os_name, CP_ACP);
  return wide ? from_wide(*wide, kCp932) : std::string(os_name);
}

std::string cp932_from_os_path(const std::filesystem::path& path) {
  return from_wide(path.native(), kCp932);
}

std::optional<std::string> exact_cp932_from_os_path(const std::filesystem::path& path) {
  bool exact = false;
  std::string cp932 = from_wide(path.native(), kCp932, &exact);
  if (!exact) return std::nullopt;
  return cp932;
}

std::filesystem::path os_path_of_bytes(std::string_view bytes) {
  if (const auto wide = to_wide(bytes, CP_ACP)) return std::filesystem::path(*wide);
  return std::filesystem::path(std::string(bytes));
}

std::string narrow_os_name(const std::filesystem::path& path) {
  return from_wide(path.native(), CP_ACP);
}

std::vector<std::string> native_arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr || count != argc) {
    if (wide != nullptr) LocalFree(wide);
    for (int i = 0; i < argc; ++i) {
      const auto argument = to_wide(argv[i], CP_ACP);
      arguments.push_back(argument ? from_wide(*argument, CP_UTF8) : std::string(argv[i]));
    }
    return arguments;
  }
  for (int i = 0; i < count; ++i) arguments.push_back(from_wide(wide[i], CP_UTF8));
  LocalFree(wide);
  return arguments;
}

#endif

}  // namespace korva
