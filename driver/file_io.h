// Whole-file reading and all-or-nothing file writing. Every failure comes
// back as a value with a readable message; nothing is thrown.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace korva {

// std::fopen for a file-system path: on Windows through the path's UTF-16
// form, so that names outside the system's code page open too.
std::FILE* open_file(const std::filesystem::path& path, const char* mode);

enum class ReadStatus { ok, cannot_open, read_failed };

struct FileContents {
  ReadStatus status = ReadStatus::ok;
  std::string bytes;
  std::string error;  // why it failed, when it did
};

FileContents read_whole_file(const std::filesystem::path& path);

// An open handle on a file that a commit replaced. The system frees the old
// contents (for a large file, a noticeable piece of work) only when the last
// handle closes, so whoever holds this decides where that happens. Closes
// when destroyed.
class ReplacedFile {
 public:
  ReplacedFile() = default;
  explicit ReplacedFile(std::FILE* file) : file_(file) {}
  ~ReplacedFile() { close(); }
  ReplacedFile(ReplacedFile&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}
  ReplacedFile& operator=(ReplacedFile&& other) noexcept {
    if (this != &other) {
      close();
      file_ = std::exchange(other.file_, nullptr);
    }
    return *this;
  }
  ReplacedFile(const ReplacedFile&) = delete;
  ReplacedFile& operator=(const ReplacedFile&) = delete;

  bool holds_file() const { return file_ != nullptr; }
  void close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
  }

 private:
  std::FILE* file_ = nullptr;
};

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
  // Asks the system to start writing what was written since the last call
  // out to the disk, without waiting. Replacing an existing target makes the
  // file system put the whole new file on its way at once, inside commit();
  // asked for piece by piece from a background thread, that work is done by
  // then. Does nothing where the system offers no such request.
  void start_write_back();
  bool close();  // flushes and closes the temporary file
  // Closes if needed, then renames the temporary file over the target. Where
  // the system lets a file be replaced while open, the replaced file is kept
  // open for take_replaced().
  bool commit();
  void discard();
  // The file that commit() replaced, if it was kept open; else an empty one.
  ReplacedFile take_replaced() { return std::move(replaced_); }

  const std::filesystem::path& target() const { return target_; }
  const std::filesystem::path& temporary() const { return temporary_; }
  const std::string& error() const { return error_; }

 private:
  bool fail(std::string_view what);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::FILE* file_ = nullptr;
  ReplacedFile replaced_;
  bool buffered_;
  std::uint64_t written_ = 0;       // bytes written to the temporary file
  std::uint64_t written_back_ = 0;  // of those, the ones start_write_back() asked for
  std::string error_;
  bool failed_ = false;
};

// Writes `bytes` to `path` through an AtomicFile. Returns an empty text on
// success, otherwise the message.
std::string write_file_atomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace korva
