// Where a project's entries are found, and how a file chosen anywhere is
// named in the project list.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "project/project.h"
#include "resources/system_texts.h"
#include "system/system_path.h"
#include "system/text_encoding.h"

using namespace korva;

namespace {

#ifdef _WIN32
const std::filesystem::path kRoot = "C:\\";
#else
const std::filesystem::path kRoot = "/";
#endif

std::string native(std::string_view generic) {
  return cp932_from_os_path(std::filesystem::path(generic).make_preferred());
}

TEST(ProjectPaths, FolderOfTheProjectFile) {
  EXPECT_EQ(project_folder(SystemPath(kRoot / "work" / "tick" / "ticker.amk")),
            kRoot / "work" / "tick");
  EXPECT_EQ(project_folder(SystemPath("ticker.amk")), std::filesystem::path());
}

struct EntryCase {
  const char* file;    // below the root
  const char* folder;  // below the root
  std::string entry;   // generic separators; empty = the full path
};

TEST(ProjectPaths, EntryForAFileNamesItFromTheFolder) {
  const EntryCase cases[] = {
      {"work/tick/a.as", "work/tick", "a.as"},
      {"work/tick/inc/defs.inc", "work/tick", "inc/defs.inc"},
      {"work/serial/serial.as", "work/tick", "../serial/serial.as"},
      {"work/tick/./x/../b.as", "work/tick", "b.as"},
  };
  for (const EntryCase& c : cases) {
    const Expected<std::string> entry = entry_for_file(kRoot / c.file, kRoot / c.folder);
    ASSERT_TRUE(entry) << c.file;
    EXPECT_EQ(*entry, native(c.entry)) << c.file;
  }
}

// A chip's file from the installed chip folder is named by the shorter way;
// a file near the project keeps its relative name.
TEST(ProjectPaths, ShorterEntryForAFileKeptApart) {
  const EntryCase cases[] = {
      {"usr/share/korva/chips/16F84A.inc", "home/ann/work/pic/blink/v2",
       ""},  // ../../../../../../usr/share/... is longer
      {"home/ann/chips/16F84A.inc", "home/ann/work", "../chips/16F84A.inc"},
      {"home/ann/work/16F84A.inc", "home/ann/work", "16F84A.inc"},
  };
  for (const EntryCase& c : cases) {
    const Expected<std::string> entry = shorter_entry_for_file(kRoot / c.file, kRoot / c.folder);
    ASSERT_TRUE(entry) << c.file;
    EXPECT_EQ(*entry, c.entry.empty() ? cp932_from_os_path((kRoot / c.file).lexically_normal())
                                      : native(c.entry))
        << c.file;
  }
}

TEST(ProjectPaths, LongRelativeNamesFallBackToTheFullPathWithinTheLimit) {
  // Deep below the root, the way back up is longer than the full path.
  std::filesystem::path folder = kRoot;
  for (int i = 0; i < 40; ++i) folder /= "d";
  const std::filesystem::path file = kRoot / "src" / "a.as";
  const Expected<std::string> entry = entry_for_file(file, folder);
  ASSERT_TRUE(entry);
  EXPECT_EQ(*entry, cp932_from_os_path(file));

  // Neither way fits: refused, naming the file.
  const std::filesystem::path far = kRoot / std::string(kEntryLimit, 'x');
  const Expected<std::string> refused = entry_for_file(far / "a.as", folder);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.message().find(cp932_from_os_path(far / "a.as")), std::string::npos);
  EXPECT_NE(refused.message().find(texts::kNameTooLong), std::string::npos);

  // An entry of exactly the limit is kept.
  const std::string name = std::string(kEntryLimit - 3, 'n') + ".as";
  const Expected<std::string> longest = entry_for_file(kRoot / "p" / name, kRoot / "p");
  ASSERT_TRUE(longest);
  EXPECT_EQ(*longest, name);
}

TEST(ProjectPaths, EntriesMovedToAnotherFolderNameTheSameFiles) {
  const std::string full = cp932_from_os_path(kRoot / "lib" / "x.inc");
  const std::vector<std::string> entries = {"a.as", native("inc/defs.inc"), full, ""};
  const Expected<std::vector<std::string>> moved =
      entries_for_folder(entries, kRoot / "work" / "tick", kRoot / "work" / "out");
  ASSERT_TRUE(moved);
  const std::vector<std::string> expected = {native("../tick/a.as"), native("../tick/inc/defs.inc"),
                                             full, ""};
  EXPECT_EQ(*moved, expected);

  // Into a subfolder and back again gives the entries that went in.
  const Expected<std::vector<std::string>> back =
      entries_for_folder(*moved, kRoot / "work" / "out", kRoot / "work" / "tick");
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, entries);
}

TEST(ProjectPaths, MovingFailsWhenAnEntryNoLongerFits) {
  std::filesystem::path deep = kRoot;
  for (int i = 0; i < 30; ++i) deep /= "dd";
  const std::vector<std::string> entries = {std::string(60, 'a') + ".as"};
  const Expected<std::vector<std::string>> moved = entries_for_folder(entries, deep, kRoot / "o");
  ASSERT_FALSE(moved);
  EXPECT_NE(moved.message().find(texts::kNameTooLong), std::string::npos);
}

}  // namespace
