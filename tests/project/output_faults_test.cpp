// Whole assemblies whose output files fail: through the file layer's test
// seam (every output's create, write, name and rename failing in turn), and
// by real means (a directory or a FIFO in a target's place, a full disk).
// Every run must end with the old set of outputs or the complete new one,
// and with no other file next to them. FIFOs and the full disk (a small
// tmpfs) are POSIX only.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "project/assembler.h"
#include "system/file_io.h"
#include "test_support.h"

namespace korva {
namespace {

namespace fs = std::filesystem;
using testing::names_in;
using testing::put_outputs;
using testing::read_bytes;
using testing::RecordingHost;
using testing::ScratchDir;
using testing::write_bytes;

const std::vector<std::string> kExtensions = {".obj", ".out", ".bin", ".hex"};

// A tiny program for the old set, and one of two record blocks with a
// configuration word far up for the new one.
const std::string kOldProgram = "NOP\r\n";

std::string new_program() {
  std::string text;
  for (int i = 0; i < 2100; ++i) text += i % 2 == 0 ? "W>(20h) ; store\r\n" : "(21h)+1\r\n";
  return text + "ORG $2007\r\n\\3F39\r\n";
}

// The outputs of base `base`, by extension; a missing file is absent, and
// anything but a regular file is only named (a FIFO is never opened).
std::map<std::string, std::string> output_set(const fs::path& base) {
  std::map<std::string, std::string> set;
  for (const std::string& extension : kExtensions) {
    fs::path path = base;
    path += extension;
    const fs::file_status status = fs::symlink_status(path);
    if (fs::is_regular_file(status)) {
      set[extension] = read_bytes(path);
    } else if (fs::exists(status)) {
      set[extension] = "<not a regular file>";
    }
  }
  return set;
}

// Assembles `source` (a file in `folder`) with the HEX file, the outputs
// named `base` when given.
AssemblyResult assemble(const fs::path& source, FileWriteOptions files, const fs::path& base = {}) {
  ProjectState project;
  project.entries = {source.string()};
  AssemblyOptions options;
  options.extra_outputs.intel_hex = true;
  options.files = files;
  if (!base.empty()) options.output_base_name = base.string();
  RecordingHost host;
  Assembler assembler;
  AssemblyResult result = assembler.assemble_project(project, host, options);
  if (result.outcome == AssemblyOutcome::output_failed) {
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.listings_shown, 0);
  }
  return result;
}

// Fails the nth time that `step` is asked for the file with `extension`.
class FaultPlan : public FileFaults {
 public:
  FaultPlan(FileStep step, std::string extension, int nth, int error)
      : step_(step), extension_(std::move(extension)), nth_(nth), error_(error) {}
  int fault(FileStep step, const fs::path& target) override {
    const std::lock_guard lock(mutex_);  // writes of .obj come from its writing thread
    if (step != step_ || target.extension() != extension_ || ++seen_ != nth_) return 0;
    ++injected_;
    return error_;
  }
  int injected() const { return injected_; }

 private:
  std::mutex mutex_;
  FileStep step_;
  std::string extension_;
  int nth_;
  int error_;
  int seen_ = 0;
  int injected_ = 0;
};

#ifdef EDQUOT
constexpr int kQuotaExceeded = EDQUOT;
#else
constexpr int kQuotaExceeded = ENOSPC;  // a system without disk quotas' own code
#endif

struct FaultCase {
  FileStep step;
  const char* extension;
  int nth;
  int error;
  const char* message;  // what the message says about the file
};

const char* step_name(FileStep step) {
  switch (step) {
    case FileStep::create:
      return "create";
    case FileStep::write:
      return "write";
    case FileStep::name:
      return "name";
    case FileStep::replace:
      return "replace";
  }
  return "?";
}

// Runs every fault against an assembly with and without an old set.
void run_fault_matrix(TemporaryKind kind) {
  const std::vector<FaultCase> faults = {
      {FileStep::create, ".obj", 1, EACCES, "cannot create"},
      {FileStep::create, ".out", 1, EMFILE, "cannot create"},
      {FileStep::create, ".bin", 1, kQuotaExceeded, "cannot create"},
      {FileStep::create, ".hex", 1, ENOSPC, "cannot create"},
      {FileStep::write, ".obj", 1, ENOSPC, "cannot write"},
      {FileStep::write, ".obj", 2, EIO, "cannot write"},  // the second of two blocks
      {FileStep::write, ".out", 1, ENOSPC, "cannot write"},
      {FileStep::write, ".bin", 1, EFBIG, "cannot write"},
      {FileStep::write, ".hex", 1, ENOSPC, "cannot write"},
      {FileStep::name, ".obj", 1, ENOSPC, "cannot create"},
      {FileStep::name, ".out", 1, EMLINK, "cannot create"},
      {FileStep::name, ".bin", 1, EIO, "cannot create"},
      {FileStep::name, ".hex", 1, ENOSPC, "cannot create"},
      {FileStep::replace, ".obj", 1, EIO, "cannot replace"},
      {FileStep::replace, ".out", 1, EBUSY, "cannot replace"},
      {FileStep::replace, ".bin", 1, EIO, "cannot replace"},
      {FileStep::replace, ".hex", 1, EXDEV, "cannot replace"},
  };
  // The old set, assembled once.
  std::map<std::string, std::string> old_set;
  {
    ScratchDir dir("old");
    write_bytes(dir.path() / "p.as", kOldProgram);
    ASSERT_EQ(assemble(dir.path() / "p.as", {}).outcome, AssemblyOutcome::completed);
    old_set = output_set(dir.path() / "p");
  }
  int runs = 0, injected = 0, old_sets = 0;
  for (const bool old_set_exists : {true, false}) {
    for (const FaultCase& fault : faults) {
      // Named temporaries have their name from the start: no naming step.
      const bool named = kind == TemporaryKind::named || !testing::kUnnamedTemporaries;
      if (named && fault.step == FileStep::name) continue;
      const std::string name = std::string(step_name(fault.step)) + " " + fault.extension + " #" +
                               std::to_string(fault.nth) +
                               (kind == TemporaryKind::named ? ", named" : ", unnamed") +
                               (old_set_exists ? ", old set" : ", no old set");
      ScratchDir dir;
      const fs::path source = dir.path() / "p.as";
      if (old_set_exists) put_outputs(dir.path() / "p", old_set);
      const std::map<std::string, std::string> before = output_set(dir.path() / "p");
      const std::set<std::string> names_before = names_in(dir.path());
      write_bytes(source, new_program());

      FaultPlan plan(fault.step, fault.extension, fault.nth, fault.error);
      TemporaryNames temporaries;
      const AssemblyResult result = assemble(source, {kind, &temporaries, &plan});
      ++runs;
      injected += plan.injected();
      EXPECT_EQ(plan.injected(), 1) << name;
      EXPECT_EQ(result.outcome, AssemblyOutcome::output_failed) << name;
      EXPECT_NE(result.message.find(std::string("p") + fault.extension + ": " + fault.message),
                std::string::npos)
          << name << ": " << result.message;
      const bool old_set_kept = output_set(dir.path() / "p") == before;
      old_sets += old_set_kept ? 1 : 0;
      EXPECT_TRUE(old_set_kept) << name;
      std::set<std::string> expected_names = names_before;
      expected_names.insert("p.as");
      EXPECT_EQ(names_in(dir.path()), expected_names) << name << ": a file left behind";

      // The same run without the fault writes the complete new set.
      if (!old_set_exists) {
        ASSERT_EQ(assemble(source, {kind, &temporaries, nullptr}).outcome,
                  AssemblyOutcome::completed)
            << name;
        EXPECT_EQ(output_set(dir.path() / "p").size(), kExtensions.size()) << name;
      }
    }
  }
  std::cout << "[ figures  ] seam, " << (kind == TemporaryKind::named ? "named" : "unnamed")
            << " temporaries: " << runs << " runs, " << injected << " faults injected, " << old_sets
            << " ended with the old set, " << runs - old_sets << " did not\n";
}

TEST(OutputFaults, EveryStepOfEveryOutputFailingLeavesTheOldSet) {
  run_fault_matrix(TemporaryKind::unnamed_where_possible);
}

TEST(OutputFaults, EveryStepFailingWithNamedTemporariesLeavesTheOldSet) {
  run_fault_matrix(TemporaryKind::named);
}

// A directory in a target's place, and where the system has them a FIFO.
#ifdef _WIN32
const std::vector<bool> kFifoTargets = {false};
bool make_fifo(const fs::path&) {
  return false;
}
#else
const std::vector<bool> kFifoTargets = {false, true};
bool make_fifo(const fs::path& path) {
  return ::mkfifo(path.c_str(), 0600) == 0;
}
#endif

TEST(OutputFaults, TargetThatCannotBeReplacedStopsBeforeAnythingIsWritten) {
  int runs = 0;
  for (const std::string& extension : kExtensions) {
    for (const bool fifo : kFifoTargets) {
      for (const bool old_set_exists : {true, false}) {
        const std::string name = "p" + extension + (fifo ? " a FIFO" : " a directory") +
                                 (old_set_exists ? ", old set" : ", no old set");
        ScratchDir dir;
        const fs::path source = dir.path() / "p.as";
        write_bytes(source, kOldProgram);
        if (old_set_exists) {
          ASSERT_EQ(assemble(source, {}).outcome, AssemblyOutcome::completed);
        }
        const fs::path target = dir.path() / ("p" + extension);
        fs::remove(target);
        if (fifo) {
          ASSERT_TRUE(make_fifo(target));
        } else {
          fs::create_directory(target);
          write_bytes(target / "inside", "kept");
        }
        const std::map<std::string, std::string> before = output_set(dir.path() / "p");
        const std::set<std::string> names_before = names_in(dir.path());
        write_bytes(source, new_program());

        const AssemblyResult result = assemble(source, {});
        ++runs;
        EXPECT_EQ(result.outcome, AssemblyOutcome::output_failed) << name;
        EXPECT_NE(result.message.find("p" + extension + ": cannot replace: it is " +
                                      (fifo ? "a FIFO" : "a directory")),
                  std::string::npos)
            << name << ": " << result.message;
        EXPECT_EQ(output_set(dir.path() / "p"), before) << name;
        EXPECT_EQ(names_in(dir.path()), names_before) << name;
        if (!fifo) {
          EXPECT_EQ(read_bytes(target / "inside"), "kept") << name;
        }
      }
    }
  }
  std::cout << "[ figures  ] directories and FIFOs in a target's place: " << runs
            << " runs, all refused before writing\n";
}

#ifndef _WIN32
// A small tmpfs, for a disk that really fills up; unmounted when done.
class SmallDisk {
 public:
  SmallDisk(const fs::path& where, std::uint64_t bytes) : where_(where) {
    fs::create_directories(where_);
    const std::string size = "size=" + std::to_string(bytes);
    mounted_ = ::mount("tmpfs", where_.c_str(), "tmpfs", 0, size.c_str()) == 0;
    error_ = errno;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  int error() const { return error_; }

 private:
  fs::path where_;
  bool mounted_ = false;
  int error_ = 0;
};

std::uint64_t pages(std::uint64_t bytes) {
  constexpr std::uint64_t kPage = 4096;
  return (bytes + kPage - 1) / kPage;
}

TEST(OutputFaults, FullDiskAtEachOutputLeavesTheOldSet) {
  ScratchDir dir;
  const fs::path source = dir.path() / "p.as";
  // The sizes of the new outputs, from a run on the ordinary disk.
  write_bytes(source, new_program());
  ASSERT_EQ(assemble(source, {}).outcome, AssemblyOutcome::completed);
  const std::map<std::string, std::string> new_set = output_set(dir.path() / "p");
  write_bytes(source, kOldProgram);
  ASSERT_EQ(assemble(source, {}).outcome, AssemblyOutcome::completed);
  const std::map<std::string, std::string> old_set = output_set(dir.path() / "p");
  std::uint64_t old_pages = 0;
  for (const auto& [extension, bytes] : old_set) old_pages += pages(bytes.size());

  int runs = 0, old_sets = 0;
  std::uint64_t written_before = 0;  // pages of the outputs written before the one that fails
  for (const std::string& extension : kExtensions) {
    const std::uint64_t own = pages(new_set.at(extension).size());
    // Room for the old set, the outputs before this one, and all but the
    // last page of this one.
    SmallDisk disk(dir.path() / "disk", (old_pages + written_before + own - 1) * 4096);
    if (!disk.mounted()) {
      GTEST_SKIP() << "a tmpfs cannot be mounted here (" << std::strerror(disk.error())
                   << "; it needs root): the full disk is checked through the test seam only";
    }
    const fs::path base = dir.path() / "disk" / "p";
    for (const auto& [old_extension, bytes] : old_set) {
      fs::path path = base;
      path += old_extension;
      write_bytes(path, bytes);
    }
    write_bytes(source, new_program());
    const AssemblyResult result = assemble(source, {}, base);
    ++runs;
    EXPECT_EQ(result.outcome, AssemblyOutcome::output_failed) << extension;
    EXPECT_NE(result.message.find("p" + extension + ": cannot write"), std::string::npos)
        << extension << ": " << result.message;
    const bool kept = output_set(base) == old_set;
    old_sets += kept ? 1 : 0;
    EXPECT_TRUE(kept) << extension;
    EXPECT_EQ(names_in(dir.path() / "disk").size(), old_set.size()) << extension;
    written_before += own;
  }
  std::cout << "[ figures  ] full tmpfs: " << runs << " runs, " << old_sets
            << " ended with the old set\n";
}
#endif

}  // namespace
}  // namespace korva
