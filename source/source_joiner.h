// Reads the project's source files and joins them, in list order, into the
// one source text that the passes read.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/expected.h"

namespace korva {

struct JoinedSources {
  std::string text;                      // the joined sources
  std::vector<std::size_t> file_starts;  // where each entry's text begins in `text`
};

// Why the joining stopped.
enum class JoinFailure {
  not_found,   // there is no file of an entry's name
  unreadable,  // a file was refused, could not be opened or read, or held a zero byte
};

// Refuses a source holding a zero byte, which would end the text there:
// everything after it would be lost without a word. The message names the
// source by `shown_name` and the zero's line.
Expected<void, JoinFailure> check_no_zero_byte(std::string_view bytes, std::string_view shown_name);

// Relative entries are resolved against `directory` (the current directory
// when empty). Nothing is put between two files. A file that is not a
// regular file, is larger than the read limit or holds a zero byte stops the
// joining, as does one that cannot be opened or read. The failure's message
// is the one the user sees: for a missing file, the entry followed by the
// "file not found" text; otherwise what is wrong, naming the file.
Expected<JoinedSources, JoinFailure> join_sources(const std::vector<std::string>& entries,
                                                  const std::filesystem::path& directory);

}  // namespace korva
