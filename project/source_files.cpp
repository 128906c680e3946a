#include "project/source_files.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <utility>

#include "project/chip_files.h"
#include "resources/system_texts.h"
#include "system/file_io.h"
#include "system/text_encoding.h"

namespace korva {

SystemPath entry_file(std::string_view entry, const SystemPath& directory,
                      const std::optional<std::filesystem::path>& chip_folder) {
  SystemPath decoded = directory / SystemPath::from_cp932(entry);
  SystemPath exact = directory / SystemPath::from_bytes(entry);
  std::error_code error;
  if (std::filesystem::exists(decoded.path(), error)) return decoded;
  if (exact != decoded && std::filesystem::exists(exact.path(), error)) return exact;
  if (chip_folder) {
    if (std::optional<std::filesystem::path> chip = chip_file_of_entry(entry, *chip_folder)) {
      return SystemPath(*chip);
    }
  }
  return decoded;
}

std::vector<SourceFile> entry_sources(const std::vector<std::string>& entries,
                                      const SystemPath& directory,
                                      const std::optional<std::filesystem::path>& chip_folder) {
  std::vector<SourceFile> sources;
  sources.reserve(entries.size());
  for (const std::string& entry : entries) {
    sources.push_back(SourceFile{entry_file(entry, directory, chip_folder), entry});
  }
  return sources;
}

SourceFile system_source(SystemPath path) {
  std::string name = shown_cp932(path);
  return SourceFile{std::move(path), std::move(name)};
}

Expected<JoinedSources, JoinFailure> join_sources(const std::vector<std::string>& entries,
                                                  const std::filesystem::path& directory) {
  return join_sources(entry_sources(entries, SystemPath(directory)));
}

std::optional<std::string> SourceProvider::open_buffer(const SystemPath&) const {
  return std::nullopt;
}

Expected<std::string, JoinFailure> read_source(const SourceFile& source,
                                               const SourceProvider& provider) {
  std::optional<std::string> bytes = provider.open_buffer(source.path);
  if (!bytes) {
    FileContents file = read_whole_file(source.path.path());
    if (!file) {
      if (file.reason() == ReadFailure::not_found) {
        return fail(JoinFailure::not_found, source.name + std::string(texts::kFileNotFound));
      }
      return fail(JoinFailure::unreadable, std::move(file).failure().message);
    }
    bytes = std::move(*file);
  }
  if (Expected<void, JoinFailure> clean =
          check_no_zero_byte(*bytes, cp932_from_os_path(source.path.path()));
      !clean) {
    return std::move(clean).failure();
  }
  return std::move(*bytes);
}

Expected<JoinedSources, JoinFailure> join_sources(const std::vector<SourceFile>& sources,
                                                  const SourceProvider& provider) {
  JoinedSources joined;
  try {
    for (const SourceFile& source : sources) {
      Expected<std::string, JoinFailure> bytes = read_source(source, provider);
      if (!bytes) return std::move(bytes).failure();
      joined.file_starts.push_back(joined.text.size());
      // A single source is taken as it was read, without a copy.
      if (sources.size() == 1) {
        joined.text = std::move(*bytes);
      } else {
        joined.text += *bytes;
      }
    }
  } catch (const std::bad_alloc&) {
    return fail(JoinFailure::unreadable, "the sources are too large to hold in memory");
  }
  return joined;
}

}  // namespace korva
