// The output files of one assembly, written all or nothing: each file is
// written whole to a temporary file first, and only when every one of them
// is complete are they put in place, one rename each, in their fixed order.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "system/file_io.h"

namespace korva {

class OutputSet {
 public:
  // The targets, in the order in which they are put in place. They share
  // one folder.
  OutputSet(const std::vector<std::filesystem::path>& targets, FileWriteOptions options);

  std::size_t size() const { return files_.size(); }
  AtomicFile& file(std::size_t index) { return *files_[index]; }
  const AtomicFile& file(std::size_t index) const { return *files_[index]; }

  // Before anything is written: refuses a target that a file cannot
  // replace (a directory, a device, a FIFO, a socket) and a folder that
  // cannot take new files, and removes the temporary files that killed
  // runs left for these targets, if no running assembly still holds them.
  Expected<void> prepare();
  // Puts every file, all of them complete, in place. A failure leaves each
  // target as it was before (the renames already done are undone where the
  // old file could be kept aside) and removes every temporary file.
  Expected<void> commit();
  // Removes every temporary file; the targets stay as they are.
  void discard();

  // The first failure of one of the files, which prepare() and commit()
  // also fail with; empty while none failed.
  std::string error() const;

 private:
  // What stood at a target before the commit, so that it can be put back.
  struct Previous {
    enum class State { absent, kept, lost } state = State::lost;
    std::filesystem::path kept_as;  // a second name of the old file, when kept
  };

  Expected<void> check_targets();
  void remove_leftovers() const;
  std::vector<Previous> keep_previous();
  std::filesystem::path write_journal(const std::vector<Previous>& previous) const;
  void put_back(const std::vector<Previous>& previous, std::size_t renamed);
  void forget_previous(std::vector<Previous>& previous);

  std::filesystem::path folder_;
  FileWriteOptions options_;
  std::vector<std::unique_ptr<AtomicFile>> files_;
};

}  // namespace korva
