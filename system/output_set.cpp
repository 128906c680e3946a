#include "system/output_set.h"

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string_view>
#include <system_error>

#include "system/commit_journal.h"
#include "system/file_system.h"

namespace korva {
namespace {

namespace sys = file_system;

// Whether `name` is a temporary file that a run left for the target named
// `target_name`.
bool is_leftover_of(NativeName name, NativeName target_name) {
  return is_marked_name_of(name, target_name, kTemporaryMark) ||
         is_marked_name_of(name, target_name, kPreviousMark);
}

// Removes a leftover whose writer is gone: a running writer holds the lock
// on its temporary file until it is in place or removed.
void remove_if_abandoned(const std::filesystem::path& path) {
  const sys::Opened opened = sys::open_entry(path);
  if (opened.error != 0) return;
  sys::FileStatus status;
  if (sys::status_of(opened.file, status) == 0 && status.kind == sys::FileKind::regular &&
      sys::try_lock(opened.file) && sys::still_named(opened.file, path)) {
    sys::remove(path);
  }
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
Expected<void> OutputSet::check_targets() {
  if (const int error = sys::can_create_in(folder_)) {
    return files_.front()->fail("cannot create", error);
  }
  for (const std::unique_ptr<AtomicFile>& file : files_) {
    sys::FileStatus target;
    if (const int error = sys::entry_status(file->target(), target)) {
      if (error == ENOENT) continue;
      return file->fail("cannot replace", error);
    }
    if (target.kind != sys::FileKind::regular && target.kind != sys::FileKind::symbolic_link) {
      return file->fail(std::string("cannot replace: it is ") + file_kind_text(target.kind), 0);
    }
    if (const int error = sys::may_replace_in(folder_, file->target())) {
      if (error == EBUSY) return file->fail("cannot replace: another program has it open", 0);
      return file->fail("cannot replace", error);
    }
  }
  return {};
}

Expected<void> OutputSet::prepare() {
  if (files_.empty()) return {};
  if (Expected<void> checked = check_targets(); !checked) return checked;
  remove_leftovers();
  return {};
}

void OutputSet::remove_leftovers() const {
  // Under the folder's lock, as commits are: the old files that a running
  // commit keeps aside are never taken for leftovers.
  const FileLock folder_lock = FileLock::acquire(folder_);
  std::vector<std::filesystem::path> entries;
  std::error_code error;
  std::filesystem::directory_iterator listing(folder_, error);
  for (; !error && listing != std::filesystem::directory_iterator(); listing.increment(error)) {
    entries.push_back(listing->path());
  }
  // First the commits that killed runs left half done, whose temporary
  // files are no leftovers: they go in place.
  for (const std::filesystem::path& entry : entries) {
    if (is_commit_journal(entry.filename().native())) complete_interrupted_commit(entry);
  }
  for (const std::filesystem::path& entry : entries) {
    const std::filesystem::path name = entry.filename();
    for (const std::unique_ptr<AtomicFile>& file : files_) {
      if (is_leftover_of(name.native(), file->target().filename().native())) {
        remove_if_abandoned(entry);
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
    sys::FileStatus status;
    if (const int error = sys::entry_status(target, status)) {
      if (error == ENOENT) previous[i].state = Previous::State::absent;
      continue;
    }
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
      const std::filesystem::path name = temporary_name(target, kPreviousMark, attempt);
      const int error = sys::add_link(target, name);
      if (error == 0) {
        if (options_.names != nullptr) options_.names->add(name);
        previous[i] = Previous{Previous::State::kept, name};
        break;
      }
      if (error != EEXIST) break;  // no second name here (a file system without links)
    }
  }
  return previous;
}

void OutputSet::put_back(const std::vector<Previous>& previous, std::size_t renamed) {
  for (std::size_t i = renamed; i-- > 0;) {
    const std::filesystem::path& target = files_[i]->target();
    switch (previous[i].state) {
      case Previous::State::kept:
        if (sys::replace(previous[i].kept_as, target) == 0 && options_.names != nullptr) {
          options_.names->remove(previous[i].kept_as);
        }
        break;
      case Previous::State::absent:
        sys::remove(target);
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
    sys::remove(old.kept_as);
    if (options_.names != nullptr) options_.names->remove(old.kept_as);
    old.state = Previous::State::lost;
  }
}

Expected<void> OutputSet::commit() {
  if (files_.empty()) return {};
  // Two assemblies writing the same targets put their sets in place one
  // after the other, never interleaved; a termination request waits until
  // the set is in place.
  const FileLock folder_lock = FileLock::acquire(folder_);
  std::unique_lock<std::recursive_mutex> hold;
  if (options_.names != nullptr) hold = options_.names->hold();
  bool ready = static_cast<bool>(check_targets());
  for (const std::unique_ptr<AtomicFile>& file : files_) {
    ready = ready && file->close() && file->give_name();
  }
  if (!ready) {
    discard();
    return fail(error());
  }
  std::vector<Previous> previous = keep_previous();
  const std::filesystem::path journal = write_journal(previous);
  for (std::size_t i = 0; i < files_.size(); ++i) {
    // An exchange leaves the old file under the temporary name for a
    // moment: only where the old file has its second name can a journal
    // tell the two apart after a crash.
    const AtomicFile::Replacement how = previous[i].state == Previous::State::kept
                                            ? AtomicFile::Replacement::exchange
                                            : AtomicFile::Replacement::rename;
    if (!files_[i]->put_in_place(how)) {
      // Undone from here on: a journal would finish the renames instead.
      if (!journal.empty()) sys::remove(journal);
      put_back(previous, i);
      for (std::size_t j = 0; j < i; ++j) {
        if (previous[j].state == Previous::State::kept) previous[j].state = Previous::State::lost;
      }
      forget_previous(previous);
      discard();
      return fail(error());
    }
  }
  if (!journal.empty()) sys::remove(journal);
  forget_previous(previous);
  return {};
}

std::filesystem::path OutputSet::write_journal(const std::vector<Previous>& previous) const {
  std::vector<JournalEntry> entries;
  for (std::size_t i = 0; i < files_.size(); ++i) {
    entries.push_back({files_[i]->temporary(), files_[i]->target(),
                       previous[i].state == Previous::State::kept ? previous[i].kept_as
                                                                  : std::filesystem::path()});
  }
  return write_commit_journal(entries);
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
