#include "lsp/uri.h"

namespace korva::lsp {
namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool unreserved(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '/';
}

}  // namespace

std::optional<std::filesystem::path> path_of_uri(std::string_view uri) {
  constexpr std::string_view kScheme = "file://";
  if (!uri.starts_with(kScheme)) return std::nullopt;
  uri.remove_prefix(kScheme.size());
  // The authority (a host name) is left out: only local files are read.
  const std::size_t slash = uri.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  uri.remove_prefix(slash);
  std::string decoded;
  for (std::size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() && hex_digit(uri[i + 1]) >= 0 &&
        hex_digit(uri[i + 2]) >= 0) {
      decoded += static_cast<char>(hex_digit(uri[i + 1]) * 16 + hex_digit(uri[i + 2]));
      i += 2;
    } else {
      decoded += uri[i];
    }
  }
#ifdef _WIN32
  // file:///C:/folder: the drive follows the slash.
  if (decoded.size() >= 3 && decoded[0] == '/' && decoded[2] == ':') decoded.erase(0, 1);
#endif
  if (decoded.find('\0') != std::string::npos) return std::nullopt;
  return std::filesystem::path(std::u8string(decoded.begin(), decoded.end()));
}

std::string uri_of_path(const std::filesystem::path& path) {
  const std::u8string generic = path.generic_u8string();
  const std::string bytes(generic.begin(), generic.end());
  std::string uri = "file://";
  if (!bytes.starts_with('/')) uri += '/';
  constexpr char kDigits[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    if (unreserved(c) || c == ':') {
      uri += c;
    } else {
      const auto byte = static_cast<unsigned char>(c);
      uri += '%';
      uri += kDigits[byte >> 4];
      uri += kDigits[byte & 0xF];
    }
  }
  return uri;
}

}  // namespace korva::lsp
