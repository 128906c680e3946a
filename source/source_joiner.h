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
  bool not_found = false;                // there is no file of that name
  std::string error;                     // otherwise: what is wrong, naming the file
};

// Relative entries are resolved against `directory` (the current directory
// when empty). Nothing is put between two files. A file that is not a
// regular file, is larger than the read limit or holds a zero byte stops the
// joining, as does one that cannot be opened or read.
JoinedSources join_sources(const std::vector<std::string>& entries,
                           const std::filesystem::path& directory);

}  // namespace korva
