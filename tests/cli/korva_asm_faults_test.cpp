// korva-asm as a process among others: killed at many points of a large
// assembly, racing another run for the same output names, waiting for a run
// of the same project, and given inputs that are not source files. Every
// run must end with the old set of outputs or the complete new one, and
// leave no file of its own behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "resources/system_texts.h"
#include "system/text_encoding.h"
#include "test_support.h"

namespace korva {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::names_in;
using testing::put_outputs;
using testing::read_bytes;
using testing::ScratchDir;
using testing::write_bytes;

const std::vector<std::string> kExtensions = {".obj", ".out", ".bin", ".hex"};

struct Launch {
  std::vector<std::string> arguments;
  std::vector<std::string> environment;  // added to this process's own
  std::optional<rlim_t> file_size_limit;
};

// Starts korva-asm in `dir` with its output streams in `log`.
pid_t start(const fs::path& dir, const Launch& launch, const fs::path& log) {
  std::vector<std::string> arguments = {KORVA_ASM_PATH};
  arguments.insert(arguments.end(), launch.arguments.begin(), launch.arguments.end());
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<std::string> variables = launch.environment;
  for (char** variable = environ; *variable != nullptr; ++variable) variables.push_back(*variable);
  std::vector<char*> envp;
  envp.reserve(variables.size() + 1);
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  const std::string directory = dir.string();
  const std::string log_path = log.string();

  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only calls that are safe between fork and exec.
    const int out = ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || ::chdir(directory.c_str()) != 0) ::_exit(126);
    ::dup2(out, 1);
    ::dup2(out, 2);
    if (launch.file_size_limit) {
      const rlimit limit{*launch.file_size_limit, *launch.file_size_limit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  return pid;
}

// Waits for the process; a process still running after `limit` is killed
// and reported as such (nullopt).
std::optional<int> finish(pid_t pid, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = Clock::now() + limit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return status;
}

int exit_code(std::optional<int> status) {
  return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

int run(const fs::path& dir, const Launch& launch, const fs::path& log) {
  return exit_code(finish(start(dir, launch, log)));
}

bool still_running(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, WNOHANG) == 0;
}

// The outputs of `base` by extension; absent files are missing.
using OutputSet = std::map<std::string, std::string>;
OutputSet outputs_of(const fs::path& base) {
  OutputSet set;
  for (const std::string& extension : kExtensions) {
    fs::path path = base;
    path += extension;
    if (fs::is_regular_file(fs::symlink_status(path))) set[extension] = read_bytes(path);
  }
  return set;
}

// Files in `folder` beyond `expected`.
std::set<std::string> extra_names(const fs::path& folder, const std::set<std::string>& expected) {
  std::set<std::string> extra;
  for (const std::string& name : names_in(folder)) {
    if (expected.count(name) == 0) extra.insert(name);
  }
  return extra;
}

// A program of `lines` lines (a program word on every third), different for
// each variant, ending with a configuration word.
std::string program(int lines, int variant) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    const std::string n = std::to_string(32 + (i * variant) % 80);
    switch (i % 3) {
      case 0:
        text += " W>(" + n + ") ; line " + std::to_string(i) + "\r\n";
        break;
      case 1:
        text += "; variant " + std::to_string(variant) + "\r\n";
        break;
      default:
        text += " ; (" + n + ")+1\r\n";
    }
  }
  return text + "ORG $2007\r\n\\3F3" + std::to_string(variant % 10) + "\r\n";
}

// The set that a complete run of `source_text` writes, from a folder of its own.
OutputSet reference_set(const std::string& source_text, const std::vector<std::string>& arguments) {
  ScratchDir dir("reference");
  write_bytes(dir.path() / "p.as", source_text);
  EXPECT_EQ(run(dir.path(), {arguments, {}, {}}, dir.path() / "log"), 0)
      << read_bytes(dir.path() / "log");
  return outputs_of(dir.path() / "p");
}

struct KillFigures {
  int killed = 0;
  int old_set = 0;
  int new_set = 0;
  int mixed = 0;
  int leftovers = 0;            // runs after which a temporary file remained
  int interrupted_commits = 0;  // killed between two renames, finished by the next run
};

bool holds_commit_journal(const std::filesystem::path& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename().string().find(".korva-commit-") != std::string::npos) return true;
  }
  return false;
}

// Runs korva-asm on another source in the same folder, writing other
// outputs: its output set finishes the commit that a journal names.
void run_another_assembly(const std::filesystem::path& folder,
                          const std::vector<std::string>& environment,
                          const std::filesystem::path& log) {
  write_bytes(folder / "other.as", " NOP\r\n");
  EXPECT_EQ(run(folder, {{"-w", "other.as"}, environment, {}}, log), 0) << read_bytes(log);
  for (const char* name : {"other.as", "other.obj", "other.out", "other.bin"}) {
    std::filesystem::remove(folder / name);
  }
}

// Kills korva-asm with `signal_number` at fractions of a whole run's time,
// each time over the old set, and checks the set and the folder after it.
KillFigures kill_at_many_points(int signal_number, bool named_temporaries,
                                const std::vector<double>& fractions) {
  const std::string old_text = program(200, 1);
  const std::string new_text = program(20000, 2);
  const std::vector<std::string> arguments = {"-w", "--hex", "p.as"};
  const OutputSet old_set = reference_set(old_text, arguments);
  const std::vector<std::string> environment = {named_temporaries ? "KORVA_TEMPORARY_FILES=named"
                                                                  : "KORVA_TEMPORARY_FILES="};
  const std::set<std::string> own_files = {"p.as", "p.obj", "p.out", "p.bin", "p.hex"};
  ScratchDir dir("work");
  ScratchDir logs("logs");

  // A whole run over the old set: the new set, and how long a run takes.
  put_outputs(dir.path() / "p", old_set);
  write_bytes(dir.path() / "p.as", new_text);
  const auto begin = Clock::now();
  EXPECT_EQ(run(dir.path(), {arguments, environment, {}}, logs.path() / "log"), 0);
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  const OutputSet new_set = outputs_of(dir.path() / "p");
  EXPECT_EQ(new_set.size(), kExtensions.size());

  KillFigures figures;
  for (const double fraction : fractions) {
    const std::string name = std::string(strsignal(signal_number)) + " at " +
                             std::to_string(fraction) +
                             (named_temporaries ? ", named temporaries" : "");
    put_outputs(dir.path() / "p", old_set);
    write_bytes(dir.path() / "p.as", new_text);
    const pid_t pid = start(dir.path(), {arguments, environment, {}}, logs.path() / "log");
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds * fraction));
    ::kill(pid, signal_number);
    const std::optional<int> status = finish(pid);
    EXPECT_TRUE(status.has_value()) << name << ": still running";
    ++figures.killed;

    OutputSet after = outputs_of(dir.path() / "p");
    if (after != old_set && after != new_set && holds_commit_journal(dir.path())) {
      // Killed between two renames of the commit: the next assembly in the
      // folder finishes them before it writes anything of its own.
      ++figures.interrupted_commits;
      run_another_assembly(dir.path(), environment, logs.path() / "log");
      after = outputs_of(dir.path() / "p");
      EXPECT_EQ(after, new_set) << name << ": the interrupted commit was not finished";
    }
    if (after == old_set) {
      ++figures.old_set;
    } else if (after == new_set) {
      ++figures.new_set;
    } else {
      ++figures.mixed;
      ADD_FAILURE() << name << ": neither the old set nor the new one";
    }
    const std::set<std::string> extra = extra_names(dir.path(), own_files);
    if (!extra.empty()) {
      ++figures.leftovers;
      // Only a process that could not clean up may leave files, and only
      // under a recognisable name, which the next run removes.
      EXPECT_EQ(signal_number, SIGKILL) << name << ": " << *extra.begin();
      for (const std::string& file : extra)
        std::cout << "[ left     ] " << name << ": " << file << "\n";
      for (const std::string& file : extra) {
        EXPECT_TRUE(file.find(".korva-tmp-") != std::string::npos ||
                    file.find(".korva-old-") != std::string::npos ||
                    file.find(".korva-commit-") != std::string::npos)
            << name << ": " << file;
      }
      EXPECT_EQ(run(dir.path(), {arguments, environment, {}}, logs.path() / "log"), 0);
      EXPECT_TRUE(extra_names(dir.path(), own_files).empty()) << name << ": not cleaned up";
    }
  }
  std::cout << "[ figures  ] " << strsignal(signal_number)
            << (named_temporaries ? " (named temporaries)" : " (unnamed temporaries)") << ": "
            << figures.killed << " runs killed, " << figures.old_set << " ended with the old set, "
            << figures.new_set << " with the complete new set, " << figures.mixed
            << " mixed; temporary files left by " << figures.leftovers
            << " (removed by the next run); " << figures.interrupted_commits
            << " commits interrupted and finished by the next run\n";
  return figures;
}

// From reading the sources to after the renames.
const std::vector<double> kManyPoints = {0.05, 0.3, 0.6, 0.85, 0.95, 1.05};
const std::vector<double> kSomePoints = {0.1, 0.6, 0.95};

TEST(KorvaAsmKilled, BySigkillLeavesAWholeSetAndNothingUnnamed) {
  const KillFigures figures = kill_at_many_points(SIGKILL, false, kManyPoints);
  EXPECT_EQ(figures.mixed, 0);
  // Unnamed temporary files vanish with the process; only the instant of
  // the renames could leave a named one.
  EXPECT_LE(figures.leftovers, 1);
}

TEST(KorvaAsmKilled, BySigkillWithNamedTemporariesIsCleanedUpByTheNextRun) {
  EXPECT_EQ(kill_at_many_points(SIGKILL, true, kManyPoints).mixed, 0);
}

TEST(KorvaAsmKilled, BySigtermLeavesAWholeSetAndNoFile) {
  EXPECT_EQ(kill_at_many_points(SIGTERM, false, kManyPoints).leftovers, 0);
}

TEST(KorvaAsmKilled, BySigtermWithNamedTemporariesLeavesAWholeSetAndNoFile) {
  EXPECT_EQ(kill_at_many_points(SIGTERM, true, kManyPoints).leftovers, 0);
}

TEST(KorvaAsmKilled, BySigintAndSighupLeavesAWholeSetAndNoFile) {
  EXPECT_EQ(kill_at_many_points(SIGINT, true, kSomePoints).leftovers, 0);
  EXPECT_EQ(kill_at_many_points(SIGHUP, true, kSomePoints).leftovers, 0);
}

TEST(KorvaAsmRace, TwoRunsForTheSameOutputsNeverMixTheirSets) {
  // Different sources and different projects (so no project lock in common):
  // only the output set's own care keeps the sets apart.
  const std::string a_text = program(300, 3);
  const std::string b_text = program(300, 4);
  const Launch a{{"-w", "--hex", "-o", "p", "a.as"}, {}, {}};
  const Launch b{{"-w", "--hex", "-o", "p", "q.amk"}, {}, {}};
  ScratchDir dir("work"), logs("logs");
  write_bytes(dir.path() / "a.as", a_text);
  write_bytes(dir.path() / "b.as", b_text);
  write_bytes(dir.path() / "q.amk", "b.as\r\n");
  ASSERT_EQ(run(dir.path(), a, logs.path() / "a"), 0) << read_bytes(logs.path() / "a");
  const OutputSet a_set = outputs_of(dir.path() / "p");
  ASSERT_EQ(run(dir.path(), b, logs.path() / "b"), 0) << read_bytes(logs.path() / "b");
  const OutputSet b_set = outputs_of(dir.path() / "p");
  ASSERT_NE(a_set, b_set);
  const std::set<std::string> own_files = {"a.as",  "b.as",  "q.amk", "p.obj",
                                           "p.out", "p.bin", "p.hex"};

  // As many rounds as fit in a few seconds, at least 50.
  int rounds = 0, a_last = 0, b_last = 0, mixed = 0;
  const auto end = Clock::now() + std::chrono::seconds(7);
  while (rounds < 50 || (rounds < 300 && Clock::now() < end)) {
    const bool a_first = rounds % 2 == 0;
    const pid_t first = start(dir.path(), a_first ? a : b, logs.path() / "1");
    const pid_t second = start(dir.path(), a_first ? b : a, logs.path() / "2");
    ASSERT_EQ(exit_code(finish(first)), 0) << read_bytes(logs.path() / "1");
    ASSERT_EQ(exit_code(finish(second)), 0) << read_bytes(logs.path() / "2");
    ++rounds;
    const OutputSet after = outputs_of(dir.path() / "p");
    if (after == a_set) {
      ++a_last;
    } else if (after == b_set) {
      ++b_last;
    } else {
      ++mixed;
      ADD_FAILURE() << "round " << rounds << ": a mixed set";
    }
    EXPECT_TRUE(extra_names(dir.path(), own_files).empty()) << "round " << rounds;
  }
  std::cout << "[ figures  ] race: " << rounds << " rounds of two runs, " << a_last
            << " ended with one run's complete set, " << b_last << " with the other's, " << mixed
            << " mixed\n";
}

// Holds an advisory lock on a file or folder, as another run would.
class HeldLock {
 public:
  explicit HeldLock(const fs::path& path)
      : descriptor_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    EXPECT_GE(descriptor_, 0) << path;
    EXPECT_EQ(::flock(descriptor_, LOCK_EX), 0) << path;
  }
  ~HeldLock() { release(); }
  void release() {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
  }

 private:
  int descriptor_;
};

TEST(KorvaAsmLock, ARunWaitsForTheRunHoldingItsProjectOrFolder) {
  const struct {
    const char* name;
    const char* locked;  // relative to the folder; "." is the folder itself
    std::vector<std::string> arguments;
  } cases[] = {
      {"project file", "p.amk", {"p.amk"}},
      {"first source without a project file", "p.as", {"p.as", "more.inc"}},
      {"output folder", ".", {"p.as"}},
  };
  for (const auto& c : cases) {
    ScratchDir dir("work"), logs("logs");
    write_bytes(dir.path() / "p.as", "NOP\r\n");
    write_bytes(dir.path() / "more.inc", "RET\r\n");
    write_bytes(dir.path() / "p.amk", "p.as\r\n");
    const std::set<std::string> sources = names_in(dir.path());
    HeldLock lock(dir.path() / c.locked);
    const pid_t pid = start(dir.path(), {c.arguments, {}, {}}, logs.path() / "log");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(still_running(pid)) << c.name << ": did not wait";
    EXPECT_EQ(names_in(dir.path()), sources) << c.name << ": wrote while waiting";
    lock.release();
    EXPECT_EQ(exit_code(finish(pid)), 0) << c.name << read_bytes(logs.path() / "log");
    EXPECT_EQ(outputs_of(dir.path() / "p").size(), 3u) << c.name;
  }
}

TEST(KorvaAsmInputs, AreRefusedWithTheirReasonAndNothingChanges) {
  const bool root = ::geteuid() == 0;
  const struct {
    const char* name;
    std::vector<std::string> arguments;
    std::string message;
  } cases[] = {
      {"/dev/zero", {"p.as", "/dev/zero"}, "/dev/zero: cannot read: it is a character device"},
      {"/dev/zero in a project file", {"zero.amk"}, "/dev/zero: cannot read: it is a character"},
      {"FIFO", {"p.as", "fifo.as"}, "fifo.as: cannot read: it is a FIFO"},
      {"directory", {"p.as", "folder.as"}, "folder.as: cannot read: it is a directory"},
      {"symbolic link loop", {"p.as", "loop.as"}, "loop.as: cannot open: a loop of symbolic"},
      {"zero byte", {"p.as", "zero.inc"}, "zero.inc: line 2: a zero byte (NUL) in the text"},
      {"missing", {"p.as", "gone.as"}, "gone.as" + cp932_to_utf8(texts::kFileNotFound)},
      {"over 64 MiB", {"p.as", "huge.as"}, "huge.as: cannot read: larger than 64 MiB"},
      {"no permission", {"p.as", "secret.as"}, "secret.as: cannot open: permission denied"},
  };
  for (const auto& c : cases) {
    if (root && std::string(c.name) == "no permission") {
      std::cout << "[ skipped  ] no permission: runs as root, which may read any file\n";
      continue;
    }
    ScratchDir dir("work"), logs("logs");
    write_bytes(dir.path() / "p.as", "NOP\r\n");
    write_bytes(dir.path() / "zero.amk", "/dev/zero\r\n");
    ASSERT_EQ(::mkfifo((dir / "fifo.as").c_str(), 0600), 0);
    fs::create_directory(dir.path() / "folder.as");
    fs::create_symlink("loop.as", dir.path() / "loop.as");
    write_bytes(dir.path() / "zero.inc", std::string("NOP\r\nN\0P\r\nRET\r\n", 15));
    { std::ofstream(dir.path() / "huge.as"); }
    fs::resize_file(dir.path() / "huge.as", (64u << 20) + 1);
    write_bytes(dir.path() / "secret.as", "NOP\r\n");
    fs::permissions(dir.path() / "secret.as", fs::perms::none);
    put_outputs(dir.path() / "p", {{".obj", "old"}, {".out", "old"}, {".bin", "old"}});
    put_outputs(dir.path() / "zero", {{".obj", "old"}});
    const std::set<std::string> before = names_in(dir.path());

    const std::optional<int> status = finish(
        start(dir.path(), {c.arguments, {}, {}}, logs.path() / "log"), std::chrono::seconds(10));
    ASSERT_TRUE(status.has_value()) << c.name << ": never ended";
    EXPECT_EQ(exit_code(status), 2) << c.name;
    const std::string log = read_bytes(logs.path() / "log");
    EXPECT_NE(log.find(c.message), std::string::npos) << c.name << ": " << log;
    EXPECT_EQ(names_in(dir.path()), before) << c.name;
    EXPECT_EQ(outputs_of(dir.path() / "p"),
              (OutputSet{{".obj", "old"}, {".out", "old"}, {".bin", "old"}}))
        << c.name;
  }
}

TEST(KorvaAsmFileSizeLimit, FailsTheWriteAndKeepsTheOldSet) {
  // A file size limit makes a write fail as a full disk does; korva-asm
  // reports it instead of being ended by SIGXFSZ.
  const struct {
    const char* name;
    std::string source;
    rlim_t limit;
    const char* message;
  } cases[] = {
      {"intermediate file", program(400, 5), rlim_t{64} * 1024,
       "p.obj: cannot write (File too large)"},
      {"image", "NOP\r\nORG $1FFF\r\nNOP\r\n", rlim_t{8} * 1024,
       "p.bin: cannot write (File too large)"},
  };
  for (const auto& c : cases) {
    ScratchDir dir("work"), logs("logs");
    const OutputSet old_set = {{".obj", "old"}, {".out", "old"}, {".bin", "old"}, {".hex", "old"}};
    put_outputs(dir.path() / "p", old_set);
    write_bytes(dir.path() / "p.as", c.source);
    const std::optional<int> status =
        finish(start(dir.path(), {{"-w", "--hex", "p.as"}, {}, c.limit}, logs.path() / "log"));
    EXPECT_EQ(exit_code(status), 2) << c.name;
    EXPECT_NE(read_bytes(logs.path() / "log").find(c.message), std::string::npos)
        << c.name << ": " << read_bytes(logs.path() / "log");
    EXPECT_EQ(outputs_of(dir.path() / "p"), old_set) << c.name;
    EXPECT_EQ(names_in(dir.path()).size(), 5u) << c.name;
  }
}

}  // namespace
}  // namespace korva
