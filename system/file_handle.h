// The owner of an open stdio stream: closes it when it goes, moves but
// never copies, so that whoever holds it is plainly the one to close it.
#pragma once

#include <cstdio>
#include <utility>

namespace korva {

class FileHandle {
 public:
  FileHandle() = default;
  // Takes `file` over; null gives an empty handle.
  explicit FileHandle(std::FILE* file) : file_(file) {}
  ~FileHandle() { close(); }
  FileHandle(FileHandle&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}
  FileHandle& operator=(FileHandle&& other) noexcept {
    if (this != &other) {
      close();
      file_ = std::exchange(other.file_, nullptr);
    }
    return *this;
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool is_open() const { return file_ != nullptr; }
  explicit operator bool() const { return is_open(); }
  // The stream, for stdio calls; it stays owned by this handle.
  std::FILE* get() const { return file_; }
  void close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
  }

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace korva
