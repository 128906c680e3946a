#include "driver/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>

#include "driver/text_encoding.h"

namespace korva {
namespace {

// What a file that is not a regular file is, for the message that refuses it.
const char* file_kind(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// The message for a file that could not be opened or looked at, naming the
// reason in words for the cases a user meets most.
std::string open_failure(const std::filesystem::path& path, int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return describe_file_error(path, "not found", 0);
    case ELOOP:
      return describe_file_error(path, "cannot open: a loop of symbolic links", 0);
    case EACCES:
    case EPERM:
      return describe_file_error(path, "cannot open: permission denied", 0);
    default:
      return describe_file_error(path, "cannot open", error);
  }
}

FileContents failed_read(ReadStatus status, std::string error) {
  FileContents result;
  result.status = status;
  result.error = std::move(error);
  return result;
}

// The status and message for a file that is not a regular file or is too
// large; empty when it may be read.
std::optional<FileContents> refusal(const std::filesystem::path& path, const struct stat& status,
                                    std::uint64_t size_limit) {
  if (!S_ISREG(status.st_mode)) {
    return failed_read(
        ReadStatus::refused,
        describe_file_error(path, std::string("cannot read: it is ") + file_kind(status.st_mode),
                            0));
  }
  if (static_cast<std::uint64_t>(status.st_size) > size_limit) {
    return failed_read(
        ReadStatus::refused,
        describe_file_error(
            path, "cannot read: larger than " + std::to_string(size_limit >> 20) + " MiB", 0));
  }
  return std::nullopt;
}

std::string proc_path(int descriptor) {
  return "/proc/self/fd/" + std::to_string(descriptor);
}

std::filesystem::path folder_of(const std::filesystem::path& target) {
  const std::filesystem::path folder = target.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

constexpr int kNameAttempts = 100;

}  // namespace

std::filesystem::path temporary_name(const std::filesystem::path& target, std::string_view mark,
                                     int attempt) {
  std::filesystem::path name = target;
  name += std::string(mark) + std::to_string(::getpid()) + "-" + std::to_string(attempt);
  return name;
}

std::string describe_file_error(const std::filesystem::path& path, std::string_view what,
                                int error_number) {
  std::string text = cp932_from_os_path(path);
  text += ": ";
  text += what;
  if (error_number != 0) {
    text += " (";
    text += std::strerror(error_number);
    text += ")";
  }
  return text;
}

std::FILE* open_file(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  const std::wstring wide_mode(mode, mode + std::strlen(mode));
  return ::_wfopen(path.c_str(), wide_mode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

FileContents read_whole_file(const std::filesystem::path& path, std::uint64_t size_limit) {
  // Looked at before it is opened: opening a device or a FIFO can already
  // have an effect or wait.
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    const int error = errno;
    return failed_read(
        error == ENOENT || error == ENOTDIR ? ReadStatus::not_found : ReadStatus::cannot_open,
        open_failure(path, error));
  }
  if (auto refused = refusal(path, status, size_limit)) return std::move(*refused);

  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (descriptor < 0) {
    const int error = errno;
    return failed_read(error == ENOENT ? ReadStatus::not_found : ReadStatus::cannot_open,
                       open_failure(path, error));
  }
  FileContents result;
  // Looked at again: the name may have been given to another file since.
  if (::fstat(descriptor, &status) != 0) {
    result = failed_read(ReadStatus::read_failed, describe_file_error(path, "cannot read", errno));
  } else if (auto refused = refusal(path, status, size_limit)) {
    result = std::move(*refused);
  } else {
    try {
      result.bytes.reserve(static_cast<std::size_t>(status.st_size));
      char chunk[1 << 16];
      for (;;) {
        const ssize_t count = ::read(descriptor, chunk, sizeof chunk);
        if (count == 0) break;
        if (count < 0) {
          if (errno == EINTR) continue;
          result =
              failed_read(ReadStatus::read_failed, describe_file_error(path, "cannot read", errno));
          break;
        }
        // A file that grows while it is read is held to the same limit.
        if (result.bytes.size() + static_cast<std::size_t>(count) > size_limit) {
          result = failed_read(
              ReadStatus::refused,
              describe_file_error(
                  path, "cannot read: larger than " + std::to_string(size_limit >> 20) + " MiB",
                  0));
          break;
        }
        result.bytes.append(chunk, static_cast<std::size_t>(count));
      }
    } catch (const std::bad_alloc&) {
      result = failed_read(ReadStatus::read_failed,
                           describe_file_error(path, "too large to read into memory", 0));
    }
  }
  ::close(descriptor);
  if (result.status != ReadStatus::ok) result.bytes.clear();
  return result;
}

FileLock FileLock::acquire(const std::filesystem::path& path) {
  // Only a regular file or a folder is opened: opening a device can do
  // something of its own.
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0 || !(S_ISREG(before.st_mode) || S_ISDIR(before.st_mode))) {
    return {};
  }
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (descriptor < 0) return {};
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !(S_ISREG(status.st_mode) || S_ISDIR(status.st_mode))) {
    ::close(descriptor);
    return {};
  }
  while (::flock(descriptor, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    ::close(descriptor);
    return {};
  }
  return FileLock(descriptor);
}

void FileLock::release() {
  if (descriptor_ >= 0) ::close(descriptor_);  // closing releases the lock
  descriptor_ = -1;
}

void TemporaryNames::add(const std::filesystem::path& path) {
  const std::lock_guard lock(mutex_);
  paths_.push_back(path);
}

void TemporaryNames::remove(const std::filesystem::path& path) {
  const std::lock_guard lock(mutex_);
  const auto found = std::find(paths_.begin(), paths_.end(), path);
  if (found != paths_.end()) paths_.erase(found);
}

void TemporaryNames::remove_files() {
  const std::lock_guard lock(mutex_);
  for (const std::filesystem::path& path : paths_) ::unlink(path.c_str());
  paths_.clear();
}

AtomicFile::~AtomicFile() {
  discard();
}

int AtomicFile::injected(FileStep step) const {
  return options_.faults != nullptr ? options_.faults->fault(step, target_) : 0;
}

bool AtomicFile::fail(std::string_view what, int error_number) {
  if (!failed_) error_ = describe_file_error(target_, what, error_number);
  failed_ = true;
  return false;
}

bool AtomicFile::open() {
  discard();
  failed_ = false;
  error_.clear();
  in_place_ = false;
  written_ = 0;
  written_back_ = 0;
  if (const int error = injected(FileStep::create)) return fail("cannot create", error);
  if (options_.temporaries == TemporaryKind::unnamed_where_possible && open_unnamed()) return true;
  return open_named();
}

bool AtomicFile::open_unnamed() {
#if defined(O_TMPFILE)
  const int descriptor = ::open(folder_of(target_).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (descriptor < 0) return false;
  // The file gets its name through /proc; without it, a named file is the
  // only way.
  if (::access(proc_path(descriptor).c_str(), F_OK) != 0) {
    ::close(descriptor);
    return false;
  }
  static_cast<void>(::flock(descriptor, LOCK_EX | LOCK_NB));
  descriptor_ = descriptor;
  unnamed_ = true;
  return true;
#else
  return false;
#endif
}

bool AtomicFile::open_named() {
  std::unique_lock<std::recursive_mutex> hold;
  if (options_.names != nullptr) hold = options_.names->hold();
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::filesystem::path name = temporary_name(target_, kTemporaryMark, attempt);
    const int descriptor = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0) {
      if (errno == EEXIST) continue;
      return fail("cannot create", errno);
    }
    // Locked and still under its name: otherwise a clean-up of leftovers
    // took it between the two steps, and it is left to that clean-up.
    struct stat opened {
    }, named{};
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0 || ::fstat(descriptor, &opened) != 0 ||
        ::lstat(name.c_str(), &named) != 0 || !same_file(opened, named)) {
      ::close(descriptor);
      continue;
    }
    temporary_ = name;
    if (options_.names != nullptr) options_.names->add(temporary_);
    descriptor_ = descriptor;
    unnamed_ = false;
    return true;
  }
  return fail("cannot create", EEXIST);
}

bool AtomicFile::write(std::string_view bytes) {
  if (descriptor_ < 0 || failed_) return false;
  if (const int error = injected(FileStep::write)) return fail("cannot write", error);
  while (!bytes.empty()) {
    const ssize_t count = ::write(descriptor_, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return fail("cannot write", errno);
    }
    if (count == 0) return fail("cannot write", ENOSPC);
    bytes.remove_prefix(static_cast<std::size_t>(count));
    written_ += static_cast<std::uint64_t>(count);
  }
  return true;
}

void AtomicFile::start_write_back() {
#if defined(__linux__)
  if (descriptor_ < 0 || failed_ || written_ == written_back_) return;
  // Only a request: whatever goes wrong with it shows in a later step.
  static_cast<void>(::sync_file_range(descriptor_, static_cast<off_t>(written_back_),
                                      static_cast<off_t>(written_ - written_back_),
                                      SYNC_FILE_RANGE_WRITE));
  written_back_ = written_;
#endif
}

bool AtomicFile::close() {
  return descriptor_ >= 0 && !failed_;
}

std::FILE* AtomicFile::read_back() {
  if (descriptor_ < 0 || failed_) return nullptr;
  const int copy = ::dup(descriptor_);
  if (copy < 0) return nullptr;
  std::FILE* stream = nullptr;
  if (::lseek(copy, 0, SEEK_SET) == 0) stream = ::fdopen(copy, "rb");
  if (stream == nullptr) ::close(copy);
  return stream;
}

bool AtomicFile::link_unnamed() {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::filesystem::path name = temporary_name(target_, kTemporaryMark, attempt);
    int linked = ::linkat(AT_FDCWD, proc_path(descriptor_).c_str(), AT_FDCWD, name.c_str(),
                          AT_SYMLINK_FOLLOW);
#if defined(AT_EMPTY_PATH)
    if (linked != 0 && errno == ENOENT) {
      linked = ::linkat(descriptor_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
    }
#endif
    if (linked == 0) {
      temporary_ = name;
      if (options_.names != nullptr) options_.names->add(temporary_);
      unnamed_ = false;
      return true;
    }
    if (errno != EEXIST) return fail("cannot create", errno);
  }
  return fail("cannot create", EEXIST);
}

bool AtomicFile::give_name() {
  if (descriptor_ < 0 || failed_) return false;
  if (!unnamed_) return true;
  if (const int error = injected(FileStep::name)) return fail("cannot create", error);
  std::unique_lock<std::recursive_mutex> hold;
  if (options_.names != nullptr) hold = options_.names->hold();
  return link_unnamed();
}

void AtomicFile::forget_name() {
  if (options_.names != nullptr) options_.names->remove(temporary_);
  temporary_.clear();
}

bool AtomicFile::put_in_place() {
  if (!give_name()) return false;
  if (const int error = injected(FileStep::replace)) return fail("cannot replace", error);
  // A handle on the old target keeps its contents alive past the rename.
  // Only a regular file is opened (a FIFO could wait for a writer); a
  // symbolic link is replaced itself, so what it points to is not opened.
  struct stat old {};
  ReplacedFile old_target(::lstat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode)
                              ? std::fopen(target_.c_str(), "rbe")
                              : nullptr);
  std::unique_lock<std::recursive_mutex> hold;
  if (options_.names != nullptr) hold = options_.names->hold();
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return fail("cannot replace", errno);
  forget_name();
  in_place_ = true;
  ::close(descriptor_);  // also gives up the lock
  descriptor_ = -1;
  replaced_ = std::move(old_target);
  return true;
}

bool AtomicFile::commit() {
  return close() && give_name() && put_in_place();
}

void AtomicFile::discard() {
  std::unique_lock<std::recursive_mutex> hold;
  if (options_.names != nullptr) hold = options_.names->hold();
  // Removed while still locked, so that no clean-up takes it for a leftover
  // of a dead run in between.
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    forget_name();
  }
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = -1;
  unnamed_ = false;
}

std::string write_file_atomically(const std::filesystem::path& path, std::string_view bytes) {
  AtomicFile file(path);
  if (file.open() && file.write(bytes) && file.commit()) return {};
  return file.error();
}

}  // namespace korva
