// Reads the project's source files and joins them, in list order, into the
// one source text that the passes read.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace korva {

struct JoinedSources {
  bool ok = true;
  std::string text;                      // the joined sources
  std::vector<std::size_t> file_starts;  // where each entry's text begins in `text`
  std::string failed_entry;              // the entry that could not be read
  bool not_found = false;                // it could not be opened (as opposed to read)
  std::string error;                     // the system's reason, when it could not be read
};

// Relative entries are resolved against `directory` (the current directory
// when empty). Each file contributes its bytes up to its first zero byte;
// nothing is put between two files.
JoinedSources join_sources(const std::vector<std::string>& entries,
                           const std::filesystem::path& directory);

}  // namespace korva
