// Whole-file reading and all-or-nothing file writing. Every failure comes
// back as a value with a readable message; nothing is thrown.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace korva {

enum class ReadStatus { ok, cannot_open, read_failed };

struct FileContents {
  ReadStatus status = ReadStatus::ok;
  std::string bytes;
  std::string error;  // why it failed, when it did
};

FileContents read_whole_file(const std::filesystem::path& path);

// Writes a file through a temporary file in the same folder, which replaces
// the target only on commit(), so the target is either the old file or the
// complete new one. The temporary file is removed unless committed.
class AtomicFile {
 public:
  // `buffered` false passes every write straight to the system, for a file
  // written in large blocks that a stdio buffer would only copy once more.
  explicit AtomicFile(std::filesystem::path target, bool buffered = true)
      : target_(std::move(target)), buffered_(buffered) {}
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool open();
  bool write(std::string_view bytes);
  bool close();   // flushes and closes the temporary file
  bool commit();  // closes if needed, then renames it over the target
  void discard();

  const std::filesystem::path& target() const { return target_; }
  const std::filesystem::path& temporary() const { return temporary_; }
  const std::string& error() const { return error_; }

 private:
  bool fail(std::string_view what);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::FILE* file_ = nullptr;
  bool buffered_;
  std::string error_;
  bool failed_ = false;
};

// Writes `bytes` to `path` through an AtomicFile. Returns an empty text on
// success, otherwise the message.
std::string write_file_atomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace korva
