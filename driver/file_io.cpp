#include "driver/file_io.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

#include "driver/text_encoding.h"

#if defined(__linux__)
#include <fcntl.h>
#include <stdio.h>
#endif

namespace korva {
namespace {

std::string describe(const std::filesystem::path& path, std::string_view what, int error) {
  std::string text = cp932_from_os_path(path);
  text += ": ";
  text += what;
  if (error != 0) {
    text += " (";
    text += std::strerror(error);
    text += ")";
  }
  return text;
}

}  // namespace

std::FILE* open_file(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  const std::wstring wide_mode(mode, mode + std::strlen(mode));
  return ::_wfopen(path.c_str(), wide_mode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

FileContents read_whole_file(const std::filesystem::path& path) {
  FileContents result;
  errno = 0;
  std::FILE* file = open_file(path, "rb");
  if (file == nullptr) {
    result.status = ReadStatus::cannot_open;
    result.error = describe(path, "cannot open", errno);
    return result;
  }
  try {
    char chunk[1 << 16];
    std::size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
      result.bytes.append(chunk, count);
    if (std::ferror(file)) {
      result.status = ReadStatus::read_failed;
      result.error = describe(path, "cannot read", errno);
    }
  } catch (const std::bad_alloc&) {
    result.status = ReadStatus::read_failed;
    result.error = describe(path, "too large to read into memory", 0);
  }
  std::fclose(file);
  if (result.status != ReadStatus::ok) result.bytes.clear();
  return result;
}

AtomicFile::~AtomicFile() {
  discard();
}

bool AtomicFile::fail(std::string_view what) {
  if (!failed_) error_ = describe(target_, what, errno);
  failed_ = true;
  return false;
}

bool AtomicFile::open() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = target_;
    temporary_ += ".tmp" + std::to_string(attempt);
    errno = 0;
    // "x": never reuse a file that is already there.
    file_ = open_file(temporary_, "wbx");
    if (file_ != nullptr) {
      if (!buffered_) std::setvbuf(file_, nullptr, _IONBF, 0);
      written_ = 0;
      written_back_ = 0;
      return true;
    }
    if (errno != EEXIST) break;
  }
  temporary_.clear();
  return fail("cannot create");
}

bool AtomicFile::write(std::string_view bytes) {
  if (file_ == nullptr || failed_) return false;
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
    return fail("cannot write");
  written_ += bytes.size();
  return true;
}

void AtomicFile::start_write_back() {
#if defined(__linux__)
  if (file_ == nullptr || failed_ || written_ == written_back_) return;
  // Only a request: whatever goes wrong with it shows in close() or commit().
  if (std::fflush(file_) == 0) {
    static_cast<void>(::sync_file_range(::fileno(file_), static_cast<off_t>(written_back_),
                                        static_cast<off_t>(written_ - written_back_),
                                        SYNC_FILE_RANGE_WRITE));
  }
  written_back_ = written_;
#endif
}

bool AtomicFile::close() {
  if (file_ == nullptr) return !failed_;
  errno = 0;
  const bool flushed = std::fflush(file_) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) return fail("cannot write");
  return !failed_;
}

bool AtomicFile::commit() {
  if (!close() || temporary_.empty()) return false;
#if !defined(_WIN32)
  // A handle on the old target keeps its contents alive past the rename.
  // Only a regular file is opened (a pipe could wait for a writer), and not
  // on Windows, which refuses to replace a file that is open.
  std::error_code status_error;
  ReplacedFile old_target(
      std::filesystem::is_regular_file(target_, status_error) ? open_file(target_, "rb") : nullptr);
#endif
  std::error_code error;
  std::filesystem::rename(temporary_, target_, error);
  if (error) {
    errno = error.value();
    return fail("cannot replace");
  }
  temporary_.clear();
#if !defined(_WIN32)
  replaced_ = std::move(old_target);
#endif
  return true;
}

void AtomicFile::discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temporary_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
    temporary_.clear();
  }
}

std::string write_file_atomically(const std::filesystem::path& path, std::string_view bytes) {
  AtomicFile file(path);
  if (file.open() && file.write(bytes) && file.commit()) return {};
  return file.error();
}

}  // namespace korva
