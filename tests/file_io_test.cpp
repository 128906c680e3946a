#include "driver/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "test_support.h"

namespace korva {
namespace {

using testing::read_bytes;
using testing::ScratchDir;
using testing::write_bytes;

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
      EXPECT_TRUE(file.write("first")) << c.name;
      file.start_write_back();  // a request between writes changes nothing
      EXPECT_TRUE(file.write("|second")) << c.name;
      if (c.commit) {
        EXPECT_TRUE(file.commit()) << c.name << ": " << file.error();
        ReplacedFile replaced = file.take_replaced();
#if !defined(_WIN32)
        EXPECT_EQ(replaced.holds_file(), c.replaced_kept) << c.name;
#endif
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

}  // namespace
}  // namespace korva
