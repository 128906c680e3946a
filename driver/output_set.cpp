#include "driver/output_set.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <mutex>
#include <string_view>
#include <system_error>

namespace korva {
namespace {

constexpr int kNameAttempts = 100;

// "PID-N": the part of a temporary file's name after its mark.
bool is_process_and_attempt(std::string_view text) {
  const std::size_t dash = text.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == text.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != dash && std::isdigit(static_cast<unsigned char>(text[i])) == 0) return false;
  }
  return true;
}

// Whether `name` is a temporary file that a run left for the target named
// `target_name`.
bool is_leftover_of(std::string_view name, std::string_view target_name) {
  if (name.substr(0, target_name.size()) != target_name) return false;
  const std::string_view rest = name.substr(target_name.size());
  for (const std::string_view mark : {kTemporaryMark, kPreviousMark}) {
    if (rest.substr(0, mark.size()) == mark && is_process_and_attempt(rest.substr(mark.size()))) {
      return true;
    }
  }
  return false;
}

// Removes a leftover whose writer is gone: a running writer holds the lock
// on its temporary file until it is in place or removed.
void remove_if_abandoned(const std::filesystem::path& path) {
  const int descriptor =
      ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) return;
  struct stat opened {
  }, named{};
  if (::fstat(descriptor, &opened) == 0 && S_ISREG(opened.st_mode) &&
      ::flock(descriptor, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 &&
      opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
    ::unlink(path.c_str());
  }
  ::close(descriptor);
}

const char* target_kind(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

}  // namespace

OutputSet::OutputSet(const std::vector<std::filesystem::path>& targets, FileWriteOptions options)
    : options_(options) {
  for (const std::filesystem::path& target : targets) {
    files_.push_back(std::make_unique<AtomicFile>(target, options));
  }
  if (!targets.empty()) {
    folder_ = targets.front().parent_path();
    if (folder_.empty()) folder_ = ".";
  }
}

// The reasons known in advance for which a rename would fail, so that none
// of them is found only after some files are already in place.
bool OutputSet::check_targets() {
  struct stat folder {};
  if (::stat(folder_.c_str(), &folder) != 0) return files_.front()->fail("cannot create", errno);
  if (::access(folder_.c_str(), W_OK | X_OK) != 0) {
    return files_.front()->fail("cannot create", errno);
  }
  for (const std::unique_ptr<AtomicFile>& file : files_) {
    struct stat target {};
    if (::lstat(file->target().c_str(), &target) != 0) {
      if (errno == ENOENT) continue;
      return file->fail("cannot replace", errno);
    }
    if (S_ISDIR(target.st_mode)) return file->fail("cannot replace: it is a directory", 0);
    if (!S_ISREG(target.st_mode) && !S_ISLNK(target.st_mode)) {
      return file->fail(std::string("cannot replace: it is ") + target_kind(target.st_mode), 0);
    }
    // In a folder with the sticky bit only the owners may replace a file.
    const uid_t user = ::geteuid();
    if ((folder.st_mode & S_ISVTX) != 0 && user != 0 && target.st_uid != user &&
        folder.st_uid != user) {
      return file->fail("cannot replace", EPERM);
    }
  }
  return true;
}

bool OutputSet::prepare() {
  if (files_.empty()) return true;
  if (!check_targets()) return false;
  remove_leftovers();
  return true;
}

void OutputSet::remove_leftovers() const {
  // Under the folder's lock, as commits are: the old files that a running
  // commit keeps aside are never taken for leftovers.
  const FileLock folder_lock = FileLock::acquire(folder_);
  std::error_code error;
  std::filesystem::directory_iterator entries(folder_, error);
  for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    const std::string name = entries->path().filename().native();
    for (const std::unique_ptr<AtomicFile>& file : files_) {
      if (is_leftover_of(name, file->target().filename().native())) {
        remove_if_abandoned(entries->path());
        break;
      }
    }
  }
}

// Gives each old target a second name, so that a failed rename can be undone.
std::vector<OutputSet::Previous> OutputSet::keep_previous() {
  std::vector<Previous> previous(files_.size());
  for (std::size_t i = 0; i < files_.size(); ++i) {
    const std::filesystem::path& target = files_[i]->target();
    struct stat status {};
    if (::lstat(target.c_str(), &status) != 0) {
      if (errno == ENOENT) previous[i].state = Previous::State::absent;
      continue;
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      const std::filesystem::path name = temporary_name(target, kPreviousMark, attempt);
      // Not following a symbolic link: the link itself is what is replaced.
      if (::linkat(AT_FDCWD, target.c_str(), AT_FDCWD, name.c_str(), 0) == 0) {
        if (options_.names != nullptr) options_.names->add(name);
        previous[i] = Previous{Previous::State::kept, name};
        break;
      }
      if (errno != EEXIST) break;  // no second name here (a file system without links)
    }
  }
  return previous;
}

void OutputSet::put_back(const std::vector<Previous>& previous, std::size_t renamed) {
  for (std::size_t i = renamed; i-- > 0;) {
    const std::filesystem::path& target = files_[i]->target();
    switch (previous[i].state) {
      case Previous::State::kept:
        if (::rename(previous[i].kept_as.c_str(), target.c_str()) == 0 &&
            options_.names != nullptr) {
          options_.names->remove(previous[i].kept_as);
        }
        break;
      case Previous::State::absent:
        ::unlink(target.c_str());
        break;
      case Previous::State::lost:
        break;
    }
  }
}

void OutputSet::forget_previous(std::vector<Previous>& previous) {
  for (Previous& old : previous) {
    if (old.state != Previous::State::kept) continue;
    // Gone when it was put back; otherwise the second name goes.
    ::unlink(old.kept_as.c_str());
    if (options_.names != nullptr) options_.names->remove(old.kept_as);
    old.state = Previous::State::lost;
  }
}

bool OutputSet::commit() {
  if (files_.empty()) return true;
  // Two assemblies writing the same targets put their sets in place one
  // after the other, never interleaved; a termination request waits until
  // the set is in place.
  const FileLock folder_lock = FileLock::acquire(folder_);
  std::unique_lock<std::recursive_mutex> hold;
  if (options_.names != nullptr) hold = options_.names->hold();
  bool ready = check_targets();
  for (const std::unique_ptr<AtomicFile>& file : files_) {
    ready = ready && file->close() && file->give_name();
  }
  if (!ready) {
    discard();
    return false;
  }
  std::vector<Previous> previous = keep_previous();
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (!files_[i]->put_in_place()) {
      put_back(previous, i);
      for (std::size_t j = 0; j < i; ++j) {
        if (previous[j].state == Previous::State::kept) previous[j].state = Previous::State::lost;
      }
      forget_previous(previous);
      discard();
      return false;
    }
  }
  forget_previous(previous);
  return true;
}

void OutputSet::discard() {
  for (const std::unique_ptr<AtomicFile>& file : files_) file->discard();
}

std::string OutputSet::error() const {
  for (const std::unique_ptr<AtomicFile>& file : files_) {
    if (!file->error().empty()) return file->error();
  }
  return {};
}

}  // namespace korva
