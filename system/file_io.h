// Whole-file reading, advisory locks and all-or-nothing file writing. Every
// failure comes back as a value with a readable message; nothing is thrown.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/expected.h"
#include "system/file_handle.h"
#include "system/file_system.h"

namespace korva {

// What a file that is not a regular file is ("a directory", "a FIFO", ...),
// for the messages that refuse it.
const char* file_kind_text(file_system::FileKind kind);

// Why a file could not be read.
enum class ReadFailure {
  not_found,    // no file of that name
  cannot_open,  // it exists (or may), but opening failed: permission, a link loop, ...
  refused,      // not a regular file, or larger than the limit: never read
  read_failed,
};

// A file's bytes, or why they could not be read, naming the file.
using FileContents = Expected<std::string, ReadFailure>;

// Files larger than this are refused before they are read.
inline constexpr std::uint64_t kReadSizeLimit = 64ull * 1024 * 1024;

// Reads a regular file whole. A directory, a device, a FIFO or a socket is
// refused before any byte is read (so an endless device cannot fill the
// memory, and a FIFO without a writer cannot stall), as is a file larger
// than `size_limit`.
FileContents read_whole_file(const std::filesystem::path& path,
                             std::uint64_t size_limit = kReadSizeLimit);

// An advisory lock on a file or a folder that already exists, held until
// the object goes. Two processes that lock the same file take turns; the
// file itself is neither created nor changed.
class FileLock {
 public:
  // Waits until the lock on `path` (a regular file or a directory) is
  // free, then holds it. Where the file cannot be opened or the file system
  // has no locks, the result holds nothing and the caller goes on unlocked.
  static FileLock acquire(const std::filesystem::path& path);

  bool held() const { return lock_.held(); }
  void release() { lock_.release(); }

 private:
  file_system::SystemLock lock_;
};

// The steps of writing a file at which the system can fail.
enum class FileStep {
  create,   // creating the temporary file
  write,    // each write to it
  name,     // giving a complete unnamed temporary file its name
  replace,  // renaming the temporary file over the target
};

// A test seam: asked before each step on the file that will replace
// `target`. A non-zero result is an errno value with which the step then
// fails, as if the system had returned it.
class FileFaults {
 public:
  virtual ~FileFaults() = default;
  virtual int fault(FileStep step, const std::filesystem::path& target) = 0;
};

// The names of temporary files that exist on disk while they are written,
// so that a handler for a termination request can remove them. Holding it
// keeps every name from changing: an output set holds it while it puts its
// files in place, so that a termination request waits until they all are.
class TemporaryNames {
 public:
  void add(const std::filesystem::path& path);
  void remove(const std::filesystem::path& path);
  std::unique_lock<std::recursive_mutex> hold() { return std::unique_lock(mutex_); }
  // Removes every listed file; the caller holds the names.
  void remove_files();

 private:
  std::recursive_mutex mutex_;
  std::vector<std::filesystem::path> paths_;
};

enum class TemporaryKind {
  // Unnamed (O_TMPFILE on Linux): a run that is killed leaves nothing. Where
  // the file system cannot do that (and on Windows), a named file as below.
  unnamed_where_possible,
  // Always a file named "TARGET.korva-tmp-PID-N" next to the target.
  named,
};

struct FileWriteOptions {
  TemporaryKind temporaries = TemporaryKind::unnamed_where_possible;
  TemporaryNames* names = nullptr;  // where named temporaries are listed, if anywhere
  FileFaults* faults = nullptr;     // the test seam; none in normal runs
};

// The names that temporaries of `target` take: "TARGET.korva-tmp-PID-N"
// while written, "TARGET.korva-old-PID-N" for the old target while an
// output set replaces it.
inline constexpr std::string_view kTemporaryMark = ".korva-tmp-";
inline constexpr std::string_view kPreviousMark = ".korva-old-";
std::filesystem::path temporary_name(const std::filesystem::path& target, std::string_view mark,
                                     int attempt);
// How many of those names a writer tries before it gives up.
inline constexpr int kTemporaryNameAttempts = 100;

// An open handle on a file that a commit replaced. The system frees the old
// contents (for a large file, a noticeable piece of work) only when the last
// handle closes, so whoever holds this decides where that happens. Closes
// when destroyed.
class ReplacedFile {
 public:
  ReplacedFile() = default;
  explicit ReplacedFile(FileHandle file) : file_(std::move(file)) {}

  bool holds_file() const { return file_.is_open(); }
  void close() { file_.close(); }

 private:
  FileHandle file_;
};

// Writes a file through a temporary file in the target's folder, which
// replaces the target only when it is complete, so the target is either the
// old file or the whole new one. The temporary file is unnamed where the
// system allows it (nothing is left if the process dies) and holds an
// advisory lock while this object has it, so that a clean-up of leftovers
// never takes a file that a running assembly still writes. Writes go
// straight to the system: callers write in large pieces.
class AtomicFile {
 public:
  explicit AtomicFile(std::filesystem::path target, FileWriteOptions options = {})
      : target_(std::move(target)), options_(options) {}
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Each step fails with the file's first failure, which error() keeps too:
  // once a step has failed, every later one fails with the same message.
  Expected<void> open();
  Expected<void> write(std::string_view bytes);
  // Ends the writing. The temporary file stays open, to be put in place.
  Expected<void> close();
  // Gives an unnamed temporary file its name ("TARGET.korva-tmp-PID-N");
  // a named one has it already.
  Expected<void> give_name();
  // Puts the temporary file in place of the target. Where the system lets a
  // file be replaced while open, the replaced file is kept open for
  // take_replaced(). With Replacement::exchange, where the system can, the
  // two names are swapped and the old file's new name removed: a rename
  // over an existing file makes some file systems (ext4) start writing all
  // of the new file out inside the rename and wait for the disk, while an
  // exchange is as atomic for a reader and leaves the writing to the
  // system's own time.
  enum class Replacement { rename, exchange };
  Expected<void> put_in_place(Replacement how = Replacement::exchange);
  // close(), give_name() and put_in_place(): for a file written alone.
  Expected<void> commit();
  // Closes and removes the temporary file, unless it was put in place.
  void discard();
  // The file that commit() replaced, if it was kept open; else an empty one.
  ReplacedFile take_replaced() { return std::move(replaced_); }

  const std::filesystem::path& target() const { return target_; }
  // The temporary file's name; empty while it has none.
  const std::filesystem::path& temporary() const { return temporary_; }
  bool is_open() const { return file_.is_open(); }
  const std::string& error() const { return error_; }
  // Records a failure found outside this object (by the output set).
  Expected<void> fail(std::string_view what, int error_number);

 private:
  int injected(FileStep step) const;
  bool open_unnamed();
  Expected<void> open_named();
  Expected<void> link_unnamed();
  Expected<void> stopped() const;
  void forget_name();

  std::filesystem::path target_;
  FileWriteOptions options_;
  std::filesystem::path temporary_;
  file_system::SystemFile file_;
  bool unnamed_ = false;
  bool in_place_ = false;
  ReplacedFile replaced_;
  std::string error_;
  bool failed_ = false;
};

// Writes `bytes` to `path` through an AtomicFile.
Expected<void> write_file_atomically(const std::filesystem::path& path, std::string_view bytes);

// "PATH: WHAT (the system's reason)", the path as CP932 for messages.
std::string describe_file_error(const std::filesystem::path& path, std::string_view what,
                                int error_number);

}  // namespace korva
