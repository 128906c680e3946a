// The file layer's system calls on POSIX systems (Linux first: unnamed
// temporary files and name exchanges where the kernel has them).
#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "system/file_system.h"

namespace korva::file_system {
namespace {

int descriptor(const SystemFile& file) {
  return static_cast<int>(file.native());
}

Opened opened(int descriptor) {
  Opened result;
  if (descriptor < 0) {
    result.error = errno;
  } else {
    result.file = SystemFile(descriptor);
  }
  return result;
}

FileKind kind_of(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::regular;
  if (S_ISDIR(mode)) return FileKind::directory;
  if (S_ISLNK(mode)) return FileKind::symbolic_link;
  if (S_ISFIFO(mode)) return FileKind::fifo;
  if (S_ISCHR(mode)) return FileKind::character_device;
  if (S_ISBLK(mode)) return FileKind::block_device;
  if (S_ISSOCK(mode)) return FileKind::socket;
  return FileKind::other;
}

int take_status(int result, const struct stat& system, FileStatus& status) {
  if (result != 0) return errno;
  status.kind = kind_of(system.st_mode);
  status.size = static_cast<std::uint64_t>(system.st_size);
  return 0;
}

std::string proc_path(int descriptor) {
  return "/proc/self/fd/" + std::to_string(descriptor);
}

}  // namespace

void SystemFile::close() {
  if (native_ != kNone) ::close(static_cast<int>(native_));
  native_ = kNone;
}

void SystemLock::release() {
  handle_.close();  // closing releases the lock
  mutex_ = false;
}

int status_of(const std::filesystem::path& path, FileStatus& status) {
  struct stat system {};
  return take_status(::stat(path.c_str(), &system), system, status);
}

int entry_status(const std::filesystem::path& path, FileStatus& status) {
  struct stat system {};
  return take_status(::lstat(path.c_str(), &system), system, status);
}

int status_of(const SystemFile& file, FileStatus& status) {
  struct stat system {};
  return take_status(::fstat(descriptor(file), &system), system, status);
}

Opened open_to_read(const std::filesystem::path& path) {
  return opened(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
}

Opened open_entry(const std::filesystem::path& path) {
  return opened(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
}

Opened create_new(const std::filesystem::path& path) {
  return opened(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
}

Opened create_unnamed(const std::filesystem::path& folder) {
#if defined(O_TMPFILE)
  Opened result = opened(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
  if (result.error != 0) return result;
  // The file gets its name through /proc; without it, it could get none.
  if (::access(proc_path(descriptor(result.file)).c_str(), F_OK) != 0) {
    result.error = errno;
    result.file.close();
    return result;
  }
  static_cast<void>(try_lock(result.file));
  return result;
#else
  static_cast<void>(folder);
  return Opened{SystemFile(), EOPNOTSUPP};
#endif
}

int name_unnamed(const SystemFile& file, const std::filesystem::path& path) {
  if (::linkat(AT_FDCWD, proc_path(descriptor(file)).c_str(), AT_FDCWD, path.c_str(),
               AT_SYMLINK_FOLLOW) == 0) {
    return 0;
  }
#if defined(AT_EMPTY_PATH)
  if (errno == ENOENT &&
      ::linkat(descriptor(file), "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) {
    return 0;
  }
#endif
  return errno;
}

Transfer read_some(const SystemFile& file, char* bytes, std::size_t size) {
  for (;;) {
    const ssize_t count = ::read(descriptor(file), bytes, size);
    if (count >= 0) return Transfer{static_cast<std::size_t>(count), 0};
    if (errno != EINTR) return Transfer{0, errno};
  }
}

Transfer write_some(const SystemFile& file, const char* bytes, std::size_t size) {
  for (;;) {
    const ssize_t count = ::write(descriptor(file), bytes, size);
    if (count >= 0) return Transfer{static_cast<std::size_t>(count), 0};
    if (errno != EINTR) return Transfer{0, errno};
  }
}

bool try_lock(const SystemFile& file) {
  return ::flock(descriptor(file), LOCK_EX | LOCK_NB) == 0;
}

SystemLock lock_and_wait(SystemFile file, FileKind kind) {
  static_cast<void>(kind);  // flock takes files and folders alike
  while (::flock(descriptor(file), LOCK_EX) != 0) {
    if (errno != EINTR) return {};
  }
  return SystemLock(std::move(file), false);
}

bool still_named(const SystemFile& file, const std::filesystem::path& path) {
  struct stat opened {
  }, named{};
  return ::fstat(descriptor(file), &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

int replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int exchange(const std::filesystem::path& a, const std::filesystem::path& b) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
  if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) return 0;
  // A kernel or a file system without the exchange.
  return errno == EINVAL || errno == ENOSYS ? ENOSYS : errno;
#else
  static_cast<void>(a);
  static_cast<void>(b);
  return ENOSYS;
#endif
}

bool same_entry(const std::filesystem::path& a, const std::filesystem::path& b) {
  struct stat first {
  }, second{};
  return ::lstat(a.c_str(), &first) == 0 && ::lstat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

int remove(const std::filesystem::path& path) {
  return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int add_link(const std::filesystem::path& existing, const std::filesystem::path& link) {
  // Not following a symbolic link: the link itself is what a rename replaces.
  return ::linkat(AT_FDCWD, existing.c_str(), AT_FDCWD, link.c_str(), 0) == 0 ? 0 : errno;
}

int can_create_in(const std::filesystem::path& folder) {
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0) return errno;
  // A regular file where the folder should be: access() would call that a
  // missing permission.
  if (!S_ISDIR(status.st_mode)) return ENOTDIR;
  return ::access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

int may_replace_in(const std::filesystem::path& folder, const std::filesystem::path& target) {
  struct stat folder_status {
  }, target_status{};
  if (::stat(folder.c_str(), &folder_status) != 0 || ::lstat(target.c_str(), &target_status) != 0) {
    return 0;  // what cannot be looked at fails in its own step
  }
  // In a folder with the sticky bit only the owners may replace a file.
  const uid_t user = ::geteuid();
  if ((folder_status.st_mode & S_ISVTX) != 0 && user != 0 && target_status.st_uid != user &&
      folder_status.st_uid != user) {
    return EPERM;
  }
  return 0;
}

FileHandle open_replaced(const std::filesystem::path& target) {
  // Only a regular file is opened (a FIFO could wait for a writer); a
  // symbolic link is replaced itself, so what it points to is not opened.
  struct stat old {};
  if (::lstat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return {};
  return FileHandle(std::fopen(target.c_str(), "rbe"));
}

int process_id() {
  return static_cast<int>(::getpid());
}

}  // namespace korva::file_system
