#include "system/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>

#include "system/text_encoding.h"

namespace korva {
namespace {

namespace sys = file_system;

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
    case EBUSY:
      return describe_file_error(path, "cannot open: another program has it open", 0);
    default:
      return describe_file_error(path, "cannot open", error);
  }
}

FileContents failed_read(ReadFailure reason, std::string message) {
  return fail(reason, std::move(message));
}

FileContents too_large(const std::filesystem::path& path, std::uint64_t size_limit) {
  return failed_read(
      ReadFailure::refused,
      describe_file_error(
          path, "cannot read: larger than " + std::to_string(size_limit >> 20) + " MiB", 0));
}

// The status and message for a file that is not a regular file or is too
// large; empty when it may be read.
std::optional<FileContents> refusal(const std::filesystem::path& path,
                                    const sys::FileStatus& status, std::uint64_t size_limit) {
  if (status.kind != sys::FileKind::regular) {
    return failed_read(
        ReadFailure::refused,
        describe_file_error(path, std::string("cannot read: it is ") + file_kind_text(status.kind),
                            0));
  }
  if (status.size > size_limit) return too_large(path, size_limit);
  return std::nullopt;
}

// Reads the open regular file to its end, held to `size_limit`.
FileContents read_to_end(const std::filesystem::path& path, const sys::SystemFile& file,
                         std::uint64_t size_hint, std::uint64_t size_limit) {
  std::string bytes;
  std::size_t filled = 0;
  try {
    // Read straight into the text: room for the size the file had and one
    // byte more, so that the read that finds the end needs no more room.
    bytes.resize(static_cast<std::size_t>(size_hint) + 1);
    for (;;) {
      // A file that grew since is read on with doubled room.
      if (filled == bytes.size()) bytes.resize(2 * bytes.size());
      const sys::Transfer read = sys::read_some(file, bytes.data() + filled, bytes.size() - filled);
      if (read.error != 0) {
        return failed_read(ReadFailure::read_failed,
                           describe_file_error(path, "cannot read", read.error));
      }
      if (read.count == 0) break;
      // A file that grows while it is read is held to the same limit.
      if (filled + read.count > size_limit) return too_large(path, size_limit);
      filled += read.count;
    }
  } catch (const std::bad_alloc&) {
    return failed_read(ReadFailure::read_failed,
                       describe_file_error(path, "too large to read into memory", 0));
  }
  bytes.resize(filled);
  return bytes;
}

bool is_regular_or_folder(const sys::FileStatus& status) {
  return status.kind == sys::FileKind::regular || status.kind == sys::FileKind::directory;
}

std::filesystem::path folder_of(const std::filesystem::path& target) {
  const std::filesystem::path folder = target.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

}  // namespace

const char* file_kind_text(file_system::FileKind kind) {
  switch (kind) {
    case file_system::FileKind::directory:
      return "a directory";
    case file_system::FileKind::fifo:
      return "a FIFO";
    case file_system::FileKind::character_device:
      return "a character device";
    case file_system::FileKind::block_device:
      return "a block device";
    case file_system::FileKind::socket:
      return "a socket";
    default:
      return "not a regular file";
  }
}

std::filesystem::path temporary_name(const std::filesystem::path& target, std::string_view mark,
                                     int attempt) {
  std::filesystem::path name = target;
  name += std::string(mark) + std::to_string(sys::process_id()) + "-" + std::to_string(attempt);
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

FileContents read_whole_file(const std::filesystem::path& path, std::uint64_t size_limit) {
  // Looked at before it is opened: opening a device or a FIFO can already
  // have an effect or wait.
  sys::FileStatus status;
  if (const int error = sys::status_of(path, status)) {
    return failed_read(
        error == ENOENT || error == ENOTDIR ? ReadFailure::not_found : ReadFailure::cannot_open,
        open_failure(path, error));
  }
  if (auto refused = refusal(path, status, size_limit)) return std::move(*refused);

  const sys::Opened opened = sys::open_to_read(path);
  if (opened.error != 0) {
    return failed_read(opened.error == ENOENT ? ReadFailure::not_found : ReadFailure::cannot_open,
                       open_failure(path, opened.error));
  }
  // Looked at again: the name may have been given to another file since.
  if (const int error = sys::status_of(opened.file, status)) {
    return failed_read(ReadFailure::read_failed, describe_file_error(path, "cannot read", error));
  }
  if (auto refused = refusal(path, status, size_limit)) return std::move(*refused);
  return read_to_end(path, opened.file, status.size, size_limit);
}

FileLock FileLock::acquire(const std::filesystem::path& path) {
  // Only a regular file or a folder is opened: opening a device can do
  // something of its own.
  sys::FileStatus status;
  if (sys::status_of(path, status) != 0 || !is_regular_or_folder(status)) return {};
  sys::Opened opened = sys::open_to_read(path);
  if (opened.error != 0) return {};
  if (sys::status_of(opened.file, status) != 0 || !is_regular_or_folder(status)) return {};
  FileLock lock;
  lock.lock_ = sys::lock_and_wait(std::move(opened.file), status.kind);
  return lock;
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
  for (const std::filesystem::path& path : paths_) sys::remove(path);
  paths_.clear();
}

AtomicFile::~AtomicFile() {
  discard();
}

int AtomicFile::injected(FileStep step) const {
  return options_.faults != nullptr ? options_.faults->fault(step, target_) : 0;
}

Expected<void> AtomicFile::fail(std::string_view what, int error_number) {
  if (!failed_) error_ = describe_file_error(target_, what, error_number);
  failed_ = true;
  return korva::fail(error_);
}

// The answer of a step that cannot run: the file failed before, or it is
// not open.
Expected<void> AtomicFile::stopped() const {
  return korva::fail(failed_ ? error_ : describe_file_error(target_, "not open", 0));
}

Expected<void> AtomicFile::open() {
  discard();
  failed_ = false;
  error_.clear();
  in_place_ = false;
  if (const int error = injected(FileStep::create)) return fail("cannot create", error);
  if (options_.temporaries == TemporaryKind::unnamed_where_possible && open_unnamed()) return {};
  return open_named();
}

bool AtomicFile::open_unnamed() {
  sys::Opened opened = sys::create_unnamed(folder_of(target_));
  if (opened.error != 0) return false;
  file_ = std::move(opened.file);
  unnamed_ = true;
  return true;
}

Expected<void> AtomicFile::open_named() {
  std::unique_lock<std::recursive_mutex> hold;
  if (options_.names != nullptr) hold = options_.names->hold();
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::filesystem::path name = temporary_name(target_, kTemporaryMark, attempt);
    sys::Opened created = sys::create_new(name);
    if (created.error == EEXIST) continue;
    if (created.error != 0) return fail("cannot create", created.error);
    // Locked and still under its name: otherwise a clean-up of leftovers
    // took it between the two steps, and it is left to that clean-up.
    if (!sys::try_lock(created.file) || !sys::still_named(created.file, name)) continue;
    temporary_ = name;
    if (options_.names != nullptr) options_.names->add(temporary_);
    file_ = std::move(created.file);
    unnamed_ = false;
    return {};
  }
  return fail("cannot create", EEXIST);
}

Expected<void> AtomicFile::write(std::string_view bytes) {
  if (!file_.is_open() || failed_) return stopped();
  if (const int error = injected(FileStep::write)) return fail("cannot write", error);
  while (!bytes.empty()) {
    const sys::Transfer written = sys::write_some(file_, bytes.data(), bytes.size());
    if (written.error != 0) return fail("cannot write", written.error);
    if (written.count == 0) return fail("cannot write", ENOSPC);
    bytes.remove_prefix(written.count);
  }
  return {};
}

Expected<void> AtomicFile::close() {
  if (!file_.is_open() || failed_) return stopped();
  return {};
}

Expected<void> AtomicFile::link_unnamed() {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::filesystem::path name = temporary_name(target_, kTemporaryMark, attempt);
    const int error = sys::name_unnamed(file_, name);
    if (error == 0) {
      temporary_ = name;
      if (options_.names != nullptr) options_.names->add(temporary_);
      unnamed_ = false;
      return {};
    }
    if (error != EEXIST) return fail("cannot create", error);
  }
  return fail("cannot create", EEXIST);
}

Expected<void> AtomicFile::give_name() {
  if (!file_.is_open() || failed_) return stopped();
  if (!unnamed_) return {};
  if (const int error = injected(FileStep::name)) return fail("cannot create", error);
  std::unique_lock<std::recursive_mutex> hold;
  if (options_.names != nullptr) hold = options_.names->hold();
  return link_unnamed();
}

void AtomicFile::forget_name() {
  if (options_.names != nullptr) options_.names->remove(temporary_);
  temporary_.clear();
}

Expected<void> AtomicFile::put_in_place(Replacement how) {
  if (Expected<void> named = give_name(); !named) return named;
  if (const int error = injected(FileStep::replace)) return fail("cannot replace", error);
  // A handle on the old target keeps its contents alive past the rename.
  ReplacedFile old_target(sys::open_replaced(target_));
  std::unique_lock<std::recursive_mutex> hold;
  if (options_.names != nullptr) hold = options_.names->hold();
  // Only a file takes the place of a file: the names of a folder would be
  // exchanged as well.
  if (how == Replacement::exchange && sys::is_regular_entry(target_) &&
      sys::exchange(temporary_, target_) == 0) {
    // The old file now has the temporary name; a leftover of it, should
    // this fail, is removed as such by the next run.
    sys::remove(temporary_);
  } else if (const int error = sys::replace(temporary_, target_)) {
    return fail("cannot replace", error);
  }
  forget_name();
  in_place_ = true;
  file_.close();  // also gives up the lock
  replaced_ = std::move(old_target);
  return {};
}

Expected<void> AtomicFile::commit() {
  if (Expected<void> closed = close(); !closed) return closed;
  return put_in_place();
}

void AtomicFile::discard() {
  std::unique_lock<std::recursive_mutex> hold;
  if (options_.names != nullptr) hold = options_.names->hold();
  // Removed while still locked, so that no clean-up takes it for a leftover
  // of a dead run in between.
  if (!temporary_.empty()) {
    sys::remove(temporary_);
    forget_name();
  }
  file_.close();
  unnamed_ = false;
}

Expected<void> write_file_atomically(const std::filesystem::path& path, std::string_view bytes) {
  AtomicFile file(path);
  if (file.open() && file.write(bytes) && file.commit()) return {};
  return korva::fail(file.error());
}

}  // namespace korva
