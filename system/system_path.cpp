#include "system/system_path.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>
#include <system_error>

#include "system/text_encoding.h"

namespace korva {

SystemPath SystemPath::from_native_text(std::string_view text) {
#ifdef _WIN32
  // Through the system's converter, which never fails (std::filesystem's
  // throws on bytes that are not UTF-8).
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return SystemPath(std::filesystem::path(std::move(wide)));
#else
  return SystemPath(std::filesystem::path(std::string(text)));
#endif
}

SystemPath SystemPath::from_cp932(std::string_view cp932) {
  return SystemPath(os_path(cp932));
}

SystemPath SystemPath::from_bytes(std::string_view bytes) {
  return SystemPath(os_path_of_bytes(bytes));
}

SystemPath SystemPath::with_suffix(std::string_view suffix) const {
  std::filesystem::path extended = path_;
  extended += std::filesystem::path(std::string(suffix));
  return SystemPath(std::move(extended));
}

SystemPath SystemPath::operator/(const SystemPath& relative) const {
  if (path_.empty() || relative.path_.is_absolute()) return relative;
  return SystemPath(path_ / relative.path_);
}

std::string SystemPath::native_text() const {
#ifdef _WIN32
  const std::wstring& wide = path_.native();
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
  return text;
#else
  return path_.native();
#endif
}

std::optional<std::string> exact_cp932(const SystemPath& name) {
  return exact_cp932_from_os_path(name.path());
}

std::string shown_cp932(const SystemPath& name) {
  return cp932_from_os_path(name.path());
}

std::optional<SystemPath> running_program() {
#ifdef _WIN32
  std::wstring name(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
  if (length == 0 || length >= name.size()) return std::nullopt;
  name.resize(length);
  return SystemPath(std::filesystem::path(name));
#else
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  return SystemPath(std::move(self));
#endif
}

std::optional<SystemPath> environment_path(const char* variable) {
#ifdef _WIN32
  const std::wstring wide(variable, variable + std::char_traits<char>::length(variable));
  const wchar_t* value = _wgetenv(wide.c_str());
  if (value == nullptr) return std::nullopt;
  return SystemPath(std::filesystem::path(value));
#else
  const char* value = std::getenv(variable);
  if (value == nullptr) return std::nullopt;
  return SystemPath(std::filesystem::path(value));
#endif
}

}  // namespace korva
