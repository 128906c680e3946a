#include "system/commit_journal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "system/output_set.h"
#include "test_support.h"

namespace korva {
namespace {

using testing::names_in;
using testing::read_bytes;
using testing::ScratchDir;
using testing::write_bytes;

const std::vector<std::string> kTargets = {"p.obj", "p.out", "p.bin"};

// The folder as a commit killed after its first rename leaves it: p.obj is
// new, p.out and p.bin old with their new files still under temporary
// names, and each old target under a second name.
void leave_interrupted_commit(const std::filesystem::path& folder) {
  write_bytes(folder / "p.obj", "new p.obj");
  write_bytes(folder / "p.obj.korva-old-4242-0", "old p.obj");
  for (const std::string& name : {std::string("p.out"), std::string("p.bin")}) {
    write_bytes(folder / name, "old " + name);
    write_bytes(folder / (name + ".korva-old-4242-0"), "old " + name);
    write_bytes(folder / (name + ".korva-tmp-4242-0"), "new " + name);
  }
}

std::string journal_of_interrupted_commit() {
  std::string text;
  for (const std::string& name : kTargets) {
    text.append(name).append(".korva-tmp-4242-0\t").append(name).append("\t");
    text.append(name).append(".korva-old-4242-0\n");
  }
  return text + "end\n";
}

TEST(CommitJournal, TheNextPreparedSetFinishesAnInterruptedCommit) {
  const struct {
    const char* name;
    std::string journal;
    bool finished;  // whether the renames are finished (else the old files stay)
  } cases[] = {
      {"complete journal", journal_of_interrupted_commit(), true},
      // Written only in part: the commit had not begun its renames.
      {"journal without its end",
       journal_of_interrupted_commit().substr(0, journal_of_interrupted_commit().size() - 4),
       false},
      {"journal cut inside a line",
       journal_of_interrupted_commit().substr(0, journal_of_interrupted_commit().size() - 20),
       false},
      // A name that no commit would write is never renamed.
      {"journal naming another file", "victim\tp.out\t\nend\n", false},
      {"journal naming another folder", "../p.out.korva-tmp-4242-0\tp.out\t\nend\n", false},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    leave_interrupted_commit(dir.path());
    write_bytes(dir.path() / "victim", "victim");
    write_bytes(dir.path() / "p.obj.korva-commit-4242-0", c.journal);

    OutputSet set({dir.path() / "p.obj", dir.path() / "p.out", dir.path() / "p.bin"}, {});
    ASSERT_TRUE(set.prepare()) << c.name << ": " << set.error();

    EXPECT_EQ(read_bytes(dir.path() / "p.obj"), "new p.obj") << c.name;
    for (const std::string& name : {std::string("p.out"), std::string("p.bin")}) {
      EXPECT_EQ(read_bytes(dir.path() / name), (c.finished ? "new " : "old ") + name) << c.name;
    }
    EXPECT_EQ(read_bytes(dir.path() / "victim"), "victim") << c.name;
    // The journal, the temporary files and the second names are all gone.
    EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"p.obj", "p.out", "p.bin", "victim"}))
        << c.name;
  }
}

// A commit killed between exchanging p.obj's names with its old file and
// removing the old file's temporary name: p.obj is in place, and the
// temporary name that the journal lists names the old file.
TEST(CommitJournal, AnExchangeCutShortKeepsTheNewFileInPlace) {
  ScratchDir dir;
  leave_interrupted_commit(dir.path());
  std::filesystem::create_hard_link(dir.path() / "p.obj.korva-old-4242-0",
                                    dir.path() / "p.obj.korva-tmp-4242-0");
  write_bytes(dir.path() / "p.obj.korva-commit-4242-0", journal_of_interrupted_commit());

  OutputSet set({dir.path() / "p.obj", dir.path() / "p.out", dir.path() / "p.bin"}, {});
  ASSERT_TRUE(set.prepare()) << set.error();
  for (const std::string& name : kTargets) {
    EXPECT_EQ(read_bytes(dir.path() / name), "new " + name);
  }
  EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"p.obj", "p.out", "p.bin"}));
}

TEST(CommitJournal, AnotherSetInTheFolderFinishesItToo) {
  ScratchDir dir;
  leave_interrupted_commit(dir.path());
  write_bytes(dir.path() / "p.obj.korva-commit-4242-0", journal_of_interrupted_commit());

  OutputSet other({dir.path() / "q.obj", dir.path() / "q.out"}, {});
  ASSERT_TRUE(other.prepare()) << other.error();
  for (const std::string& name : kTargets) {
    EXPECT_EQ(read_bytes(dir.path() / name), "new " + name);
  }
  EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"p.obj", "p.out", "p.bin"}));
}

TEST(CommitJournal, WrittenJournalNamesEveryFileAndEndsTheCommitWhenRemoved) {
  ScratchDir dir;
  std::vector<JournalEntry> entries;
  for (const std::string& name : kTargets) {
    write_bytes(dir.path() / (name + ".korva-tmp-77-1"), "new " + name);
    entries.push_back({dir.path() / (name + ".korva-tmp-77-1"), dir.path() / name, {}});
  }
  const std::filesystem::path journal = write_commit_journal(entries);
  ASSERT_FALSE(journal.empty());
  EXPECT_EQ(journal.parent_path(), dir.path());
  EXPECT_TRUE(is_marked_name_of(journal.filename().native(),
                                std::filesystem::path("p.obj").native(), kCommitMark))
      << journal.filename();

  // Killed before the first rename: the whole new set goes in place.
  EXPECT_TRUE(is_commit_journal(journal.filename().native()));
  complete_interrupted_commit(journal);
  for (const std::string& name : kTargets) {
    EXPECT_EQ(read_bytes(dir.path() / name), "new " + name);
  }
  EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"p.obj", "p.out", "p.bin"}));
}

TEST(CommitJournal, MarkedNames) {
  const struct {
    const char* name;
    const char* target;
    bool marked;
  } cases[] = {
      {"p.obj.korva-tmp-12-0", "p.obj", true},
      {"p.obj.korva-tmp-12-", "p.obj", false},
      {"p.obj.korva-tmp--0", "p.obj", false},
      {"p.obj.korva-tmp-1x-0", "p.obj", false},
      {"p.out.korva-tmp-12-0", "p.obj", false},
      {"p.obj.korva-old-12-0", "p.obj", false},
      {"p.obj", "p.obj", false},
  };
  for (const auto& c : cases) {
    const std::filesystem::path name(c.name), target(c.target);
    EXPECT_EQ(is_marked_name_of(name.native(), target.native(), kTemporaryMark), c.marked)
        << c.name;
  }
}

}  // namespace
}  // namespace korva
