// The file layer's system calls on Windows. Files are opened through their
// UTF-16 paths and shared for reading, writing and deleting, so that a
// temporary file that this process holds open can still be renamed over
// its target and removed; temporary files always have names (Windows has no
// unnamed ones). Windows cannot replace a file that is open without that
// sharing, so the old target is never kept open across a replace.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "system/file_system.h"

namespace korva::file_system {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The byte whose lock stands for the whole file: far beyond any end of file,
// so that reading and writing never meet it (Windows locks are mandatory).
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
// The most that one ReadFile or WriteFile call moves.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

HANDLE handle(const SystemFile& file) {
  return reinterpret_cast<HANDLE>(file.native());  // NOLINT(performance-no-int-to-ptr)
}

SystemFile owned(HANDLE handle) {
  return SystemFile(reinterpret_cast<std::intptr_t>(handle));
}

// The errno value closest to a Windows error code.
int errno_from(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EBUSY;  // another program has the file open and does not share it
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_CURRENT_DIRECTORY:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_CANT_RESOLVE_FILENAME:
      return ELOOP;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
      return ENOSYS;
    default:
      return EIO;
  }
}

int last_error() {
  return errno_from(GetLastError());
}

Opened open_handle(const std::filesystem::path& path, DWORD access, DWORD creation, DWORD flags) {
  const HANDLE opened =
      CreateFileW(path.c_str(), access, kShareAll, nullptr, creation, flags, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return Opened{SystemFile(), last_error()};
  return Opened{owned(opened), 0};
}

// Symbolic links and junctions; other reparse points (deduplicated or
// cloud files) are files like any other.
bool is_link(const SystemFile& file, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!GetFileInformationByHandleEx(handle(file), FileAttributeTagInfo, &tag, sizeof tag)) {
    return true;
  }
  return tag.ReparseTag == IO_REPARSE_TAG_SYMLINK || tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT;
}

OVERLAPPED lock_position() {
  OVERLAPPED position{};
  position.OffsetHigh = kLockOffsetHigh;
  return position;
}

bool same_file(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

// The name of the mutex that stands for the lock of a folder: the folder's
// final path, in capitals (names differ only in case on Windows), hashed.
std::wstring folder_mutex_name(const SystemFile& folder) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle(folder), path.data(),
                                           static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  if (length >= path.size()) {
    path.resize(length + 1);
    length = GetFinalPathNameByHandleW(handle(folder), path.data(), static_cast<DWORD>(path.size()),
                                       FILE_NAME_NORMALIZED);
  }
  if (length == 0 || length >= path.size()) return {};
  path.resize(length);
  CharUpperBuffW(path.data(), length);
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const wchar_t unit : path) {
    hash = (hash ^ static_cast<std::uint16_t>(unit)) * 1099511628211ull;
  }
  std::wstring name = L"Local\\korva-folder-";
  for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(hash >> shift) & 0xF];
  return name;
}

SystemLock no_lock() {
  return {};
}

}  // namespace

void SystemFile::close() {
  if (native_ != kNone) CloseHandle(handle(*this));
  native_ = kNone;
}

void SystemLock::release() {
  if (handle_.is_open()) {
    if (mutex_) {
      ReleaseMutex(handle(handle_));
    } else {
      OVERLAPPED position = lock_position();
      UnlockFileEx(handle(handle_), 0, 1, 0, &position);
    }
  }
  handle_.close();
  mutex_ = false;
}

int status_of(const SystemFile& file, FileStatus& status) {
  switch (GetFileType(handle(file))) {
    case FILE_TYPE_DISK:
      break;
    case FILE_TYPE_CHAR:
      status = FileStatus{FileKind::character_device, 0};
      return 0;
    case FILE_TYPE_PIPE:
      status = FileStatus{FileKind::fifo, 0};
      return 0;
    default:
      if (GetLastError() != NO_ERROR) return last_error();
      status = FileStatus{FileKind::other, 0};
      return 0;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(handle(file), &information)) return last_error();
  const DWORD attributes = information.dwFileAttributes;
  if (is_link(file, attributes)) {
    status.kind = FileKind::symbolic_link;
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    status.kind = FileKind::directory;
  } else {
    status.kind = FileKind::regular;
  }
  status.size =
      (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
  return 0;
}

// Windows tells what a name is only through a handle; one that may only read
// the attributes neither reads nor waits.
int status_of(const std::filesystem::path& path, FileStatus& status) {
  const Opened probe =
      open_handle(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  return probe.error != 0 ? probe.error : status_of(probe.file, status);
}

int entry_status(const std::filesystem::path& path, FileStatus& status) {
  const Opened probe = open_handle(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  return probe.error != 0 ? probe.error : status_of(probe.file, status);
}

// Folders open too (FILE_FLAG_BACKUP_SEMANTICS), for their locks.
Opened open_to_read(const std::filesystem::path& path) {
  return open_handle(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
}

Opened open_entry(const std::filesystem::path& path) {
  return open_handle(path, GENERIC_READ, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
}

Opened create_new(const std::filesystem::path& path) {
  return open_handle(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
}

Opened create_unnamed(const std::filesystem::path& folder) {
  static_cast<void>(folder);
  return Opened{SystemFile(), ENOSYS};
}

int name_unnamed(const SystemFile& file, const std::filesystem::path& path) {
  static_cast<void>(file);
  static_cast<void>(path);
  return ENOSYS;
}

Transfer read_some(const SystemFile& file, char* bytes, std::size_t size) {
  DWORD count = 0;
  if (!ReadFile(handle(file), bytes, static_cast<DWORD>(std::min(size, kMaxTransfer)), &count,
                nullptr)) {
    const DWORD error = GetLastError();
    return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? Transfer{0, 0}
                                                                   : Transfer{0, errno_from(error)};
  }
  return Transfer{count, 0};
}

Transfer write_some(const SystemFile& file, const char* bytes, std::size_t size) {
  DWORD count = 0;
  if (!WriteFile(handle(file), bytes, static_cast<DWORD>(std::min(size, kMaxTransfer)), &count,
                 nullptr)) {
    return Transfer{0, last_error()};
  }
  return Transfer{count, 0};
}

bool try_lock(const SystemFile& file) {
  OVERLAPPED position = lock_position();
  return LockFileEx(handle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                    &position) != FALSE;
}

SystemLock lock_and_wait(SystemFile file, FileKind kind) {
  if (kind != FileKind::directory) {
    OVERLAPPED position = lock_position();
    if (!LockFileEx(handle(file), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &position)) return no_lock();
    return SystemLock(std::move(file), false);
  }
  const std::wstring name = folder_mutex_name(file);
  if (name.empty()) return no_lock();
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) return no_lock();
  // Abandoned: its holder ended without releasing it, and it is free.
  const DWORD waited = WaitForSingleObject(mutex, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return no_lock();
  }
  return SystemLock(owned(mutex), true);
}

bool still_named(const SystemFile& file, const std::filesystem::path& path) {
  const Opened named = open_handle(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  BY_HANDLE_FILE_INFORMATION opened_information{}, named_information{};
  return named.error == 0 && GetFileInformationByHandle(handle(file), &opened_information) &&
         GetFileInformationByHandle(handle(named.file), &named_information) &&
         same_file(opened_information, named_information);
}

int replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : last_error();
}

int exchange(const std::filesystem::path&, const std::filesystem::path&) {
  return ENOSYS;  // no such rename here
}

bool same_entry(const std::filesystem::path& a, const std::filesystem::path& b) {
  constexpr DWORD kFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
  const Opened first = open_handle(a, FILE_READ_ATTRIBUTES, OPEN_EXISTING, kFlags);
  const Opened second = open_handle(b, FILE_READ_ATTRIBUTES, OPEN_EXISTING, kFlags);
  BY_HANDLE_FILE_INFORMATION first_information{}, second_information{};
  return first.error == 0 && second.error == 0 &&
         GetFileInformationByHandle(handle(first.file), &first_information) &&
         GetFileInformationByHandle(handle(second.file), &second_information) &&
         same_file(first_information, second_information);
}

int remove(const std::filesystem::path& path) {
  return DeleteFileW(path.c_str()) ? 0 : last_error();
}

int add_link(const std::filesystem::path& existing, const std::filesystem::path& link) {
  return CreateHardLinkW(link.c_str(), existing.c_str(), nullptr) ? 0 : last_error();
}

// Whether the folder takes new files depends on its access list, which only
// creating a file tells; that fails in its own step.
int can_create_in(const std::filesystem::path& folder) {
  FileStatus status;
  if (const int error = status_of(folder, status)) return error;
  return status.kind == FileKind::directory ? 0 : ENOTDIR;
}

// A file that another program has open without letting it be deleted cannot
// be replaced (nor could its second name be removed again): found here,
// before anything is renamed, by opening it as a rename would. Nor can a
// read-only file (wine replaces it, but then cannot remove its second name).
int may_replace_in(const std::filesystem::path& folder, const std::filesystem::path& target) {
  static_cast<void>(folder);
  const Opened probe = open_handle(target, DELETE | FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  if (probe.error != 0) return probe.error == ENOENT ? 0 : probe.error;
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(handle(probe.file), &information)) return last_error();
  return (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? EACCES : 0;
}

FileHandle open_replaced(const std::filesystem::path& target) {
  static_cast<void>(target);
  return {};
}

int process_id() {
  return static_cast<int>(GetCurrentProcessId());
}

}  // namespace korva::file_system
