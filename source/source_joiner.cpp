#include "source/source_joiner.h"

#include <algorithm>
#include <new>

#include "resources/system_texts.h"
#include "support/file_io.h"
#include "support/text_encoding.h"

namespace korva {

Expected<void, JoinFailure> check_no_zero_byte(std::string_view bytes,
                                               std::string_view shown_name) {
  const std::size_t zero = bytes.find('\0');
  if (zero == std::string_view::npos) return {};
  const auto line =
      1 + std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(zero), '\n');
  return fail(JoinFailure::unreadable, std::string(shown_name) + ": line " + std::to_string(line) +
                                           ": a zero byte (NUL) in the text");
}

Expected<JoinedSources, JoinFailure> join_sources(const std::vector<std::string>& entries,
                                                  const std::filesystem::path& directory) {
  JoinedSources joined;
  try {
    for (const std::string& entry : entries) {
      const std::filesystem::path path =
          directory.empty() ? os_path(entry) : directory / os_path(entry);
      FileContents file = read_whole_file(path);
      if (!file) {
        if (file.reason() == ReadFailure::not_found) {
          return fail(JoinFailure::not_found, entry + std::string(texts::kFileNotFound));
        }
        return fail(JoinFailure::unreadable, std::move(file).failure().message);
      }
      if (Expected<void, JoinFailure> clean = check_no_zero_byte(*file, cp932_from_os_path(path));
          !clean) {
        return std::move(clean).failure();
      }
      const std::string& bytes = *file;
      joined.file_starts.push_back(joined.text.size());
      joined.text += bytes;
    }
  } catch (const std::bad_alloc&) {
    return fail(JoinFailure::unreadable, "the sources are too large to hold in memory");
  }
  return joined;
}

}  // namespace korva
