// The editor pane's file handling without a window: lines kept as read,
// saved byte for byte where unchanged; the colours and marks of a line in
// the characters shown; what hovering a statement says.
#include "shell/source_text.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <string>
#include <utility>
#include <vector>

#include "driver/assembly_service.h"
#include "shell/shown_line.h"
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
    EXPECT_EQ(saved_bytes(text, shown_lines(text)).bytes, bytes) << bytes;
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
  EXPECT_EQ(saved_bytes(text, edited).bytes,
            "L2 ;\xC3\xBD\xC4\r\nNEW\r\nL3 ;" + kKatakana + "\r\nL1 ;" + kNoCharacter + "\r\n");
  // A file of LF lines gets LF for its new lines.
  const SourceText unix_text = split_source("a\nb\n");
  EXPECT_EQ(saved_bytes(unix_text, {"a", "new", "b", ""}).bytes, "a\nnew\nb\n");
}

// A character CP932 cannot hold is found, not written as "?" unsaid; "?"
// itself, the yen sign (5C) and a kept line of bytes that are no character
// are no such character.
TEST(SourceText, CharactersCp932CannotHoldAreNamed) {
  const SourceText text = split_source("L1 ;" + kNoCharacter + "\r\n");
  struct Case {
    QStringList edited;
    std::optional<qsizetype> line;
    QString character;
  };
  const Case cases[] = {
      {{shown_lines(text)[0], QStringLiteral("caf\u00E9 \U0001F642")}, 1, QStringLiteral("\u00E9")},
      {{QStringLiteral("W+1>W ; \U0001F642")}, 0, QStringLiteral("\U0001F642")},
      {{QStringLiteral("? \u00A5 \u30EB\u30FC\u30D7"), shown_lines(text)[0]}, std::nullopt, {}},
  };
  for (const Case& c : cases) {
    const SavedBytes saved = saved_bytes(text, c.edited);
    ASSERT_EQ(saved.unwritable.has_value(), c.line.has_value()) << c.edited.join('|').toStdString();
    if (!c.line) continue;
    EXPECT_EQ(saved.unwritable->line, *c.line);
    EXPECT_EQ(saved.unwritable->character, c.character);
  }
}

// The styles of a line, as the text they cover in the pane's characters.
std::vector<std::pair<QString, syntax::Style>> styled_texts(const QString& line) {
  std::vector<std::pair<QString, syntax::Style>> texts;
  for (const syntax::StyledSpan& span : pane_styles(line)) {
    texts.emplace_back(
        line.mid(static_cast<qsizetype>(span.start), static_cast<qsizetype>(span.length)),
        span.style);
  }
  return texts;
}

TEST(SourcePane, LinesTheAssemblerAcceptsShowNoError) {
  using syntax::Style;
  struct Case {
    QString line;
    QString label;  // the text styled as the label; empty: none
    Style label_style;
  };
  const Case cases[] = {
      {QStringLiteral("TICKS EQU 5"), QStringLiteral("TICKS"), Style::global_label},
      {QStringLiteral("    X: NOP"), QStringLiteral("X"), Style::local_label},
      {QStringLiteral("A:NOP"), QStringLiteral("A"), Style::local_label},
      {QStringLiteral("開始::  (TICKS)+1 ; 註"), QStringLiteral("開始"), Style::global_label},
      {QStringLiteral("ｶｳﾝﾀ:\t0>W"), QStringLiteral("ｶｳﾝﾀ"), Style::local_label},
      {QStringLiteral("        ===->開始"), QString(), Style::normal},
  };
  for (const Case& c : cases) {
    QString label;
    Style label_style = Style::normal;
    for (const auto& [text, style] : styled_texts(c.line)) {
      EXPECT_NE(style, Style::error) << c.line.toStdString() << ": " << text.toStdString();
      if (style == Style::global_label || style == Style::local_label) {
        label = text;
        label_style = style;
      }
    }
    EXPECT_EQ(label, c.label) << c.line.toStdString();
    EXPECT_EQ(label_style, c.label_style) << c.line.toStdString();
  }
  // The remark after full-width text covers it from its ";" on.
  const auto styles = styled_texts(QStringLiteral("開始::  (TICKS)+1 ; 註"));
  ASSERT_FALSE(styles.empty());
  EXPECT_EQ(styles.back(), std::make_pair(QStringLiteral("; 註"), syntax::Style::remark));
}

TEST(SourcePane, MarksSitUnderTheCharactersTheAssemblerBlames) {
  // The assembler's columns are CP932 bytes; the pane's marks are on the
  // characters shown, after full-width text, half-width katakana and tabs.
  const QString lines[] = {
      QStringLiteral("ループ:  (UNDEF1)+1"),
      QStringLiteral("ｶｳﾝﾀ:\t(UNDEF1)+1"),
      QStringLiteral("\t(UNDEF1)+1 ; ループ"),
  };
  for (const QString& line : lines) {
    SourceSet sources;
    ASSERT_TRUE(sources.add("a.as", utf8_to_cp932(line.toStdString()) + "\r\n"));
    AssemblyService service;
    const ServiceResult result = service.assemble(std::move(sources), ServiceOptions{});
    ASSERT_FALSE(result.diagnostics.empty()) << line.toStdString();
    const Diagnostic& diagnostic = result.diagnostics.front();
    ASSERT_TRUE(diagnostic.span.has_value()) << line.toStdString();
    const auto [start, length] = mark_range(line, diagnostic.span);
    EXPECT_EQ(line.mid(start, length), QStringLiteral("UNDEF1")) << line.toStdString();
  }
  // Without a span the whole line is marked.
  EXPECT_EQ(mark_range(QStringLiteral("ループ"), std::nullopt), std::make_pair(0, 3));
}

TEST(ShownLine, PositionsAndColumnsAgree) {
  const ShownLine line(QStringLiteral("aループ\U0001F600z"));  // the emoji: one "?", two units
  const std::pair<std::size_t, int> places[] = {{0, 0}, {1, 1}, {3, 2}, {7, 4}, {8, 6}, {9, 7}};
  for (const auto& [byte, position] : places) {
    EXPECT_EQ(line.position(byte), position) << byte;
    EXPECT_EQ(line.column(position), byte) << position;
  }
}

TEST(SourcePane, HoverNamesTheStatementsForm) {
  // A register operation names its base word and its literal form's.
  EXPECT_EQ(statement_summary("START:: 0>W ; set W"),
            QStringLiteral("MOV  @>@  (word 0800, with a literal 3000)"));
  EXPECT_EQ(statement_summary("        NOP"), QStringLiteral("NOP  NOP  (word 0000)"));
  EXPECT_TRUE(statement_summary("; nothing").isEmpty());
  EXPECT_TRUE(statement_summary("bogus statement").isEmpty());
  // On an enhanced chip its own forms; the classic forms keep theirs.
  EXPECT_EQ(statement_summary("        FSR0++>W", CoreFamily::enhanced),
            QStringLiteral("MOVI  @++>W  (word 0012)"));
  EXPECT_EQ(statement_summary("        <<(X)<<0", CoreFamily::enhanced),
            QStringLiteral("LSL  <<@<<0  (word 3500)"));
  EXPECT_EQ(statement_summary("START:: 0>W ; set W", CoreFamily::enhanced),
            QStringLiteral("MOV  @>@  (word 0800, with a literal 3000)"));
  EXPECT_EQ(statement_summary("        (X)>BANK"), QStringLiteral("BANK  @>BANK  (word 1000)"));
  // The enhanced forms colour as forms there, not as a classic MOVF.
  EXPECT_NE(pane_styles(QStringLiteral("        W>FSR0++"), CoreFamily::enhanced),
            pane_styles(QStringLiteral("        W>FSR0++")));
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
