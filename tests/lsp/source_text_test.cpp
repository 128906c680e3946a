// Columns between CP932 bytes and the UTF-16 units that editors count.
#include "lsp/source_text.h"

#include <gtest/gtest.h>

#include <string>

#include "support/column_map.h"

namespace korva::lsp {
namespace {

struct ColumnCase {
  const char* name;
  SourceText text;
  std::size_t line;
  std::vector<std::pair<std::size_t, std::size_t>> columns;  // CP932 byte, UTF-16 unit
};

TEST(SourceText, ConvertsColumnsExactly) {
  const ColumnCase cases[] = {
      {"ASCII", SourceText::from_file("ab\ncd\r\nef"), 1, {{0, 0}, {1, 1}, {2, 2}}},
      // ｱ (half-width katakana) is one byte and one unit; あ two bytes, one unit.
      {"half-width katakana and two-byte characters from a file",
       SourceText::from_file("\xB1\x82\xA0X"),
       0,
       {{0, 0}, {1, 1}, {3, 2}, {4, 3}}},
      {"the same from the editor",
       SourceText::from_editor("\xEF\xBD\xB1\xE3\x81\x82X"),
       0,
       {{0, 0}, {1, 1}, {3, 2}, {4, 3}}},
      // An emoji: one "?" in CP932, a surrogate pair in UTF-16.
      {"a character CP932 lacks",
       SourceText::from_editor("a\xF0\x9F\x98\x80z"),
       0,
       {{0, 0}, {1, 1}, {2, 3}, {3, 4}}},
      {"U+FFFD typed in the editor",
       SourceText::from_editor("a\xEF\xBF\xBDz"),
       0,
       {{1, 1}, {2, 2}, {3, 3}}},
      {"two characters CP932 lacks, side by side",
       SourceText::from_editor("\xF0\x9F\x98\x80\xE2\x82\xACz"),
       0,
       {{0, 0}, {1, 2}, {2, 3}, {3, 4}}},
      // 85 40 is no CP932 character: U+FFFD and "@"; 80 is none either.
      {"bytes that are no CP932 characters",
       SourceText::from_file("\x85\x40\x80Z"),
       0,
       {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}},
      {"a lone lead byte at the end", SourceText::from_file("A\x81"), 0, {{1, 1}, {2, 2}}},
      {"the yen sign the editor sends is CP932 5C",
       SourceText::from_editor("\xC2\xA5"
                               "1"),
       0,
       {{0, 0}, {1, 1}, {2, 2}}},
  };
  for (const ColumnCase& c : cases) {
    for (const auto& [byte, unit] : c.columns) {
      EXPECT_EQ(c.text.position(c.line, byte), (Position{c.line, unit}))
          << c.name << " byte " << byte;
      EXPECT_EQ(c.text.place(Position{c.line, unit}), (LineColumn{c.line, byte}))
          << c.name << " unit " << unit;
    }
  }
}

TEST(SourceText, ColumnsBeyondTheLineGiveItsEnd) {
  const SourceText text = SourceText::from_file("\x82\xA0\x82\xA2\nx");
  EXPECT_EQ(text.position(0, 99), (Position{0, 2}));
  EXPECT_EQ(text.place(Position{0, 99}), (LineColumn{0, 4}));
  EXPECT_EQ(text.line_end(0), (Position{0, 2}));
  // A byte inside a two-byte character maps to its start.
  EXPECT_EQ(text.position(0, 1), (Position{0, 0}));
  EXPECT_EQ(text.position(7, 3), (Position{1, 1}));  // no such line: the text's end
  EXPECT_EQ(text.place(Position{9, 0}), (LineColumn{1, 1}));
}

TEST(SourceText, ALineOf16KilobytesMapsToItsEnd) {
  std::string line;
  while (line.size() < 16384) line += "\x82\xA0\xB1";  // あ and ｱ: three bytes, two units
  const SourceText text = SourceText::from_file(line + "\r\nnext");
  const std::size_t characters = line.size() / 3 * 2;
  EXPECT_EQ(text.position(0, line.size()), (Position{0, characters}));
  EXPECT_EQ(text.place(Position{0, characters - 1}), (LineColumn{0, line.size() - 1}));
  EXPECT_EQ(text.cp932_line(1), "next");
}

// The assembler ends lines at LF only; the editor at LF, CR LF and a lone
// CR. Places in one count land on the same bytes in the other.
TEST(SourceText, ALoneCarriageReturnEndsOnlyTheEditorsLine) {
  struct Case {
    const char* name;
    const char* text;
    LineColumn assembler;
    Position editor;
  };
  const Case cases[] = {
      {"after a lone CR", "A\rBC\nD", {0, 3}, {1, 1}},
      {"before it", "A\rBC\nD", {0, 1}, {0, 1}},
      {"the next LF line", "A\rBC\nD", {1, 1}, {2, 1}},
      {"CR LF is one end", "A\r\nB\rC", {1, 2}, {2, 0}},
      {"two-byte characters after a lone CR", "\r\x82\xA0X", {0, 3}, {1, 1}},
      {"a lone CR at the very end", "AB\r", {0, 2}, {0, 2}},
  };
  for (const Case& c : cases) {
    const SourceText text = SourceText::from_file(c.text);
    EXPECT_EQ(text.position(c.assembler.line, c.assembler.column), c.editor) << c.name;
    EXPECT_EQ(text.place(c.editor), c.assembler) << c.name;
  }
  const SourceText text = SourceText::from_file("A\rBC\nD");
  EXPECT_EQ(text.line_count(), 2u);
  EXPECT_EQ(text.cp932_line(0), "A\rBC");  // the bytes the assembler reads
  EXPECT_EQ(text.line_end(0), (Position{1, 2}));
}

TEST(SourceText, LineStartsCountEachLineEndOnce) {
  const std::string text = "a\r\nb\rc\n\r\rd";
  const LineStarts editor(text, LineEnds::protocol);
  ASSERT_EQ(editor.count(), 6u);
  EXPECT_EQ(editor.line(text, 0), "a");
  EXPECT_EQ(editor.line(text, 1), "b");
  EXPECT_EQ(editor.line(text, 2), "c");
  EXPECT_EQ(editor.line(text, 3), "");
  EXPECT_EQ(editor.line(text, 5), "d");
  EXPECT_EQ(editor.line_of(2), 0u);  // the LF of "a\r\n" belongs to its line
  EXPECT_EQ(editor.line_of(3), 1u);
  const LineStarts assembler(text, LineEnds::assembler);
  ASSERT_EQ(assembler.count(), 3u);
  EXPECT_EQ(assembler.line(text, 1), "b\rc");
  EXPECT_EQ(assembler.line(text, 2), "\r\rd");
}

TEST(SourceText, Utf16OffsetsInUtf8) {
  const std::string line = "a\xE3\x81\x82\xF0\x9F\x98\x80z";
  EXPECT_EQ(utf16_length(line), 5u);
  EXPECT_EQ(utf8_offset(line, 1), 1u);
  EXPECT_EQ(utf8_offset(line, 2), 4u);
  EXPECT_EQ(utf8_offset(line, 3), 4u);  // inside the surrogate pair: before it
  EXPECT_EQ(utf8_offset(line, 4), 8u);
  EXPECT_EQ(utf8_offset(line, 50), line.size());
}

}  // namespace
}  // namespace korva::lsp
