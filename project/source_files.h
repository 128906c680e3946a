// Reads the project's source files and joins them, in list order, into the
// one source text that the passes read (source/joined_sources.h).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "source/joined_sources.h"
#include "support/expected.h"
#include "system/system_path.h"

namespace korva {

// One source of a run: its file as the system names it, and the name that
// the CP932 texts (messages, diagnostics, the map) give it.
struct SourceFile {
  SystemPath path;
  std::string name;
};

// The file that a project entry (CP932 text) names, from `directory` (the
// current one when empty): the entry decoded into the system's encoding;
// when no such file exists but one named by the entry's exact bytes does (a
// project made where names are CP932), that one. An entry that names a
// chip file alone (16F84A.inc) and no file there is the chip folder's
// file, so that a project names its chip wherever it is kept.
SystemPath entry_file(std::string_view entry, const SystemPath& directory,
                      const std::optional<std::filesystem::path>& chip_folder = std::nullopt);

// The entries' files, each named by its entry.
std::vector<SourceFile> entry_sources(
    const std::vector<std::string>& entries, const SystemPath& directory,
    const std::optional<std::filesystem::path>& chip_folder = std::nullopt);

// A file that the system named (a command-line argument, a chip file),
// named in the texts by its CP932 spelling (shown_cp932).
SourceFile system_source(SystemPath path);

// Where an assembly reads a source from: the text of an editor's buffer
// open over its file, else the file on disk. The window's pane and the
// language server hold open buffers; the Assemble command reads the disk.
class SourceProvider {
 public:
  virtual ~SourceProvider() = default;
  // The CP932 bytes of the buffer open over `file`; none when it is not open.
  virtual std::optional<std::string> open_buffer(const SystemPath& file) const;
};

// One source's bytes as an assembly takes them: its open buffer, else its
// file. A file that is not a regular file, is larger than the read limit or
// holds a zero byte is refused, as is one that cannot be opened or read (a
// buffer holding a zero byte too); the message is the one the user sees:
// for a missing file, the entry followed by the "file not found" text;
// otherwise what is wrong, naming the file.
Expected<std::string, JoinFailure> read_source(const SourceFile& source,
                                               const SourceProvider& provider);

// Reads the sources and joins them, in order. Nothing is put between two files. A file that is not
// a regular file, is larger than the read limit or holds a zero byte stops the joining, as does one
// that cannot be opened or read. The failure's message is the one the user sees: for a missing
// file, the entry followed by the "file not found" text; otherwise what is wrong, naming the file.
Expected<JoinedSources, JoinFailure> join_sources(const std::vector<SourceFile>& sources,
                                                  const SourceProvider& provider = {});

// The project's entries (entry_sources from `directory`), joined.
Expected<JoinedSources, JoinFailure> join_sources(const std::vector<std::string>& entries,
                                                  const std::filesystem::path& directory);

}  // namespace korva
