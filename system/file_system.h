// The system calls under the file layer, behind one interface with one
// implementation per system: file_system_posix.cpp and
// file_system_windows.cpp, of which the build takes one. Failures are errno
// values on every system (the Windows side translates its own codes), so
// that messages and the test seam of the file layer are the same everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <utility>

#include "system/file_handle.h"

namespace korva::file_system {

// An open file of the system, closed when it goes: a descriptor on POSIX, a
// HANDLE on Windows.
class SystemFile {
 public:
  static constexpr std::intptr_t kNone = -1;

  SystemFile() = default;
  explicit SystemFile(std::intptr_t native) : native_(native) {}
  ~SystemFile() { close(); }
  SystemFile(SystemFile&& other) noexcept : native_(std::exchange(other.native_, kNone)) {}
  SystemFile& operator=(SystemFile&& other) noexcept {
    if (this != &other) {
      close();
      native_ = std::exchange(other.native_, kNone);
    }
    return *this;
  }
  SystemFile(const SystemFile&) = delete;
  SystemFile& operator=(const SystemFile&) = delete;

  bool is_open() const { return native_ != kNone; }
  std::intptr_t native() const { return native_; }
  void close();

 private:
  std::intptr_t native_ = kNone;
};

// A file opened, or the errno value of why not.
struct Opened {
  SystemFile file;
  int error = 0;
};

// Bytes moved by one read or write, or the errno value of its failure.
struct Transfer {
  std::size_t count = 0;
  int error = 0;
};

enum class FileKind {
  regular,
  directory,
  symbolic_link,
  fifo,
  character_device,
  block_device,
  socket,
  other,
};

struct FileStatus {
  FileKind kind = FileKind::other;
  std::uint64_t size = 0;
};

// An exclusive lock that processes take turns on, released when it goes.
// On POSIX an advisory lock (flock) on the file or folder; on Windows a lock
// on a byte far beyond the end of the file, which reads and writes never
// touch, or for a folder, which Windows cannot lock, a named mutex.
class SystemLock {
 public:
  SystemLock() = default;
  ~SystemLock() { release(); }
  SystemLock(SystemLock&& other) noexcept
      : handle_(std::move(other.handle_)), mutex_(std::exchange(other.mutex_, false)) {}
  SystemLock& operator=(SystemLock&& other) noexcept {
    if (this != &other) {
      release();
      handle_ = std::move(other.handle_);
      mutex_ = std::exchange(other.mutex_, false);
    }
    return *this;
  }
  SystemLock(const SystemLock&) = delete;
  SystemLock& operator=(const SystemLock&) = delete;

  bool held() const { return handle_.is_open(); }
  void release();

 private:
  friend SystemLock lock_and_wait(SystemFile file, FileKind kind);
  SystemLock(SystemFile handle, bool mutex) : handle_(std::move(handle)), mutex_(mutex) {}

  SystemFile handle_;
  bool mutex_ = false;  // the handle is a named mutex, held by the thread that took it
};

// What `path` names, following symbolic links; without opening it where
// the system can tell (opening a device or a FIFO can have an effect).
int status_of(const std::filesystem::path& path, FileStatus& status);
// What the entry `path` itself is: a symbolic link is not followed.
int entry_status(const std::filesystem::path& path, FileStatus& status);
int status_of(const SystemFile& file, FileStatus& status);
// Whether `path` names a regular file itself (not through a link).
inline bool is_regular_entry(const std::filesystem::path& path) {
  FileStatus status;
  return entry_status(path, status) == 0 && status.kind == FileKind::regular;
}

// Opens a file or folder for reading, without waiting (a FIFO) and without
// making a terminal the controlling one.
Opened open_to_read(const std::filesystem::path& path);
// The same for the entry itself: a symbolic link is not opened.
Opened open_entry(const std::filesystem::path& path);
// Creates a new file for reading and writing; fails with EEXIST when the
// name is taken.
Opened create_new(const std::filesystem::path& path);
// An unnamed file in `folder` that name_unnamed() can give a name later, and
// that holds try_lock()'s lock; an error where the system has none.
Opened create_unnamed(const std::filesystem::path& folder);
// Gives a file of create_unnamed() the name `path` (EEXIST when it is taken).
int name_unnamed(const SystemFile& file, const std::filesystem::path& path);

// Reads at most `size` bytes; a count of 0 without an error is the end.
Transfer read_some(const SystemFile& file, char* bytes, std::size_t size);
// Writes at most `size` bytes.
Transfer write_some(const SystemFile& file, const char* bytes, std::size_t size);
// Takes the lock of a live writer on its temporary file, without waiting:
// false when another holds it.
bool try_lock(const SystemFile& file);
// Takes the lock that FileLock holds on `file`, open on a regular file or a
// folder of kind `kind`, waiting for it; an empty lock where the system or
// the file system cannot lock it.
SystemLock lock_and_wait(SystemFile file, FileKind kind);
// Whether `path` still names the file that `file` has open.
bool still_named(const SystemFile& file, const std::filesystem::path& path);

// Renames `from` over `to`, replacing the file there.
int replace(const std::filesystem::path& from, const std::filesystem::path& to);
// Swaps the files that `a` and `b` name, both at once; ENOSYS where the
// system or the file system cannot.
int exchange(const std::filesystem::path& a, const std::filesystem::path& b);
// Whether `a` and `b` both name one file (a symbolic link is not followed).
bool same_entry(const std::filesystem::path& a, const std::filesystem::path& b);
int remove(const std::filesystem::path& path);
// A second name `link` for the entry `existing`, where the file system has
// hard links.
int add_link(const std::filesystem::path& existing, const std::filesystem::path& link);

// Whether new files can be made in `folder` (it is a folder the process may
// write to, as far as the system tells in advance).
int can_create_in(const std::filesystem::path& folder);
// Whether this process may replace `target` in `folder`: on POSIX, a folder
// with the sticky bit lets only the owners replace a file; on Windows, a
// file that another program holds open cannot be replaced (EBUSY).
int may_replace_in(const std::filesystem::path& folder, const std::filesystem::path& target);

// The old target, opened so that its contents stay readable after a rename
// replaced it; empty where a regular file is not there, or where the system
// cannot replace a file that is open (Windows).
FileHandle open_replaced(const std::filesystem::path& target);

int process_id();

}  // namespace korva::file_system
