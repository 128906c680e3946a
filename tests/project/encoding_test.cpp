// CP932 in the core, Unicode at the edges: display conversion and the file
// names handed to the file system.
#include <gtest/gtest.h>

#include "project/assembler.h"
#include "project/source_files.h"
#include "resources/system_texts.h"
#include "support/utf8_text.h"
#include "system/system_path.h"
#include "system/text_encoding.h"
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
  EXPECT_EQ(cp932_from_os_path(os_path(cp932)), cp932);
  EXPECT_EQ(os_path(cp932).filename(), os_path(cp932));
#ifdef _WIN32
  // Windows names are UTF-16, whatever the system's code page.
  EXPECT_EQ(os_path(cp932).wstring(), L"\u30C6\u30B9\u30C8.as");
#else
  // Elsewhere they are UTF-8 bytes.
  EXPECT_EQ(os_path(cp932).string(), "テスト.as");
  EXPECT_EQ(cp932_from_os_name("テスト.as"), cp932);
  // Bytes that are not CP932 are the file system's own and stay as they are;
  // in a CP932 text, what CP932 cannot write is a "?".
  EXPECT_EQ(os_path("\x80\xA0.as").string(), "\x80\xA0.as");
  EXPECT_EQ(cp932_from_os_name("\xFF.as"), "?.as");
#endif
}

TEST(SystemPaths, NamesBecomeCp932OnlyWhereCp932WritesThem) {
  const struct {
    const char* native;  // the name as the system gives it (UTF-8 on Windows)
    const char* exact;   // its CP932 spelling, or null
    const char* shown;   // how CP932 texts show it
  } cases[] = {
      {"blink.as", "blink.as", "blink.as"},
      {"点滅.as", "\x93\x5F\x96\xC5.as", "\x93\x5F\x96\xC5.as"},
      {"café.as", nullptr, "caf?.as"},
      {"\xF0\x9F\x94\x94.as", nullptr, "?.as"},
      {"\xCE\xB1.as", "\x83\xBF.as", "\x83\xBF.as"},
  };
  for (const auto& c : cases) {
    const SystemPath name = SystemPath::from_native_text(c.native);
    EXPECT_EQ(name.native_text(), c.native);
    const std::optional<std::string> exact = exact_cp932(name);
    EXPECT_EQ(exact.has_value(), c.exact != nullptr) << c.native;
    EXPECT_EQ(exact.value_or("(none)"), c.exact ? c.exact : "(none)") << c.native;
    EXPECT_EQ(shown_cp932(name), c.shown) << c.native;
    EXPECT_EQ(project_entry_for(name).has_value(), c.exact != nullptr) << c.native;
  }
}

TEST(SystemPaths, AnEntryFindsItsDecodedFileElseTheFileOfItsExactBytes) {
  testing::ScratchDir dir;
  const SystemPath folder(dir.path());
  const std::string entry = utf8_to_cp932("点滅.as");
  const SystemPath decoded = folder / SystemPath::from_cp932(entry);
  const SystemPath exact = folder / SystemPath::from_bytes(entry);
  ASSERT_NE(decoded, exact);
  EXPECT_EQ(entry_file(entry, folder), decoded) << "neither exists";
  testing::write_bytes(exact.path(), "NOP\r\n");
  EXPECT_EQ(entry_file(entry, folder), exact);
  testing::write_bytes(decoded.path(), "NOP\r\n");
  EXPECT_EQ(entry_file(entry, folder), decoded);
}

TEST(TextEncoding, ProjectEntriesWithJapaneseNamesAreFound) {
  testing::ScratchDir dir;
  testing::write_bytes(dir.path() / os_path(utf8_to_cp932("点滅.as")), "NOP\r\n");
  ProjectState project;
  project.entry_directory = dir.path();
  project.entries = {utf8_to_cp932("点滅.as")};
  take_project_path(project, SystemPath(dir.path() / os_path(utf8_to_cp932("計画.amk"))));
  testing::RecordingHost host;
  Assembler assembler;
  EXPECT_EQ(assembler.assemble_project(project, host).outcome, AssemblyOutcome::completed);
  EXPECT_EQ(testing::read_bytes(dir.path() / os_path(utf8_to_cp932("計画.bin"))),
            std::string("\0\0", 2));
}

}  // namespace
}  // namespace korva

namespace korva {
namespace {

TEST(TextEncoding, TellsUtf8SourcesFromShiftJis) {
  struct Case {
    const char* bytes;
    bool utf8;
  };
  const Case cases[] = {
      {"NOP ; plain ASCII", false},
      {"; caf\xC3\xA9", false},  // Latin letter, but also the katakana pair ﾃｩ
      {"; \xC3\xA9t\xC3\xA9 \xE2\x80\x94", true},  // ... with a dash beyond it
      {"; \xE3\x81\x82\xE3\x81\x84", true},        // hiragana
      {"; \xF0\x9F\x98\x80", true},                // beyond the BMP
      {"; \x82\xA0\x82\xA2", false},               // Shift-JIS hiragana: not UTF-8
      {"; \xB1\xB2\xB3", false},                   // half-width katakana
      {"; \xC3\xBD", false},                       // katakana pair that is also UTF-8
      {"; \xC3\xBD \xE3\x81\x82", true},           // ... unless more than that
      {"; \xE0\x80\x80", false},                   // overlong form
      {"; \xED\xA0\x80", false},                   // surrogate
      {"; \xE3\x81", false},                       // cut short
  };
  for (const Case& c : cases) {
    EXPECT_EQ(reads_as_utf8_not_cp932(c.bytes), c.utf8) << c.bytes;
  }
}

}  // namespace
}  // namespace korva

#ifdef _WIN32
namespace korva {
namespace {

// On Windows both separators divide a path: in project entries, in the
// project file's path, and so in the output base name and last directory.
TEST(TextEncoding, WindowsPathsTakeBothSeparatorsAndJapaneseFolders) {
  testing::ScratchDir dir;
  const std::string folder = utf8_to_cp932("ソース");
  std::filesystem::create_directories(dir.path() / os_path(folder));
  testing::write_bytes(dir.path() / os_path(folder) / "a.as", "NOP\r\n");
  testing::write_bytes(dir.path() / os_path(folder) / "b.as", "SLEEP\r\n");
  ProjectState project;
  project.entry_directory = dir.path();
  project.entries = {folder + "\\a.as", folder + "/b.as"};
  const std::string base = cp932_from_os_path(dir.path()) + "\\" + folder;
  take_project_path(project, SystemPath::from_cp932(base + "/prog.amk"));
  EXPECT_EQ(project.output_base_name, SystemPath::from_cp932(base + "/prog"));
  EXPECT_EQ(project.last_directory, base + "/");
  testing::RecordingHost host;
  Assembler assembler;
  EXPECT_EQ(assembler.assemble_project(project, host).outcome, AssemblyOutcome::completed);
  EXPECT_EQ(testing::read_bytes(dir.path() / os_path(folder) / "prog.bin"),
            std::string("\0\0\x63\0", 4));
}

}  // namespace
}  // namespace korva
#endif

namespace korva {
namespace {

// Each system text decodes to the readable form written beside it, and that
// form encodes back to the same bytes.
TEST(SystemTexts, DecodeToTheirReadableForms) {
  for (const texts::SystemText& text : texts::kAllTexts) {
    EXPECT_EQ(cp932_to_utf8(text.cp932), text.readable);
    EXPECT_EQ(utf8_to_cp932(text.readable), text.cp932) << text.readable;
  }
}

// Every text of the header stands in the table, so none escapes the check.
TEST(SystemTexts, TableHoldsEveryTextOfTheHeader) {
  const std::string header = testing::read_bytes(std::filesystem::path(KORVA_TEST_DATA) / ".." /
                                                 "resources" / "system_texts.h");
  std::size_t defined = 0;
  for (std::size_t at = 0;
       (at = header.find("inline constexpr std::string_view k", at)) != std::string::npos; ++at) {
    ++defined;
  }
  EXPECT_EQ(defined, texts::kAllTexts.size());
}

}  // namespace
}  // namespace korva
