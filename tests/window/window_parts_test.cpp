// The window's parts that need no window: status texts, the recent-project
// list, the editor command and Qt's translations.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <string>

#include "driver/listing.h"
#include "shell/assembly_status.h"
#include "shell/qt_translations.h"
#include "shell/recent_projects.h"
#include "shell/source_editor.h"
#include "system/text_encoding.h"

using namespace korva;

TEST(AssemblyStatus, SummaryNamesCountsAndTime) {
  struct Case {
    AssemblySummary summary;
    const char* expected;
  };
  const Case cases[] = {
      {{0, 0, 0, std::nullopt, 0}, "0 errors, 0 warnings, 0 words, 0 ms"},
      {{1, 1, 1, std::nullopt, 7}, "1 error, 1 warning, 1 word, 7 ms"},
      {{2, 3, 120, std::nullopt, 15}, "2 errors, 3 warnings, 120 words, 15 ms"},
      // The share of the chip's memory only when the chip is known.
      {{0, 0, 512, 2048, 3}, "0 errors, 0 warnings, 512 words (25.0 % of program memory), 3 ms"},
      {{0, 0, 1, 8192, 3}, "0 errors, 0 warnings, 1 word (0.0 % of program memory), 3 ms"},
      {{0, 2, 100, 0, 3}, "0 errors, 2 warnings, 100 words, 3 ms"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(summary_text(c.summary).toStdString(), c.expected);
  }
}

TEST(AssemblyStatus, ProgramWordsFromTheCodeColumn) {
  struct Case {
    std::string listing;
    std::size_t words;
  };
  const Case cases[] = {
      {"", 0},
      {"; remark only\n\n", 0},
      {"0000\t3000\tSTART::\t0>W\t\t\r\n", 1},
      // Backslash data lines of eight and six digits; a DE byte has no word.
      {"0000\t12345678\t\t\\12345678\t\t\r\n0002\t123456\t\t\\123456\t\t\r\n", 3},
      {"0000\t2C\t\tDE 2C\t\t\r\n", 0},
      // An ORG line has no code; a jump with its placeholder still is a word.
      {"0004\t\t\tORG 4\t\t\r\n0004\t28XX\t\t===->X\t\tlabel err\r\n", 1},
      // A last line without a line end counts too.
      {"0000\t3000\t\t0>W\t\t\r\n0001\t3001\t\t1>W\t\t", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(count_program_words(c.listing), c.words) << c.listing;
  }
}

TEST(AssemblyStatus, DiagnosticTextGivesThePlace) {
  Diagnostic error;
  error.where = {utf8_to_cp932("定数.inc"), 12};
  error.text = "normal err";
  EXPECT_EQ(diagnostic_text(error), QStringLiteral("定数.inc:12: error: normal err"));

  Diagnostic in_macro = error;
  in_macro.severity = Severity::warning;
  in_macro.call = SourceLocation{"main.as", 40};
  in_macro.text = utf8_to_cp932("文法エラー");
  EXPECT_EQ(diagnostic_text(in_macro),
            QStringLiteral("定数.inc:12, expanded from main.as:40: warning: 文法エラー"));

  Diagnostic explained = error;
  explained.explanation = "TRISB is not defined";
  EXPECT_EQ(diagnostic_text(explained),
            QStringLiteral("定数.inc:12: error: normal err: TRISB is not defined"));

  Diagnostic summary;
  summary.severity = Severity::warning;
  summary.text = "3 more warnings are not shown";
  EXPECT_EQ(diagnostic_text(summary), QStringLiteral("warning: 3 more warnings are not shown"));
}

TEST(AssemblyStatus, ErrorEntryGivesPlaceLineAndExplanation) {
  Diagnostic error;
  error.where = {utf8_to_cp932("定数.inc"), 12};
  error.text = utf8_to_cp932("文法エラー");
  const std::string line = utf8_to_cp932("0002\t\t\tbogus  x\t; ﾒ\t文法エラー\r\n");
  EXPECT_EQ(error_entry_text(error, line),
            QStringLiteral("定数.inc:12  0002 bogus x ; ﾒ 文法エラー"));
  error.explanation = "'bogus' fits no form";
  EXPECT_EQ(error_entry_text(error, line),
            QStringLiteral("定数.inc:12  0002 bogus x ; ﾒ 文法エラー \u2014 'bogus' fits no form"));
  error.call = SourceLocation{"main.as", 40};
  EXPECT_TRUE(error_entry_text(error, line)
                  .startsWith(QStringLiteral("定数.inc:12, expanded from main.as:40  0002")));
  // Without a place (a summary) the line leads.
  Diagnostic summary;
  EXPECT_EQ(error_entry_text(summary, "0003\t\t\tX\t\tE\r\n"), QStringLiteral("0003 X E"));
}

TEST(RecentProjects, NewestFirstEachOnceAtMostEight) {
  QStringList list;
  for (int i = 1; i <= 10; ++i)
    list = with_recent_project(list, QStringLiteral("/p/%1.amk").arg(i));
  ASSERT_EQ(list.size(), kRecentProjectCount);
  EXPECT_EQ(list.front(), QStringLiteral("/p/10.amk"));
  EXPECT_EQ(list.back(), QStringLiteral("/p/3.amk"));
  list = with_recent_project(list, QStringLiteral("/p/5.amk"));
  EXPECT_EQ(list.size(), kRecentProjectCount);
  EXPECT_EQ(list.front(), QStringLiteral("/p/5.amk"));
  EXPECT_EQ(list.count(QStringLiteral("/p/5.amk")), 1);
  EXPECT_EQ(list[1], QStringLiteral("/p/10.amk"));
}

TEST(RecentProjects, KeptInTheUsersConfigurationFolder) {
  int argc = 1;
  char name[] = "window_parts_test";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);
  QStandardPaths::setTestModeEnabled(true);
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  QDir(folder + QStringLiteral("/korva")).removeRecursively();

  RecentProjects recent;
  EXPECT_TRUE(recent.paths().isEmpty());
  recent.remember(QStringLiteral("/a/one.amk"));
  recent.remember(QStringLiteral("/b/二.amk"));
  EXPECT_EQ(RecentProjects().paths(), QStringList({"/b/二.amk", "/a/one.amk"}));
  recent.forget(QStringLiteral("/b/二.amk"));
  EXPECT_EQ(RecentProjects().paths(), QStringList({"/a/one.amk"}));
  EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/korva/korva.conf")));
  QDir(folder + QStringLiteral("/korva")).removeRecursively();
  QStandardPaths::setTestModeEnabled(false);
}

TEST(SourceEditor, VisualThenEditorWithTheLine) {
  struct Case {
    QString visual;
    QString editor;
    std::size_t line;
    QString program;  // empty: no editor
    QStringList arguments;
  };
  const QString file = QStringLiteral("/src/テスト.as");
  const Case cases[] = {
      {"gvim", "vi", 14, "gvim", {"+14", file}},
      {"", "nano", 3, "nano", {"+3", file}},
      {"  ", "emacs", 3, "emacs", {"+3", file}},
      {"code --wait", "", 7, "code", {"--wait", "+7", file}},
      {"\"/opt/my editor/ed\" -x", "", 1, "/opt/my editor/ed", {"-x", "+1", file}},
      {"kate", "", 0, "kate", {file}},
      {"", "", 5, "", {}},
  };
  for (const Case& c : cases) {
    const std::optional<EditorCommand> command = editor_command(c.visual, c.editor, file, c.line);
    if (c.program.isEmpty()) {
      EXPECT_FALSE(command.has_value()) << c.visual.toStdString();
      continue;
    }
    ASSERT_TRUE(command.has_value()) << c.visual.toStdString();
    EXPECT_EQ(command->program, c.program);
    EXPECT_EQ(command->arguments, c.arguments);
  }
}

TEST(SourceEditor, TerminalEditorsRunInAFoundTerminal) {
  for (const char* program : {"vi", "/usr/bin/vim", "nano", "nvim"}) {
    EXPECT_TRUE(needs_terminal(QString::fromLatin1(program))) << program;
  }
  for (const char* program : {"gvim", "kate", "code", "emacs", "/opt/my editor/edit"}) {
    EXPECT_FALSE(needs_terminal(QString::fromLatin1(program))) << program;
  }
  const EditorCommand vi{QStringLiteral("vi"), {QStringLiteral("+2"), QStringLiteral("/s/a.as")}};
  const QStringList installed = {QStringLiteral("xterm"), QStringLiteral("kitty")};
  const auto find = [&installed](const QString& name) {
    return installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
  };
  struct Case {
    QString preferred;
    QString program;  // empty: none found
  };
  const Case cases[] = {
      {"kitty", "/usr/bin/kitty"},  // the user's own first
      {"", "/usr/bin/xterm"},       // no x-terminal-emulator here
      {"alacritty", "/usr/bin/xterm"},
  };
  for (const Case& c : cases) {
    const std::optional<EditorCommand> command = in_terminal(vi, c.preferred, find);
    ASSERT_TRUE(command.has_value()) << c.preferred.toStdString();
    EXPECT_EQ(command->program, c.program);
    EXPECT_EQ(command->arguments, QStringList({"-e", "vi", "+2", "/s/a.as"}));
  }
  EXPECT_FALSE(in_terminal(vi, QString(), [](const QString&) { return QString(); }).has_value());
}

TEST(QtTranslations, JapaneseDialogsWhereInstalled) {
  if (!QFileInfo::exists(qt_translations_directory() + QStringLiteral("/qt_ja.qm"))) {
    GTEST_SKIP() << "Qt's Japanese translations are not installed (qt6-translations-l10n)";
  }
  int argc = 1;
  char name[] = "window_parts_test";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);
  const QString english = QStringLiteral("Cancel");
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), english);
  ASSERT_TRUE(install_qt_translations(application, QLocale(QLocale::Japanese, QLocale::Japan)));
  const QString japanese = QCoreApplication::translate("QPlatformTheme", "Cancel");
  EXPECT_NE(japanese, english);
  EXPECT_TRUE(japanese.contains(QStringLiteral("キャンセル"))) << japanese.toStdString();
  // No catalogue for the language: nothing is installed.
  EXPECT_FALSE(install_qt_translations(application, QLocale(QLocale::Zulu)));
  EXPECT_FALSE(
      install_qt_translations(application, QLocale::system(), QStringLiteral("/nonexistent")));
}
