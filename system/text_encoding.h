// Conversion between the system's CP932 (Shift-JIS) bytes and Unicode. The
// assembler keeps every text as CP932 bytes and converts only to show a text
// (window, terminal). File names are the system's own (system/system_path.h);
// the functions here convert them where a name is written into a file or
// shown among CP932 texts, and where a CP932 text names a file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

// Bytes that are not valid CP932 come out as U+FFFD, one per byte.
std::string cp932_to_utf8(std::string_view bytes);

// Characters that CP932 cannot hold come out as "?".
std::string utf8_to_cp932(std::string_view text);

// The file-system path of a file name held as CP932 bytes. Windows takes the
// bytes as they are (its code page); elsewhere they become UTF-8, unless they
// are not valid CP932, in which case they are the file system's own bytes.
std::filesystem::path os_path(std::string_view cp932_name);

// The reverse: a path of the file system as CP932 bytes, for messages: its
// exact CP932 spelling, or with "?" for what CP932 cannot write.
std::string cp932_from_os_path(const std::filesystem::path& path);
std::string cp932_from_os_name(std::string_view os_name);

// The exact CP932 spelling of a path, or none when CP932 cannot write it. On
// POSIX a name in UTF-8 is converted, and one whose bytes are not UTF-8 but
// are valid CP932 is taken to be CP932 already.
std::optional<std::string> exact_cp932_from_os_path(const std::filesystem::path& path);

// The path made of exactly these bytes: on POSIX the bytes themselves, on
// Windows the bytes read in the system's code page.
std::filesystem::path os_path_of_bytes(std::string_view bytes);

// A path as the bytes that the system's narrow file interfaces take (what
// cp932_from_os_name reads): the file system's own bytes, or on Windows the
// system's code page.
std::string narrow_os_name(const std::filesystem::path& path);

// The program's command-line arguments (argv[0] included) as they came: on
// POSIX the bytes of argv, on Windows the UTF-16 command line as UTF-8 (the
// narrow argv holds only what the system's code page can).
std::vector<std::string> native_arguments(int argc, char** argv);

}  // namespace korva
