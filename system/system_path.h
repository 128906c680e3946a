// Names of files as the system gives them: bytes on POSIX, UTF-16 on
// Windows. A SystemPath is never CP932 text, and nothing converts one into
// the other by accident: a name becomes CP932 only where it is written into
// a file (a project entry) or shown among CP932 texts (messages, the
// diagnostics' places, the map), and CP932 becomes a name only where a file
// names another (a project entry).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace korva {

class SystemPath {
 public:
  SystemPath() = default;
  explicit SystemPath(std::filesystem::path path) : path_(std::move(path)) {}

  // A name in the form that native_text() gives: the system's bytes on
  // POSIX, UTF-8 on Windows (whose names are UTF-16). Command-line
  // arguments (system_arguments) come in this form.
  static SystemPath from_native_text(std::string_view text);
  // A name held as CP932 text, decoded into the system's encoding (UTF-8 on
  // POSIX). Bytes that are not CP932 are taken as the system's own.
  static SystemPath from_cp932(std::string_view cp932);
  // The name made of exactly these bytes: on POSIX the bytes themselves, on
  // Windows the bytes read in the system's code page (as its narrow file
  // interfaces read them).
  static SystemPath from_bytes(std::string_view bytes);

  const std::filesystem::path& path() const { return path_; }
  bool empty() const { return path_.empty(); }
  bool is_absolute() const { return path_.is_absolute(); }
  SystemPath parent() const { return SystemPath(path_.parent_path()); }
  SystemPath file_name() const { return SystemPath(path_.filename()); }
  // This name with `suffix` (ASCII: an extension) appended.
  SystemPath with_suffix(std::string_view suffix) const;
  // `relative` taken from this folder; `relative` itself when this is empty
  // or `relative` is absolute.
  SystemPath operator/(const SystemPath& relative) const;

  // The name as text, lossless: the system's bytes on POSIX, UTF-8 on
  // Windows. What the terminal shows.
  std::string native_text() const;

  friend bool operator==(const SystemPath&, const SystemPath&) = default;

 private:
  std::filesystem::path path_;
};

// The exact CP932 spelling of a name, or none when CP932 cannot write it.
// On POSIX a name in UTF-8 is converted; one whose bytes are not UTF-8 but
// are valid CP932 is taken to be CP932 already.
std::optional<std::string> exact_cp932(const SystemPath& name);

// The name as CP932 text for messages, diagnostics and the map: its exact
// spelling, or with "?" for each character that CP932 cannot write.
std::string shown_cp932(const SystemPath& name);

// The running program's own file: /proc/self/exe, or on Windows the
// module's UTF-16 name; none where the system cannot tell.
std::optional<SystemPath> running_program();

// The value of an environment variable as a name, or none when it is unset.
std::optional<SystemPath> environment_path(const char* variable);

}  // namespace korva
