// The window's project handling: where entries are found, how files chosen
// in other folders are named, and that no change to the list is dropped
// without a question. Scripted dialogs, offscreen platform.
#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "project/project.h"
#include "resources/system_texts.h"
#include "scripted_dialogs.h"
#include "shell/main_window.h"
#include "shell/source_pane.h"
#include "shell/user_settings.h"
#include "system/text_encoding.h"

using namespace korva;

namespace {

QString shown(std::string_view cp932) {
  return QString::fromStdString(cp932_to_utf8(cp932));
}

std::string read_bytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll().toStdString();
}

bool write_bytes(const QString& path, std::string_view bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
             static_cast<qint64>(bytes.size());
}

ChosenFile chosen(const QString& path) {
  return ChosenFile{path, QFileInfo(path).fileName()};
}

const QString kTitle = shown(texts::kWindowTitle);

}  // namespace

class ProjectHandlingTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString previous_directory_;
  std::shared_ptr<DialogLog> log_;
  std::unique_ptr<MainWindow> window_;

  QString path(const QString& name) const { return dir_.filePath(name); }
  QListWidget* projects() const { return window_->findChild<QListWidget*>("project_list"); }
  QListWidget* errors() const { return window_->findChild<QListWidget*>("error_list"); }

  // Shows the window and double-clicks the project's first entry, as a
  // person does (a press first), which opens it in the editor pane.
  SourcePane* double_click_first_entry() {
    window_->show();
    if (!QTest::qWaitForWindowExposed(window_.get())) return nullptr;
    const QPoint at = projects()->visualItemRect(projects()->item(0)).center();
    QTest::mouseClick(projects()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(projects()->viewport(), Qt::LeftButton, {}, at);
    return window_->findChild<SourcePane*>("source_pane");
  }

  // One start of the window: its size once an assembly has shown the status
  // bar; then it is closed and made again, as the next start.
  QSize size_at_a_start() {
    window_->show();
    if (!QTest::qWaitForWindowExposed(window_.get())) return {};
    window_->run_command(Command::assemble);  // "Nothing to assemble" shows the status bar
    if (!QTest::qWaitFor([&] { return window_->statusBar()->isVisible(); })) return {};
    const QSize size = window_->size();
    window_->close();
    create_window();
    return size;
  }

  void create_window() {
    log_ = std::make_shared<DialogLog>();
    window_ = std::make_unique<MainWindow>(std::make_unique<ScriptedDialogs>(log_));
  }
  void open(const QString& name) {
    log_->answers.push_back(chosen(path(name)));
    window_->run_command(Command::open_make_file);
  }
  void add(const QString& name) {
    log_->answers.push_back(chosen(path(name)));
    window_->run_command(Command::add_file);
  }
  QStringList shown_entries() const {
    QStringList texts;
    for (int i = 0; i < projects()->count(); ++i) texts << projects()->item(i)->text();
    return texts;
  }
  // Assembles and gives the message boxes the run showed.
  QStringList assemble() {
    const std::size_t before = log_->messages.size();
    window_->run_command(Command::assemble);
    QStringList texts;
    for (std::size_t i = before; i < log_->messages.size(); ++i) texts << log_->messages[i].text;
    return texts;
  }

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    previous_directory_ = QDir::currentPath();
    // The process stays in a folder of its own, holding namesakes of the
    // project's sources that must never be read.
    QVERIFY(QDir(dir_.path()).mkpath("start"));
    QVERIFY(QDir::setCurrent(path("start")));
    QVERIFY(write_bytes(path("start/ticker.as"), "wrong one\r\n"));
    create_window();
  }
  void cleanup() {
    window_.reset();
    QDir::setCurrent(previous_directory_);
    QDir(dir_.path()).removeRecursively();
    QVERIFY(QDir().mkpath(dir_.path()));
  }

  // A file added from another folder joins with a path relative to the
  // project's folder, and the project's own entries are still found there.
  void entries_found_in_the_project_folder_after_adding_from_elsewhere() {
    QVERIFY(write_bytes(path("tick/ticker.amk"), "ticker.as\r\n"));
    QVERIFY(write_bytes(path("tick/ticker.as"), "START:: 0>W\r\n"));
    QVERIFY(write_bytes(path("serial/serial.as"), "===->START\r\n"));
    open("tick/ticker.amk");
    add("serial/serial.as");
    QCOMPARE(shown_entries(), QStringList({"ticker.as", "../serial/serial.as"}));
    QCOMPARE(assemble(), QStringList());
    QCOMPARE(errors()->count(), 0);
    QVERIFY(QFile::exists(path("tick/ticker.hex")));
    QVERIFY(!QFile::exists(path("serial/ticker.hex")));

    // Saved and opened again, the project still finds both.
    window_->run_command(Command::save_make_file);
    QCOMPARE(read_bytes(path("tick/ticker.amk")),
             std::string("ticker.as\r\n../serial/serial.as\r\n"));
    create_window();
    open("tick/ticker.amk");
    QCOMPARE(assemble(), QStringList());
    QCOMPARE(errors()->count(), 0);
  }

  // Before the project has a file, entries are found in the folder of the
  // first one added; Save As moves them to the project file's folder.
  void unnamed_project_then_save_as_elsewhere() {
    const QString japanese = QStringLiteral("jp/テスト.as");
    QVERIFY(write_bytes(path(japanese), "START:: 0>W\r\n===->START\r\n"));
    add(japanese);
    QCOMPARE(shown_entries(), QStringList({QStringLiteral("テスト.as")}));
    QCOMPARE(assemble(), QStringList());
    QVERIFY(QFile::exists(path(QStringLiteral("jp/テスト.hex"))));

    QVERIFY(QDir(dir_.path()).mkpath("errp"));
    log_->answers.push_back(chosen(path("errp/blink.amk")));
    window_->run_command(Command::save_make_file_as);
    QCOMPARE(read_bytes(path("errp/blink.amk")), utf8_to_cp932("../jp/テスト.as\r\n"));
    create_window();
    open("errp/blink.amk");
    QCOMPARE(assemble(), QStringList());
    QVERIFY(QFile::exists(path("errp/blink.hex")));
  }

  // A name that fits the list neither relatively nor in full is refused.
  void overlong_name_refused() {
    const QString far = QString(60, QLatin1Char('f')) + QLatin1Char('/') +
                        QString(50, QLatin1Char('g')) + QStringLiteral(".as");
    QVERIFY(write_bytes(path(far), "NOP\r\n"));
    add("a.as");
    add(far);
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QVERIFY(log_->messages[0].text.endsWith(shown(texts::kNameTooLong)));
    QCOMPARE(shown_entries(), QStringList({"a.as"}));
  }

  // The title carries the project's name and a mark while the list holds
  // changes; Open, New and Exit ask before dropping them.
  void modified_mark_and_questions() {
    QVERIFY(write_bytes(path("p.amk"), "a.as\r\n"));
    QVERIFY(write_bytes(path("q.amk"), "q.as\r\n"));
    QCOMPARE(window_->windowTitle(), kTitle);
    open("p.amk");
    QCOMPARE(window_->windowTitle(), QStringLiteral("p.amk - ") + kTitle);
    add("b.as");
    QCOMPARE(window_->windowTitle(), QStringLiteral("*p.amk - ") + kTitle);

    // Cancelled: neither the dialog nor the list moves.
    log_->replies.push_back(Reply::cancel);
    const std::size_t requests = log_->requests.size();
    window_->run_command(Command::open_make_file);
    QCOMPARE(log_->questions.size(), std::size_t{1});
    QCOMPARE(log_->questions[0].text, shown(texts::kSaveChangesText));
    QCOMPARE(log_->questions[0].caption, shown(texts::kConfirmCaption));
    QCOMPARE(log_->questions[0].choices, Choices::yes_no_cancel);
    QCOMPARE(log_->requests.size(), requests);
    QCOMPARE(shown_entries(), QStringList({"a.as", "b.as"}));

    // Yes saves first, then the other project opens unmarked.
    log_->replies.push_back(Reply::yes);
    open("q.amk");
    QCOMPARE(read_bytes(path("p.amk")), std::string("a.as\r\nb.as\r\n"));
    QCOMPARE(window_->windowTitle(), QStringLiteral("q.amk - ") + kTitle);

    // New after a delete: "no" drops the change; the file stays as it was.
    projects()->setCurrentRow(0);
    window_->run_command(Command::delete_file);
    QVERIFY(window_->project_modified());
    log_->replies.push_back(Reply::no);
    window_->run_command(Command::new_make_file);
    QCOMPARE(log_->questions.size(), std::size_t{3});
    QVERIFY(shown_entries().isEmpty());
    QVERIFY(window_->project().project_file_path.empty());
    QCOMPARE(window_->windowTitle(), kTitle);
    QCOMPARE(read_bytes(path("q.amk")), std::string("q.as\r\n"));

    // An unchanged project closes without a question.
    window_->close();
    QCOMPARE(log_->questions.size(), std::size_t{3});
  }

  // The open dialog takes a new name once the person agrees to create it.
  void open_asks_before_creating() {
    open("new.amk");
    QCOMPARE(log_->questions.size(), std::size_t{1});
    QVERIFY(log_->questions[0].text.endsWith(shown(texts::kCreateFileText)));
    QCOMPARE(log_->questions[0].choices, Choices::yes_no);
    QVERIFY(window_->project().project_file_path.empty());  // answered no

    log_->replies.push_back(Reply::yes);
    open("new.amk");
    QCOMPARE(window_->windowTitle(), QStringLiteral("new.amk - ") + kTitle);
    QVERIFY(!QFile::exists(path("new.amk")));
    QVERIFY(log_->messages.empty());
    // Save with nothing in the list leaves the file as it was, and says so.
    window_->run_command(Command::save_make_file);
    QVERIFY(!QFile::exists(path("new.amk")));
    QCOMPARE(window_->status_text(), shown(texts::kNothingToSave));
    add("x.as");
    window_->run_command(Command::save_make_file);
    QCOMPARE(read_bytes(path("new.amk")), std::string("x.as\r\n"));
  }

  // Several files in one Add, in the order chosen; Insert puts them all in
  // front of the selected entry.
  void several_files_in_one_add() {
    log_->file_lists.push_back({chosen(path("a.as")), chosen(path("b.as"))});
    window_->run_command(Command::add_file);
    projects()->setCurrentRow(1);
    log_->file_lists.push_back({chosen(path("x.as")), chosen(path("y.as"))});
    window_->run_command(Command::insert_file);
    QCOMPARE(shown_entries(), QStringList({"a.as", "x.as", "y.as", "b.as"}));
    // A duplicate stops the command at that file, as a single Add does.
    log_->file_lists.push_back({chosen(path("z.as")), chosen(path("a.as")), chosen(path("w.as"))});
    window_->run_command(Command::add_file);
    QCOMPARE(shown_entries(), QStringList({"a.as", "x.as", "y.as", "b.as", "z.as"}));
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QCOMPARE(log_->messages[0].caption, shown(texts::kSameNameCaption));
  }

  // Alt+Up and Alt+Down move the selected entry; a drag moves it too. The
  // project list and the file follow, and the title is marked.
  void entries_reordered() {
    QVERIFY(write_bytes(path("p.amk"), "a.as\r\nb.as\r\nc.as\r\n"));
    open("p.amk");
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    projects()->setFocus();
    projects()->setCurrentRow(0);
    QTest::keyClick(projects(), Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(projects(), Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(projects(), Qt::Key_Down, Qt::AltModifier);  // at the end: stays
    QCOMPARE(shown_entries(), QStringList({"b.as", "c.as", "a.as"}));
    QCOMPARE(projects()->currentRow(), 2);
    QTest::keyClick(projects(), Qt::Key_Up, Qt::AltModifier);
    QCOMPARE(shown_entries(), QStringList({"b.as", "a.as", "c.as"}));
    QVERIFY(window_->project().entries == std::vector<std::string>({"b.as", "a.as", "c.as"}));
    QVERIFY(window_->windowTitle().startsWith(QLatin1Char('*')));

    // A drag to the end moves the item in the list's model.
    QVERIFY(projects()->model()->moveRow(QModelIndex(), 0, QModelIndex(), 3));
    QVERIFY(window_->project().entries == std::vector<std::string>({"a.as", "c.as", "b.as"}));
    window_->run_command(Command::save_make_file);
    QCOMPARE(read_bytes(path("p.amk")), std::string("a.as\r\nc.as\r\nb.as\r\n"));
    QVERIFY(!window_->project_modified());
  }

  // An error that leaves out a word is marked once in the pane: the summary
  // of words left out belongs to the image, not on the error's line.
  void editor_pane_marks_an_error_once() {
    QVERIFY(write_bytes(path("q/a.as"), "START:: W+(UNDEF)>W\r\n        NOP\r\n"));
    QVERIFY(write_bytes(path("q/q.amk"), "a.as\r\n"));
    open("q/q.amk");
    SourcePane* pane = double_click_first_entry();
    QVERIFY(pane != nullptr);
    QTRY_VERIFY(pane->isVisible());
    QCOMPARE(pane->diagnostics().size(), std::size_t{1});
    QCOMPARE(pane->diagnostics()[0].severity, Severity::error);
    QCOMPARE(pane->extraSelections().size(), 1);
  }

  // A double-click on an entry opens its file in the editor pane: coloured,
  // checked as it is typed, explained on hover, saved byte for byte.
  void editor_pane_edits_and_keeps_bytes() {
    const std::string first = "START:: 0>W ;\xB6\xC5\xC3\xDE\xBD\r\n";  // ;ｶﾅﾃﾞｽ
    const std::string last = "===->START ;\x8A\xBF\r\n";                // ;漢
    QVERIFY(write_bytes(path("p/a.as"), first + "bogus\r\n" + last));
    QVERIFY(write_bytes(path("p/p.amk"), "a.as\r\n"));
    open("p/p.amk");
    SourcePane* pane = double_click_first_entry();
    QVERIFY(pane != nullptr);
    QTRY_VERIFY2(pane->isVisible(),
                 log_->messages.empty() ? "no message" : qPrintable(log_->messages.back().text));
    QCOMPARE(pane->document()->blockCount(), 4);
    QCOMPARE(pane->document()->firstBlock().text(), QStringLiteral("START:: 0>W ;ｶﾅﾃﾞｽ"));

    // The error on line 2, underlined and explained.
    QCOMPARE(pane->diagnostics().size(), std::size_t{1});
    QCOMPARE(pane->diagnostics()[0].where.line, std::size_t{2});
    QCOMPARE(pane->extraSelections().size(), 1);
    QVERIFY(pane->hover_text(1, 0).contains(QStringLiteral("fits no form")));
    QVERIFY(pane->hover_text(0, 9).startsWith(QStringLiteral("MOV")));

    // Typing fixes it; the check follows once typing pauses.
    QTextCursor line2(pane->document()->findBlockByNumber(1));
    line2.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    pane->setTextCursor(line2);
    pane->setFocus();
    QTest::keyClicks(pane, QStringLiteral("        NOP"));
    QTRY_VERIFY(pane->diagnostics().empty());
    QCOMPARE(pane->extraSelections().size(), 0);

    // Ctrl+S in the pane saves the source, the untouched lines as they were.
    QTest::keyClick(pane, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(read_bytes(path("p/a.as")), first + "        NOP\r\n" + last);
    QVERIFY(!pane->document()->isModified());

    // F12 on START in the last line goes to its definition.
    QTextCursor on_use(pane->document()->findBlockByNumber(2));
    on_use.setPosition(on_use.position() + 6);
    pane->setTextCursor(on_use);
    QTest::keyClick(pane, Qt::Key_F12);
    QCOMPARE(pane->textCursor().blockNumber(), 0);
  }

  // The pane's file is one document: closing the pane keeps its text, a
  // double-click shows it again with its mark, and the window still asks
  // before it goes.
  void pane_keeps_unsaved_text_when_closed_and_reopened() {
    QVERIFY(write_bytes(path("k/a.as"), "START:: NOP\r\n"));
    QVERIFY(write_bytes(path("k/k.amk"), "a.as\r\n"));
    open("k/k.amk");
    SourcePane* pane = double_click_first_entry();
    QVERIFY(pane != nullptr);
    QTRY_VERIFY(pane->isVisible());
    auto* dock = window_->findChild<QDockWidget*>("source_dock");
    QTest::keyClicks(pane, QStringLiteral("; edited"));
    QVERIFY(dock->windowTitle().startsWith('*'));
    // Double-clicked again while shown: the mark stays.
    double_click_first_entry();
    QVERIFY2(dock->windowTitle().startsWith('*'), qPrintable(dock->windowTitle()));
    dock->close();
    QTRY_VERIFY(!pane->isVisible());
    double_click_first_entry();
    QTRY_VERIFY(pane->isVisible());
    QVERIFY(pane->document()->firstBlock().text().startsWith(QStringLiteral("; edited")));
    QVERIFY(dock->windowTitle().startsWith('*'));
    QCOMPARE(read_bytes(path("k/a.as")), std::string("START:: NOP\r\n"));
    dock->close();
    QVERIFY(!window_->close());  // asked, no reply prepared: cancelled
    QCOMPARE(log_->questions.back().text, QStringLiteral("a.as\n") + shown(texts::kSaveSourceText));
    log_->replies.push_back(Reply::no);
    QVERIFY(window_->close());
  }

  // Assemble builds what the pane shows: its unsaved text is saved first,
  // and the status bar says so. A text CP932 cannot hold is not saved, and
  // nothing is assembled.
  void assemble_saves_the_pane_first() {
    QVERIFY(write_bytes(path("s/a.as"), "START:: ===->NOWHERE\r\n"));
    QVERIFY(write_bytes(path("s/s.amk"), "a.as\r\n"));
    open("s/s.amk");
    SourcePane* pane = double_click_first_entry();
    QVERIFY(pane != nullptr);
    QTRY_VERIFY(pane->isVisible());
    pane->selectAll();
    QTest::keyClicks(pane, QStringLiteral("START:: ===->START"));
    QVERIFY(assemble().isEmpty());
    QCOMPARE(read_bytes(path("s/a.as")), std::string("START:: ===->START"));
    QCOMPARE(errors()->count(), 0);
    QVERIFY2(window_->status_text().startsWith(QStringLiteral("a.as saved; ")),
             qPrintable(window_->status_text()));
    QVERIFY(!pane->document()->isModified());

    pane->moveCursor(QTextCursor::End);
    pane->insertPlainText(QStringLiteral(" ; caf\u00E9"));
    const QStringList messages = assemble();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains(QStringLiteral("a.as:1: U+00E9 cannot be written")),
             qPrintable(messages[0]));
    QCOMPARE(read_bytes(path("s/a.as")), std::string("START:: ===->START"));
    QVERIFY(pane->document()->isModified());
    log_->replies.push_back(Reply::no);
  }

  // Another project leaves nothing of the last on screen: its listing,
  // errors and status go, and the pane's file closes, asked about first.
  void another_project_clears_the_last() {
    QVERIFY(write_bytes(path("o/a.as"), "START:: ===->NOWHERE\r\n"));
    QVERIFY(write_bytes(path("o/o.amk"), "a.as\r\n"));
    QVERIFY(write_bytes(path("n/b.as"), "NOP\r\n"));
    QVERIFY(write_bytes(path("n/n.amk"), "b.as\r\n"));
    open("o/o.amk");
    assemble();
    QCOMPARE(errors()->count(), 1);
    SourcePane* pane = double_click_first_entry();
    QTRY_VERIFY(pane->isVisible());
    QTest::keyClicks(pane, QStringLiteral("; edited"));

    open("n/n.amk");  // the pane's question is cancelled: nothing changes
    QCOMPARE(shown_entries(), QStringList{QStringLiteral("a.as")});
    QVERIFY(pane->isVisible());
    log_->replies.push_back(Reply::no);
    open("n/n.amk");
    QCOMPARE(shown_entries(), QStringList{QStringLiteral("b.as")});
    QCOMPARE(errors()->count(), 0);
    QVERIFY(window_->findChild<QPlainTextEdit*>("listing_view")->toPlainText().isEmpty());
    QVERIFY(window_->status_text().isEmpty());
    QTRY_VERIFY(!pane->isVisible());
    QVERIFY(!pane->holds_document());
    QCOMPARE(read_bytes(path("o/a.as")), std::string("START:: ===->NOWHERE\r\n"));
  }

  // The summary of the words errors left out names the image the window
  // writes and stands in the warning list on its own; in the pane the error
  // is marked once, as an error.
  void unwritten_words_summary_names_the_real_image() {
    QVERIFY(write_bytes(path("w/a.as"), "W+5>F\r\nNOP\r\n"));
    QVERIFY(write_bytes(path("w/w.amk"), "a.as\r\n"));
    open("w/w.amk");
    assemble();
    QCOMPARE(errors()->count(), 1);
    auto* warnings = window_->findChild<QListWidget*>("warning_list");
    QStringList summaries;
    for (int row = 0; row < warnings->count(); ++row) {
      if (warnings->item(row)->text().contains(QStringLiteral("wrote no word"))) {
        summaries << warnings->item(row)->text();
      }
    }
    QCOMPARE(summaries.size(), 1);
    QVERIFY2(summaries[0].contains(QStringLiteral("w.bin")) &&
                 !summaries[0].contains(QStringLiteral("program.bin")),
             qPrintable(summaries[0]));
    SourcePane* pane = double_click_first_entry();
    QTRY_VERIFY(pane->isVisible());
    const QList<QTextEdit::ExtraSelection> marks = pane->extraSelections();
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks[0].format.underlineColor(), QColor(0xd0, 0, 0));
  }

  // A stop in pass 1 shows its message box as before, and then leaves no
  // listing of an earlier run; the error list takes the stop as the
  // terminal tells it, with the first definition in its tooltip, and the
  // entry opens the line in the pane.
  void stopped_assembly_is_an_entry_that_opens_its_line() {
    QVERIFY(write_bytes(path("d/a.as"), "A:NOP\r\nNOP\r\n"));
    QVERIFY(write_bytes(path("d/d.amk"), "a.as\r\n"));
    open("d/d.amk");
    assemble();
    auto* listing = window_->findChild<QPlainTextEdit*>("listing_view");
    QVERIFY(!listing->toPlainText().isEmpty());
    QVERIFY(write_bytes(path("d/a.as"), "A:NOP\r\nNOP\r\nA:NOP\r\n"));
    const QStringList messages = assemble();
    QCOMPARE(messages.size(), 1);
    QVERIFY(listing->toPlainText().isEmpty());
    QCOMPARE(errors()->count(), 1);
    QVERIFY2(errors()->item(0)->text().startsWith(QStringLiteral("a.as:3: error: A:NOP->")),
             qPrintable(errors()->item(0)->text()));
    QVERIFY2(
        errors()->item(0)->toolTip().contains(QStringLiteral("a.as:1: note: first defined here")),
        qPrintable(errors()->item(0)->toolTip()));
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    emit errors()->itemDoubleClicked(errors()->item(0));
    auto* pane = window_->findChild<SourcePane*>("source_pane");
    QTRY_VERIFY(pane->isVisible());
    QCOMPARE(pane->textCursor().blockNumber(), 2);
  }

  // Ctrl+Enter on an error opens its line in the pane; unsaved edits there
  // are not dropped unasked when the window closes.
  void error_opens_in_the_pane() {
    QVERIFY(write_bytes(path("q/q.as"), "START:: 0>W\r\nNOP\r\nbogus\r\n===->START\r\n"));
    QVERIFY(write_bytes(path("q/q.amk"), "q.as\r\n"));
    open("q/q.amk");
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    assemble();
    QCOMPARE(errors()->count(), 1);
    errors()->setFocus();
    errors()->setCurrentRow(0);
    QTest::keyClick(window_.get(), Qt::Key_Return, Qt::ControlModifier);
    auto* pane = window_->findChild<SourcePane*>("source_pane");
    QTRY_VERIFY(pane->isVisible());
    QCOMPARE(pane->entry(), std::string("q.as"));
    QCOMPARE(pane->textCursor().blockNumber(), 2);

    QTest::keyClicks(pane, QStringLiteral("x"));
    QVERIFY(!window_->close());  // asked, no reply prepared: cancelled
    QCOMPARE(log_->questions.back().text, QStringLiteral("q.as\n") + shown(texts::kSaveSourceText));
    log_->replies.push_back(Reply::no);
    QVERIFY(window_->close());
    QCOMPARE(read_bytes(path("q/q.as")),
             std::string("START:: 0>W\r\nNOP\r\nbogus\r\n===->START\r\n"));
  }

  // Simulate assembles with the debug file and starts gpsim on it, for the
  // chip whose definitions come first; it says why when it cannot.
  void simulate_in_gpsim() {
    QFile chip(QStringLiteral(KORVA_CHIP_SOURCES "/16F84A.inc"));
    QVERIFY(chip.open(QIODevice::ReadOnly));
    QVERIFY(write_bytes(path("s/16F84A.inc"), chip.readAll().toStdString()));
    QVERIFY(write_bytes(path("s/blink.as"), "START:: 0>W\r\nW>(PORTB)\r\n===->START\r\n"));
    QVERIFY(write_bytes(path("s/blink.amk"), "blink.as\r\n"));
    // A stand-in gpsim writes its arguments down.
    QVERIFY(write_bytes(path("bin/gpsim"), "#!/bin/sh\necho \"$@\" > \"$0.log\"\n"));
    QVERIFY(QFile::setPermissions(path("bin/gpsim"), QFile::ReadOwner | QFile::ExeOwner));
    QVERIFY(QDir().mkpath(path("empty")));
    const QByteArray path_before = qgetenv("PATH");

    open("s/blink.amk");
    qputenv("PATH", QFile::encodeName(path("bin")));
    window_->run_command(Command::simulate);
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QVERIFY(log_->messages[0].text.startsWith(QStringLiteral("Simulate needs the chip")));

    // The chip's definitions first: the status bar gives the share of its
    // program memory, and gpsim gets the debug file.
    projects()->setCurrentRow(0);
    log_->answers.push_back(chosen(path("s/16F84A.inc")));
    window_->run_command(Command::insert_file);
    window_->run_command(Command::assemble);
    QVERIFY2(window_->status_text().contains(QStringLiteral("% of program memory")),
             qPrintable(window_->status_text()));
    window_->run_command(Command::simulate);
    qputenv("PATH", QFile::encodeName(path("empty")));
    window_->run_command(Command::simulate);
    qputenv("PATH", path_before);
    QCOMPARE(log_->messages.size(), std::size_t{2});
    QCOMPARE(log_->messages[1].text,
             QStringLiteral("gpsim is not installed (on Debian: apt-get install gpsim)"));
    QVERIFY(QFile::exists(path("s/blink.cod")));
    QTRY_COMPARE(QString::fromStdString(read_bytes(path("bin/gpsim.log"))),
                 QStringLiteral("-s ") + path("s/blink.cod") + QLatin1Char('\n'));
  }

  // Over five starts, each with an assembly that shows the status bar, the
  // window keeps one size: the status bar grows it at each start, so the
  // size remembered is without it.
  void geometry_stable_over_starts() {
    QList<QSize> sizes;
    for (int start = 0; start < 5; ++start) sizes << size_at_a_start();
    QVERIFY(!sizes.front().isEmpty());
    for (const QSize& size : sizes) QCOMPARE(size, sizes.front());
  }

  // Showing the warning list never takes the window past the screen's
  // available area; hiding it gives back what it took.
  void warning_list_stays_on_the_screen() {
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    const QRect available = window_->screen()->availableGeometry();
    const int frame = window_->frameGeometry().height() - window_->height();
    window_->setGeometry(window_->x(), available.top() + frame, window_->width(),
                         available.height() - frame - 4);
    QTRY_VERIFY(window_->frameGeometry().bottom() <= available.bottom());
    const int before = window_->height();
    auto* dock = window_->findChild<QDockWidget*>("warning_dock");
    dock->toggleViewAction()->trigger();
    QTRY_VERIFY(dock->isVisible());
    QVERIFY2(window_->frameGeometry().bottom() <= available.bottom(),
             qPrintable(QStringLiteral("%1 > %2")
                            .arg(window_->frameGeometry().bottom())
                            .arg(available.bottom())));
    dock->toggleViewAction()->trigger();
    QTRY_VERIFY(!dock->isVisible());
    QCOMPARE(window_->height(), before);
  }

  // The window opens where and as large as it was closed.
  void geometry_remembered() {
    window_->show();
    window_->resize(777, 555);
    QTRY_COMPARE(window_->size(), QSize(777, 555));
    QVERIFY(window_->close());
    create_window();
    QCOMPARE(window_->size(), QSize(777, 555));
    user_settings()->remove(QStringLiteral("window/geometry"));
    create_window();
    QVERIFY(window_->size() != QSize(777, 555));
  }
};

QTEST_MAIN(ProjectHandlingTest)
#include "project_handling_test.moc"
