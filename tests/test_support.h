// Helpers shared by the core tests: a scratch directory, whole-file access
// and an assembly host that records what an assembly shows.
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "project/assembly_host.h"

namespace korva::testing {

// Whether the file layer's temporary files go without a name until they are
// complete: Windows has no unnamed files, so there they are always named.
#ifdef _WIN32
inline constexpr bool kUnnamedTemporaries = false;
#else
inline constexpr bool kUnnamedTemporaries = true;
#endif

// This process's id, as the names of temporary files hold it.
inline int process_id() {
#ifdef _WIN32
  return ::_getpid();
#else
  return static_cast<int>(::getpid());
#endif
}

// A fresh directory below the system's temporary directory, removed again
// when the test ends. A test that needs several at once tells them apart by
// `suffix`.
class ScratchDir {
 public:
  explicit ScratchDir(std::string_view suffix = {}) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // The process id keeps two runs of the same test (two build trees, say)
    // apart.
    std::string name = std::string("korva-") + std::to_string(process_id()) + "-" +
                       info->test_suite_name() + "-" + info->name();
    if (!suffix.empty()) name += "-" + std::string(suffix);
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string operator/(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void write_bytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string read_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The names of the entries of `folder`.
inline std::set<std::string> names_in(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Writes each file of `files` (extension -> bytes) as BASE + extension.
inline void put_outputs(const std::filesystem::path& base,
                        const std::map<std::string, std::string>& files) {
  for (const auto& [extension, bytes] : files) {
    std::filesystem::path path = base;
    path += extension;
    write_bytes(path, bytes);
  }
}

struct Message {
  std::string text;
  std::string caption;
};

class RecordingHost : public AssemblyHost {
 public:
  void show_message(std::string_view text, std::string_view caption) override {
    messages.push_back({std::string(text), std::string(caption)});
  }
  void clear_error_list() override { errors.clear(); }
  void add_error_entry(std::string_view line) override { errors.emplace_back(line); }
  void show_listing(std::string_view text) override {
    listing = text;
    ++listings_shown;
  }

  std::vector<Message> messages;
  std::vector<std::string> errors;
  std::string listing;
  int listings_shown = 0;
};

}  // namespace korva::testing
