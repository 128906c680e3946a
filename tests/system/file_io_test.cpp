#include "system/file_io.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "system/output_set.h"
#include "system/text_encoding.h"
#include "test_support.h"

namespace korva {
namespace {

using testing::names_in;
using testing::read_bytes;
using testing::ScratchDir;
using testing::write_bytes;

using testing::kUnnamedTemporaries;

#ifdef _WIN32
constexpr const char* kSeparator = "\\";
constexpr const char* kNullDevice = "NUL";
#else
constexpr const char* kSeparator = "/";
constexpr const char* kNullDevice = "/dev/null";
#endif

// Windows cannot replace a file that is open, so the file layer never keeps
// the old target open there.
#ifdef _WIN32
constexpr bool kReplacedFileStaysOpen = false;
#else
constexpr bool kReplacedFileStaysOpen = true;
#endif

// Every file in the folder besides the target: temporary files left behind.
std::size_t other_files(const std::filesystem::path& folder, const std::string& target) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename() != target) ++count;
  }
  return count;
}

TEST(AtomicFile, TargetIsEitherTheOldFileOrTheWholeNewOne) {
  const struct {
    const char* name;
    std::optional<std::string> old_content;
    bool commit;
    std::string expected;
    bool replaced_kept;
  } cases[] = {
      {"new target, committed", std::nullopt, true, "first|second", false},
      {"old target, committed", "old", true, "first|second", true},
      {"old target, not committed", "old", false, "old", false},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    const std::filesystem::path target = dir.path() / "out.obj";
    if (c.old_content) write_bytes(target, *c.old_content);
    {
      AtomicFile file(target);
      ASSERT_TRUE(file.open()) << c.name;
      EXPECT_EQ(other_files(dir.path(), "out.obj"), kUnnamedTemporaries ? 0u : 1u)
          << c.name << ": unnamed while written where the system allows it";
      EXPECT_TRUE(file.write("first")) << c.name;
      EXPECT_TRUE(file.write("|second")) << c.name;
      if (c.commit) {
        EXPECT_TRUE(file.commit()) << c.name << ": " << file.error();
        ReplacedFile replaced = file.take_replaced();
        EXPECT_EQ(replaced.holds_file(), c.replaced_kept && kReplacedFileStaysOpen) << c.name;
        EXPECT_FALSE(file.take_replaced().holds_file()) << c.name << ": taken twice";
      }
    }
    EXPECT_EQ(read_bytes(target), c.expected) << c.name;
    EXPECT_EQ(other_files(dir.path(), "out.obj"), 0u) << c.name << ": temporary file left";
  }
}

TEST(AtomicFile, FailedReplaceIsReportedAndLeavesNoTemporaryFile) {
  ScratchDir dir;
  // A directory in the target's place cannot be replaced by a file.
  const std::filesystem::path target = dir.path() / "out.obj";
  std::filesystem::create_directory(target);
  {
    AtomicFile file(target);
    ASSERT_TRUE(file.open());
    EXPECT_TRUE(file.write("bytes"));
    EXPECT_FALSE(file.commit());
    EXPECT_NE(file.error().find("cannot replace"), std::string::npos) << file.error();
    EXPECT_FALSE(file.take_replaced().holds_file());
  }
  EXPECT_TRUE(std::filesystem::is_directory(target));
  EXPECT_EQ(other_files(dir.path(), "out.obj"), 0u);
}

struct ReadCase {
  std::filesystem::path path;
  std::uint64_t limit;
  std::optional<ReadFailure> failure;  // none when it reads
  const char* message;                 // a piece of the message; empty when it reads
};

TEST(ReadWholeFile, RefusesWhatIsNotARegularFileOfSensibleSizeBeforeReading) {
  ScratchDir dir;
  write_bytes(dir.path() / "ok.as", "NOP\r\n");
  write_bytes(dir.path() / "limit.as", std::string(1000, 'x'));
  write_bytes(dir.path() / "over.as", std::string(1001, 'x'));
  std::filesystem::create_directory(dir.path() / "folder.as");
  // A Japanese name, through the path's form for the system.
  const std::filesystem::path japanese = dir.path() / os_path(utf8_to_cp932("点滅.as"));
  write_bytes(japanese, "BSF 6,0\r\n");
  // Sparse: refused from its size, never read.
  { std::ofstream(dir.path() / "huge.as"); }
  std::filesystem::resize_file(dir.path() / "huge.as", kReadSizeLimit + 1);

  std::vector<ReadCase> cases = {
      {dir / "ok.as", kReadSizeLimit, std::nullopt, ""},
      {dir / "limit.as", 1000, std::nullopt, ""},
      {japanese, kReadSizeLimit, std::nullopt, ""},
      {dir / "over.as", 1000, ReadFailure::refused, "larger than"},
      {dir / "huge.as", kReadSizeLimit, ReadFailure::refused, "larger than 64 MiB"},
      {dir / "gone.as", kReadSizeLimit, ReadFailure::not_found, "not found"},
      {dir / "ok.as/inside", kReadSizeLimit, ReadFailure::not_found, "not found"},
      {dir / "folder.as", kReadSizeLimit, ReadFailure::refused, "it is a directory"},
  };
#ifdef _WIN32
  cases.push_back({"NUL", kReadSizeLimit, ReadFailure::refused, "it is a character device"});
#else
  ASSERT_EQ(::mkfifo((dir / "fifo.as").c_str(), 0600), 0);
  std::filesystem::create_symlink("loop2.as", dir.path() / "loop1.as");
  std::filesystem::create_symlink("loop1.as", dir.path() / "loop2.as");
  cases.push_back({dir / "fifo.as", kReadSizeLimit, ReadFailure::refused, "it is a FIFO"});
  cases.push_back({"/dev/zero", kReadSizeLimit, ReadFailure::refused, "it is a character device"});
  cases.push_back(
      {dir / "loop1.as", kReadSizeLimit, ReadFailure::cannot_open, "a loop of symbolic links"});
#endif
  for (const ReadCase& c : cases) {
    const FileContents file = read_whole_file(c.path, c.limit);
    ASSERT_EQ(file.has_value(), !c.failure) << c.path;
    if (file) {
      EXPECT_EQ(*file, read_bytes(c.path)) << c.path;
    } else {
      EXPECT_EQ(file.reason(), *c.failure) << c.path;
      EXPECT_NE(file.message().find(c.message), std::string::npos)
          << c.path << ": " << file.message();
    }
  }
}

// Read straight into the text at the size the file has: every byte, for
// sizes around the steps of the reading.
TEST(ReadWholeFile, ReadsEveryByteWhateverTheSize) {
  ScratchDir dir;
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4095},
                                 std::size_t{65536}, std::size_t{65537}, std::size_t{1048579}}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
      bytes[i] = static_cast<char>('A' + (i * 7 + i / 253) % 26);
    const std::filesystem::path path = dir.path() / ("s" + std::to_string(size) + ".as");
    write_bytes(path, bytes);
    const FileContents file = read_whole_file(path, kReadSizeLimit);
    ASSERT_TRUE(file.has_value()) << size;
    EXPECT_EQ(file->size(), size);
    EXPECT_TRUE(*file == bytes) << size;
  }
}

#ifndef _WIN32
TEST(ReadWholeFile, NamesAMissingPermission) {
  if (::geteuid() == 0) GTEST_SKIP() << "runs as root, which may read any file: not checked";
  ScratchDir dir;
  write_bytes(dir.path() / "secret.as", "NOP\r\n");
  std::filesystem::permissions(dir.path() / "secret.as", std::filesystem::perms::none);
  const FileContents file = read_whole_file(dir.path() / "secret.as");
  ASSERT_FALSE(file);
  EXPECT_EQ(file.reason(), ReadFailure::cannot_open);
  EXPECT_NE(file.message().find("permission denied"), std::string::npos) << file.message();
}
#endif

TEST(AtomicFile, NamedTemporaryIsRecognisableAndKeepsItsBytes) {
  for (const TemporaryKind kind : {TemporaryKind::unnamed_where_possible, TemporaryKind::named}) {
    ScratchDir dir;
    const std::filesystem::path target = dir.path() / "p.obj";
    TemporaryNames names;
    AtomicFile file(target, FileWriteOptions{kind, &names, nullptr});
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.write("records") && file.close());
    // Before it is put in place the file has a name only when it must.
    ASSERT_TRUE(file.give_name());
    const std::string expected_name =
        "p.obj" + std::string(kTemporaryMark) + std::to_string(testing::process_id()) + "-0";
    EXPECT_EQ(names_in(dir.path()), std::set<std::string>{expected_name});
    EXPECT_EQ(file.temporary().filename(), expected_name);
    ASSERT_TRUE(file.put_in_place()) << file.error();
    EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"p.obj"});
    EXPECT_EQ(read_bytes(target), "records");
  }
}

// Put in place by renaming or by exchanging the names, over an old target
// or none: the target holds the new bytes, no other name is left, and the
// old file stays readable through its handle where the system keeps one.
TEST(AtomicFile, EitherWayOfPuttingInPlaceLeavesOnlyTheNewFile) {
  using Replacement = AtomicFile::Replacement;
  for (const Replacement how : {Replacement::rename, Replacement::exchange}) {
    for (const bool old_target : {true, false}) {
      SCOPED_TRACE(::testing::Message() << (how == Replacement::exchange ? "exchange" : "rename")
                                        << (old_target ? ", over an old target" : ""));
      ScratchDir dir;
      const std::filesystem::path target = dir.path() / "p.obj";
      if (old_target) write_bytes(target, "old records");
      AtomicFile file(target);
      ASSERT_TRUE(file.open());
      ASSERT_TRUE(file.write("new records"));
      ASSERT_TRUE(file.close());
      ASSERT_TRUE(file.put_in_place(how)) << file.error();
      EXPECT_EQ(read_bytes(target), "new records");
      EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"p.obj"});
      EXPECT_EQ(file.take_replaced().holds_file(), old_target && kReplacedFileStaysOpen);
    }
  }
}

TEST(OutputSet, RemovesOnlyTheLeftoversOfDeadRuns) {
  ScratchDir dir;
  const std::string tmp(kTemporaryMark), old(kPreviousMark);
  // A run that still writes: its temporary file holds its lock.
  AtomicFile live(dir.path() / "p.obj", FileWriteOptions{TemporaryKind::named, nullptr, nullptr});
  ASSERT_TRUE(live.open());
  const std::string live_name = live.temporary().filename().string();
  const std::vector<std::string> dead = {"p.obj" + tmp + "12-0", "p.bin" + old + "7-3",
                                         "p.out" + tmp + "99999-42"};
  const std::vector<std::string> kept = {"p.obj" + tmp + "x",
                                         "q.obj" + tmp + "1-0",
                                         "p.obj.korva-tmpl-1-0",
                                         "p.obj" + tmp + "1-",
                                         "p.obj",
                                         "p.as"};
  for (const std::string& name : dead) write_bytes(dir.path() / name, "left");
  for (const std::string& name : kept) write_bytes(dir.path() / name, "mine");

  OutputSet set({dir.path() / "p.obj", dir.path() / "p.out", dir.path() / "p.bin"}, {});
  ASSERT_TRUE(set.prepare()) << set.error();
  std::set<std::string> expected(kept.begin(), kept.end());
  expected.insert(live_name);
  EXPECT_EQ(names_in(dir.path()), expected);
}

TEST(OutputSet, AFolderThatCannotTakeTheOutputsIsRefusedByName) {
  const struct {
    const char* name;
    bool folder_is_a_file;  // else the folder is missing
    const char* reason;
  } cases[] = {
      {"a file where the folder should be", true, "cannot create (Not a directory)"},
      {"no such folder", false, "cannot create (No such file or directory)"},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    const std::filesystem::path folder = dir.path() / "out";
    if (c.folder_is_a_file) write_bytes(folder, "a file");
    OutputSet set({folder / "p.obj", folder / "p.out"}, {});
    const Expected<void> prepared = set.prepare();
    ASSERT_FALSE(prepared) << c.name;
    EXPECT_NE(prepared.message().find(std::string("p.obj: ") + c.reason), std::string::npos)
        << c.name << ": " << prepared.message();
    EXPECT_EQ(prepared.message(), set.error()) << c.name;
    EXPECT_EQ(names_in(dir.path()),
              c.folder_is_a_file ? std::set<std::string>{"out"} : std::set<std::string>{})
        << c.name;
  }
}

TEST(OutputSet, ReplacesOldTargetsInAFolderWithAJapaneseName) {
  ScratchDir dir;
  const std::filesystem::path folder = dir.path() / os_path(utf8_to_cp932("ソース"));
  std::filesystem::create_directory(folder);
  std::vector<std::filesystem::path> targets;
  for (const char* name : {"点滅.obj", "点滅.out", "点滅.bin"}) {
    targets.push_back(folder / os_path(utf8_to_cp932(name)));
  }
  // Two of the targets exist at first; in the second round all three do.
  write_bytes(targets[0], "old obj");
  write_bytes(targets[2], "old bin");
  for (const TemporaryKind kind : {TemporaryKind::unnamed_where_possible, TemporaryKind::named}) {
    const std::string round = kind == TemporaryKind::named ? "named" : "unnamed";
    TemporaryNames temporaries;
    OutputSet set(targets, FileWriteOptions{kind, &temporaries, nullptr});
    ASSERT_TRUE(set.prepare()) << set.error();
    for (std::size_t i = 0; i < set.size(); ++i) {
      ASSERT_TRUE(set.file(i).open() && set.file(i).write(round + std::to_string(i)) &&
                  set.file(i).close())
          << set.error();
    }
    ASSERT_TRUE(set.commit()) << round << ": " << set.error();
    for (std::size_t i = 0; i < targets.size(); ++i) {
      EXPECT_EQ(read_bytes(targets[i]), round + std::to_string(i)) << round;
    }
    // Neither temporary files nor the old files' second names are left.
    EXPECT_EQ(names_in(folder).size(), targets.size()) << round;
  }

  // A folder in a target's place is refused before anything is written, in
  // a message that names it in CP932.
  std::filesystem::remove(targets[2]);
  std::filesystem::create_directory(targets[2]);
  OutputSet set(targets, {});
  EXPECT_FALSE(set.prepare());
  EXPECT_NE(set.error().find(utf8_to_cp932("ソース") + kSeparator + utf8_to_cp932("点滅.bin") +
                             ": cannot replace: it is a directory"),
            std::string::npos)
      << set.error();
  EXPECT_EQ(read_bytes(targets[0]), "named0");
}

#ifdef _WIN32
// Windows cannot replace a file that another program has open without
// letting it be deleted (as the C library opens files), nor a read-only
// file: the set is refused before anything is renamed, and the old set
// stays without a file beside it.
TEST(OutputSet, ATargetThatWindowsCannotReplaceIsRefusedAndKeepsTheOldSet) {
  ScratchDir dir;
  const std::vector<std::string> names = {"p.obj", "p.out", "p.bin"};
  std::vector<std::filesystem::path> targets;
  for (const std::string& name : names) {
    targets.push_back(dir.path() / name);
    write_bytes(targets.back(), "old " + name);
  }
  const std::filesystem::path& blocked = targets[1];
  const struct {
    const char* name;
    bool before_prepare;  // else only before the commit
    bool read_only;       // else held open by another reader
    const char* message;
  } cases[] = {
      {"open, before prepare", true, false, "p.out: cannot replace: another program has it open"},
      {"open, before commit", false, false, "p.out: cannot replace: another program has it open"},
      {"read-only, before prepare", true, true, "p.out: cannot replace (Permission denied)"},
  };
  for (const auto& c : cases) {
    std::ifstream reader;
    const auto block = [&] {
      if (c.read_only) {
        std::filesystem::permissions(blocked, std::filesystem::perms::owner_read);
      } else {
        reader.open(blocked, std::ios::binary);
      }
    };
    if (c.before_prepare) block();
    OutputSet set(targets, {});
    const bool prepared = static_cast<bool>(set.prepare());
    EXPECT_EQ(prepared, !c.before_prepare) << c.name;
    if (prepared) {
      for (std::size_t i = 0; i < set.size(); ++i) {
        ASSERT_TRUE(set.file(i).open() && set.file(i).write("new") && set.file(i).close());
      }
      block();
      EXPECT_FALSE(set.commit()) << c.name;
    }
    reader.close();
    std::filesystem::permissions(blocked, std::filesystem::perms::owner_all);
    EXPECT_NE(set.error().find(c.message), std::string::npos) << c.name << ": " << set.error();
    for (std::size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(read_bytes(targets[i]), "old " + names[i]) << c.name;
    }
    EXPECT_EQ(names_in(dir.path()), std::set<std::string>(names.begin(), names.end())) << c.name;
  }
}
#endif

// Two holders of one lock, on two threads: the second waits until the first
// lets go.
TEST(FileLock, HoldersOfAFileOrAFolderTakeTurns) {
  ScratchDir dir;
  write_bytes(dir.path() / "p.amk", "p.as\r\n");
  for (const std::filesystem::path& path : {dir.path() / "p.amk", dir.path()}) {
    FileLock first = FileLock::acquire(path);
    ASSERT_TRUE(first.held()) << path;
    std::atomic<bool> released = false;
    bool second_held = false;
    bool second_waited = false;
    std::thread second([&] {
      const FileLock lock = FileLock::acquire(path);
      second_held = lock.held();
      second_waited = released;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    released = true;
    first.release();
    second.join();
    EXPECT_TRUE(second_held) << path;
    EXPECT_TRUE(second_waited) << path << ": both held the lock at once";
    EXPECT_EQ(read_bytes(dir.path() / "p.amk"), "p.as\r\n");
  }
  // Neither a missing file (which is not created) nor a device is locked.
  EXPECT_FALSE(FileLock::acquire(dir.path() / "missing").held());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
  EXPECT_FALSE(FileLock::acquire(kNullDevice).held());
}

// Makes `link` a symbolic link to `to` (a name in the same folder), or where
// the test may not make one (Windows asks for a privilege; wine has none) a
// copy of the file. Tells which.
bool link_or_copy(const std::filesystem::path& to, const std::filesystem::path& link) {
  std::error_code error;
  std::filesystem::create_symlink(to, link, error);
#ifndef _WIN32
  EXPECT_FALSE(error) << link << ": " << error.message();
#endif
  if (!error) return true;
  std::filesystem::copy_file(link.parent_path() / to, link);
  return false;
}

// Fails the replacing rename of one target.
class FailingRename : public FileFaults {
 public:
  explicit FailingRename(std::filesystem::path target) : target_(std::move(target)) {}
  int fault(FileStep step, const std::filesystem::path& target) override {
    return step == FileStep::replace && target == target_ ? EIO : 0;
  }

 private:
  std::filesystem::path target_;
};

TEST(OutputSet, AFailedRenameUndoesTheRenamesBeforeIt) {
  const std::vector<std::string> names = {"p.obj", "p.out", "p.bin", "p.hex"};
  for (std::size_t failing = 0; failing < names.size(); ++failing) {
    for (const TemporaryKind kind : {TemporaryKind::unnamed_where_possible, TemporaryKind::named}) {
      ScratchDir dir;
      // Two targets exist before (one of them a symbolic link where the
      // test may make one), two do not.
      write_bytes(dir.path() / "p.obj", "old obj");
      write_bytes(dir.path() / "elsewhere", "old bin");
      const bool linked = link_or_copy("elsewhere", dir.path() / "p.bin");
      FailingRename fault(dir.path() / names[failing]);
      TemporaryNames temporaries;
      std::vector<std::filesystem::path> targets;
      targets.reserve(names.size());
      for (const std::string& name : names) targets.push_back(dir.path() / name);
      OutputSet set(targets, FileWriteOptions{kind, &temporaries, &fault});
      ASSERT_TRUE(set.prepare());
      for (std::size_t i = 0; i < set.size(); ++i) {
        ASSERT_TRUE(set.file(i).open() && set.file(i).write("new " + names[i]) &&
                    set.file(i).close());
      }
      EXPECT_FALSE(set.commit()) << failing;
      EXPECT_NE(set.error().find(names[failing] + ": cannot replace"), std::string::npos)
          << set.error();
      EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"p.obj", "p.bin", "elsewhere"}))
          << failing;
      EXPECT_EQ(read_bytes(dir.path() / "p.obj"), "old obj") << failing;
      EXPECT_EQ(std::filesystem::is_symlink(dir.path() / "p.bin"), linked) << failing;
      EXPECT_EQ(read_bytes(dir.path() / "p.bin"), "old bin") << failing;
      EXPECT_EQ(read_bytes(dir.path() / "elsewhere"), "old bin") << failing;
    }
  }
}

}  // namespace
}  // namespace korva
