// CP932 in the core, Unicode at the edges: display conversion and the file
// names handed to the file system.
#include "driver/text_encoding.h"

#include <gtest/gtest.h>

#include "driver/assembler.h"
#include "resources/system_texts.h"
#include "test_support.h"

namespace korva {
namespace {

TEST(TextEncoding, DecodesSystemTextsAndMarksBadBytes) {
  EXPECT_EQ(cp932_to_utf8(texts::kGrammarError), "文法エラー");
  EXPECT_EQ(cp932_to_utf8(texts::kFileNotFound), "  ﾌｧｲﾙが見つかりません。");
  EXPECT_EQ(cp932_to_utf8("A\x82"), "A\xEF\xBF\xBD") << "a lead byte without its trail";
  EXPECT_EQ(utf8_to_cp932("文法エラー"), texts::kGrammarError);
}

TEST(TextEncoding, FileNamesRoundTripThroughTheFileSystemForm) {
  const std::string cp932 = utf8_to_cp932("テスト.as");
  EXPECT_EQ(os_path(cp932).string(), "テスト.as");
  EXPECT_EQ(cp932_from_os_name("テスト.as"), cp932);
  // Bytes that are not CP932 are the file system's own and stay as they are.
  EXPECT_EQ(os_path("\x80\xA0.as").string(), "\x80\xA0.as");
  EXPECT_EQ(cp932_from_os_name("\xFF.as"), "\xFF.as");
}

TEST(TextEncoding, ProjectEntriesWithJapaneseNamesAreFound) {
  testing::ScratchDir dir;
  testing::write_bytes(dir.path() / "点滅.as", "NOP\r\n");
  ProjectState project;
  project.entry_directory = dir.path();
  project.entries = {utf8_to_cp932("点滅.as")};
  take_project_path(project, cp932_from_os_path(dir.path() / "計画.amk"));
  testing::RecordingHost host;
  Assembler assembler;
  EXPECT_EQ(assembler.assemble_project(project, host).outcome, AssemblyOutcome::completed);
  EXPECT_EQ(testing::read_bytes(dir.path() / "計画.bin"), std::string("\0\0", 2));
}

}  // namespace
}  // namespace korva
