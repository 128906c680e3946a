// Conversion between the system's CP932 (Shift-JIS) bytes and Unicode. The
// assembler keeps every text, file names included, as CP932 bytes; it
// converts only to show a text (window, terminal) and where it hands a file
// name to the operating system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

// Bytes that are not valid CP932 come out as U+FFFD, one per byte.
std::string cp932_to_utf8(std::string_view bytes);

// Characters that CP932 cannot hold come out as "?".
std::string utf8_to_cp932(std::string_view text);

// Whether `bytes` read as UTF-8 rather than as Shift-JIS: valid UTF-8 with
// at least one character beyond ASCII, and not a plausible Shift-JIS text.
// A Shift-JIS text passes for UTF-8 only when its non-ASCII bytes happen to
// form two-byte UTF-8 characters that are pairs of half-width katakana
// (C2-DF, A1-BF); such a text is taken for Shift-JIS.
bool reads_as_utf8_not_cp932(std::string_view bytes);

// The file-system path of a file name held as CP932 bytes. Windows takes the
// bytes as they are (its code page); elsewhere they become UTF-8, unless they
// are not valid CP932, in which case they are the file system's own bytes.
std::filesystem::path os_path(std::string_view cp932_name);

// The reverse: a path of the file system as CP932 bytes, for messages and
// for names that the user typed or chose.
std::string cp932_from_os_path(const std::filesystem::path& path);
std::string cp932_from_os_name(std::string_view os_name);

// A path as the bytes that the system's narrow file interfaces take (what
// cp932_from_os_name reads): the file system's own bytes, or on Windows the
// system's code page.
std::string narrow_os_name(const std::filesystem::path& path);

// The program's command-line arguments (argv[0] included) as CP932 bytes. On
// Windows they are taken in their UTF-16 form, since the narrow argv holds
// only what the system's code page can.
std::vector<std::string> cp932_arguments(int argc, char** argv);

}  // namespace korva
