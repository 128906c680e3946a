// The editor pane's file handling without a window: lines kept as read,
// saved byte for byte where unchanged; where a line's statement lies; what
// hovering a statement says.
#include "shell/source_text.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <string>

#include "shell/simulation.h"
#include "shell/source_pane.h"
#include "system/text_encoding.h"

using namespace korva;

namespace {

// Half-width katakana (single CP932 bytes A1-DF), a two-byte kanji, and a
// byte pair that is no CP932 character at all.
const std::string kKatakana = "\xB6\xC5";  // ｶﾅ
const std::string kKanji = "\x8A\xBF";     // 漢
const std::string kNoCharacter = "\x85\x40";

TEST(SourceText, UnchangedFilesSaveAsTheirBytes) {
  const std::string files[] = {
      "START:: 0>W ;" + kKatakana + "\r\n===->START\r\n",
      "A ;" + kKanji + "\r\nB\nC",            // mixed ends, no final end
      "X ;" + kNoCharacter + "\r\n\r\n\r\n",  // bytes of no code page
      "",
      "\r\n",
  };
  for (const std::string& bytes : files) {
    const SourceText text = split_source(bytes);
    EXPECT_EQ(saved_bytes(text, shown_lines(text)), bytes) << bytes;
  }
}

TEST(SourceText, LinesAsTheEditorShowsThem) {
  const SourceText text = split_source("a\r\nb\n" + kKatakana);
  EXPECT_EQ(shown_lines(text), QStringList({"a", "b", QStringLiteral("ｶﾅ")}));
  EXPECT_EQ(split_source("a\r\n").lines.size(), 2u);  // the empty line after the end
}

TEST(SourceText, EditedLinesEncodedOthersKept) {
  const std::string bytes = "L1 ;" + kNoCharacter + "\r\nL2\r\nL3 ;" + kKatakana + "\r\n";
  const SourceText text = split_source(bytes);
  QStringList edited = shown_lines(text);
  edited[1] = QStringLiteral("L2 ;ﾃｽﾄ");    // changed
  edited.insert(2, QStringLiteral("NEW"));  // inserted
  edited.move(0, 3);                        // moved, unchanged
  // Moved lines keep their bytes, changed and new ones are CP932 with the
  // file's usual CR LF.
  EXPECT_EQ(saved_bytes(text, edited),
            "L2 ;\xC3\xBD\xC4\r\nNEW\r\nL3 ;" + kKatakana + "\r\nL1 ;" + kNoCharacter + "\r\n");
  // A file of LF lines gets LF for its new lines.
  const SourceText unix_text = split_source("a\nb\n");
  EXPECT_EQ(saved_bytes(unix_text, {"a", "new", "b", ""}), "a\nnew\nb\n");
}

TEST(SourcePane, StatementPlaceSkipsLabelAndRemark) {
  struct Case {
    const char* line;
    std::size_t start;
    std::size_t end;
  };
  const Case cases[] = {
      {"START:: 0>W ; remark", 8, 11}, {"        NOP", 8, 11},  {"LOOP: W-1>W;x", 6, 11},
      {"; only a remark", 0, 0},       {"  'a;b'>W ; r", 2, 9},  // a ';' in quotes is no remark
      {"NOLABEL 1>W", 0, 11},
  };
  for (const Case& c : cases) {
    const StatementPlace place = statement_place(c.line);
    EXPECT_EQ(place.start, c.start) << c.line;
    EXPECT_EQ(place.end, c.end) << c.line;
  }
}

TEST(SourcePane, HoverNamesTheStatementsForm) {
  // A register operation names its base word and its literal form's.
  EXPECT_EQ(statement_summary("START:: 0>W ; set W"),
            QStringLiteral("MOV  @>@  (word 0800, with a literal 3000)"));
  EXPECT_EQ(statement_summary("        NOP"), QStringLiteral("NOP  NOP  (word 0000)"));
  EXPECT_TRUE(statement_summary("; nothing").isEmpty());
  EXPECT_TRUE(statement_summary("bogus statement").isEmpty());
}

TEST(Simulation, ChipFromTheFirstEntry) {
  struct Case {
    std::vector<std::string> entries;
    const char* chip;  // nullptr: none
  };
  const Case cases[] = {
      {{"16F84A.inc", "main.as"}, "16F84A"},
      {{"../chips/16f628a.INC", "main.as"}, "16F628A"},
      {{"main.as", "16F84A.inc"}, nullptr},  // only the first entry counts
      {{"16F999.inc"}, nullptr},             // no such chip in gpsim
      {{"defs.inc"}, nullptr},
      {{}, nullptr},
  };
  for (const Case& c : cases) {
    const std::optional<GpsimProcessor> chip = project_chip(c.entries);
    if (c.chip == nullptr) {
      EXPECT_FALSE(chip.has_value()) << (c.entries.empty() ? "" : c.entries.front());
    } else {
      ASSERT_TRUE(chip.has_value()) << c.entries.front();
      EXPECT_EQ(chip->chip, c.chip);
      EXPECT_GT(chip->program_words, 0u);
    }
  }
  EXPECT_EQ(gpsim_arguments(QStringLiteral("/p/a b.cod")), QStringList({"-s", "/p/a b.cod"}));
}

}  // namespace
