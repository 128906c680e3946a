#include "source/source_joiner.h"

#include <new>

#include "driver/file_io.h"
#include "driver/text_encoding.h"

namespace korva {

JoinedSources join_sources(const std::vector<std::string>& entries,
                           const std::filesystem::path& directory) {
  JoinedSources joined;
  try {
    for (const std::string& entry : entries) {
      const std::filesystem::path path =
          directory.empty() ? os_path(entry) : directory / os_path(entry);
      FileContents file = read_whole_file(path);
      if (file.status != ReadStatus::ok) {
        joined =
            JoinedSources{false, {}, {}, entry, file.status == ReadStatus::cannot_open, file.error};
        return joined;
      }
      const std::size_t zero = file.bytes.find('\0');
      joined.file_starts.push_back(joined.text.size());
      joined.text.append(file.bytes, 0, zero);
    }
  } catch (const std::bad_alloc&) {
    return JoinedSources{false, {},
                         {},    entries.empty() ? std::string() : entries.back(),
                         false, "the sources are too large to hold in memory"};
  }
  return joined;
}

}  // namespace korva
