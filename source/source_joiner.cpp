#include "source/source_joiner.h"

#include <algorithm>
#include <new>

#include "support/file_io.h"
#include "support/text_encoding.h"

namespace korva {
namespace {

JoinedSources failed(const std::string& entry, bool not_found, std::string error) {
  JoinedSources joined;
  joined.ok = false;
  joined.failed_entry = entry;
  joined.not_found = not_found;
  joined.error = std::move(error);
  return joined;
}

}  // namespace

JoinedSources join_sources(const std::vector<std::string>& entries,
                           const std::filesystem::path& directory) {
  JoinedSources joined;
  try {
    for (const std::string& entry : entries) {
      const std::filesystem::path path =
          directory.empty() ? os_path(entry) : directory / os_path(entry);
      FileContents file = read_whole_file(path);
      if (file.status != ReadStatus::ok) {
        return failed(entry, file.status == ReadStatus::not_found, file.error);
      }
      // A zero byte would end the text there: everything after it would be
      // lost without a word, so the file is refused instead.
      const std::size_t zero = file.bytes.find('\0');
      if (zero != std::string::npos) {
        const auto line =
            1 + std::count(file.bytes.begin(),
                           file.bytes.begin() + static_cast<std::ptrdiff_t>(zero), '\n');
        return failed(entry, false,
                      cp932_from_os_path(path) + ": line " + std::to_string(line) +
                          ": a zero byte (NUL) in the text");
      }
      joined.file_starts.push_back(joined.text.size());
      joined.text += file.bytes;
    }
  } catch (const std::bad_alloc&) {
    return failed(entries.empty() ? std::string() : entries.back(), false,
                  "the sources are too large to hold in memory");
  }
  return joined;
}

}  // namespace korva
