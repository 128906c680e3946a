// The window's status bar, warning list, keys, menu letters, recent projects
// and editor command, driven on the offscreen platform with scripted dialogs.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>
#include <memory>
#include <string>

#include "resources/system_texts.h"
#include "scripted_dialogs.h"
#include "shell/elided_label.h"
#include "shell/listing_view.h"
#include "shell/main_window.h"
#include "shell/menu_mnemonics.h"
#include "shell/recent_projects.h"
#include "system/text_encoding.h"

using namespace korva;

namespace {

QString shown(std::string_view cp932) {
  return QString::fromStdString(cp932_to_utf8(cp932));
}

void write_bytes(const QString& path, std::string_view bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes.data(), static_cast<qint64>(bytes.size())),
           static_cast<qint64>(bytes.size()));
}

QString read_text(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Two errors (lines 2 and 4), one warning (line 3), a macro whose body line
// 7 is wrong, called on line 10.
constexpr std::string_view kProgram =
    "START:: 0>W\r\n"
    "bogus one\r\n"
    "W^256>W\r\n"
    "bogus two\r\n"
    "===->START\r\n"
    "        MACRO M\r\n"
    "bogus in macro\r\n"
    "        END MACRO\r\n"
    "; call\r\n"
    "        M\r\n";

}  // namespace

class WindowKeyboardTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString previous_directory_;
  std::shared_ptr<DialogLog> log_;
  MainWindow* window_ = nullptr;

  QString path(const QString& name) const { return dir_.filePath(name); }
  QListWidget* projects() const { return window_->findChild<QListWidget*>("project_list"); }
  QListWidget* errors() const { return window_->findChild<QListWidget*>("error_list"); }
  QListWidget* warnings() const { return window_->findChild<QListWidget*>("warning_list"); }
  QPlainTextEdit* view() const { return window_->findChild<QPlainTextEdit*>("listing_view"); }
  QMenu* file_menu() const { return window_->menuBar()->actions()[0]->menu(); }
  int listing_line() const {
    return view()->document()->findBlock(view()->textCursor().selectionStart()).blockNumber();
  }

  void show_active() {
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_));
  }
  void open_program() {
    write_bytes(path("prog.as"), kProgram);
    write_bytes(path("prog.amk"), "prog.as\r\n");
    window_->open_project(path("prog.amk"));
    QCOMPARE(window_->project().entries, std::vector<std::string>{"prog.as"});
  }
  QStringList recent_items() {
    emit file_menu()->aboutToShow();
    QStringList texts;
    const QList<QAction*> actions = file_menu()->actions();
    // The defined items, then Open HEX, then a separator before the projects.
    for (qsizetype i = 9; i < actions.size(); ++i) texts << actions[i]->text();
    return texts;
  }

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    // The stand-in editor writes its arguments next to itself.
    write_bytes(path("editor.sh"), "#!/bin/sh\necho \"$@\" >> \"$0.log\"\n");
    QVERIFY(QFile::setPermissions(path("editor.sh"), QFile::ReadOwner | QFile::ExeOwner));
  }

  void init() {
    QVERIFY(dir_.isValid());
    previous_directory_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_.path()));
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "korva", "korva").clear();
    log_ = std::make_shared<DialogLog>();
    window_ = new MainWindow(std::make_unique<ScriptedDialogs>(log_));
  }

  void cleanup() {
    delete window_;
    window_ = nullptr;
    QDir::setCurrent(previous_directory_);
    QFile::remove(path("editor.sh.log"));
  }

  void status_bar_after_assembly_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("expected");
    QTest::newRow("clean") << QByteArray("START:: 0>W\r\n\\3FFF\r\n===->START\r\n")
                           << "^0 errors, 0 warnings, 3 words, \\d+ ms$";
    QTest::newRow("errors, a warning and a macro") << QByteArray(kProgram.data(), kProgram.size())
                                                   << "^3 errors, 1 warning, 3 words, \\d+ ms$";
    QTest::newRow("stopped") << QByteArray("A:: 0>W\r\nA:: 0>W\r\n")
                             << "^A::0>W->" + shown(texts::kDuplicateLabel) + "$";
  }
  void status_bar_after_assembly() {
    QFETCH(QByteArray, source);
    QFETCH(QString, expected);
    show_active();
    write_bytes(path("s.as"), source.toStdString());
    log_->answers.push_back(ChosenFile{path("s.as"), "s.as"});
    window_->run_command(Command::add_file);
    // Hidden until it has something to say: the client area is as defined.
    QVERIFY(window_->statusBar()->isHidden());
    const QSize client = window_->centralWidget()->size();
    QTest::keyClick(window_, Qt::Key_F7);
    QVERIFY2(QRegularExpression(expected).match(window_->status_text()).hasMatch(),
             qPrintable(window_->status_text()));
    QVERIFY(window_->statusBar()->isVisible());
    // The window grew by the status bar instead of taking it from the client area.
    QTRY_COMPARE(window_->centralWidget()->size(), client);
    QCOMPARE(window_->findChild<QLabel*>("status_text")->accessibleName(), window_->status_text());
  }

  void status_bar_for_empty_project_and_missing_file() {
    window_->run_command(Command::assemble);
    QCOMPARE(window_->status_text(),
             QStringLiteral("Nothing to assemble: the project list is empty"));
    log_->answers.push_back(ChosenFile{path("gone.as"), "gone.as"});
    window_->run_command(Command::add_file);
    window_->run_command(Command::assemble);
    QCOMPARE(window_->status_text(), "gone.as" + shown(texts::kFileNotFound));
  }

  void chip_memory_share_when_known() {
    write_bytes(path("c.as"), "0>W\r\n1>W\r\n");
    log_->answers.push_back(ChosenFile{path("c.as"), "c.as"});
    window_->run_command(Command::add_file);
    window_->set_chip_program_memory(8);
    window_->run_command(Command::assemble);
    QVERIFY2(window_->status_text().contains(QStringLiteral("2 words (25.0 % of program memory)")),
             qPrintable(window_->status_text()));
  }

  void selected_entries_in_status_bar() {
    open_program();
    window_->run_command(Command::assemble);
    QCOMPARE(errors()->count(), 3);
    const QStringList expected = {QStringLiteral("prog.as:2: error: "),
                                  QStringLiteral("prog.as:4: error: "),
                                  QStringLiteral("prog.as:7, expanded from prog.as:10: error: ")};
    for (int row = 0; row < 3; ++row) {
      errors()->setCurrentRow(row);
      QVERIFY2(window_->status_text().startsWith(expected[row]),
               qPrintable(window_->status_text()));
    }
    QCOMPARE(warnings()->count(), 1);
    QVERIFY(warnings()->item(0)->text().startsWith(QStringLiteral("prog.as:3: warning: literal")));
    warnings()->setCurrentRow(0);
    QCOMPARE(window_->status_text(), warnings()->item(0)->text());
  }

  void warning_list_takes_summaries_and_jumps() {
    std::string source;
    for (int i = 0; i < 102; ++i) source += "W^256>W\r\n";
    write_bytes(path("many.as"), source);
    log_->answers.push_back(ChosenFile{path("many.as"), "many.as"});
    window_->run_command(Command::add_file);
    window_->run_command(Command::assemble);
    // A hundred warnings of the kind, then the summary without a place.
    QCOMPARE(warnings()->count(), 101);
    QVERIFY2(warnings()->item(100)->text().startsWith(QStringLiteral("warning: 2 more warnings")),
             qPrintable(warnings()->item(100)->text()));
    QCOMPARE(errors()->count(), 0);
    show_active();
    auto* dock = window_->findChild<QDockWidget*>("warning_dock");
    QVERIFY(dock->isHidden());
    dock->toggleViewAction()->trigger();
    QTRY_VERIFY(dock->isVisible());
    warnings()->setFocus();
    warnings()->setCurrentRow(41);
    QTest::keyClick(warnings(), Qt::Key_Return);
    QCOMPARE(listing_line(), 41);
    QVERIFY(view()->hasFocus());
    // The summary has no line: the listing stays where it was.
    warnings()->setFocus();
    warnings()->setCurrentRow(100);
    QTest::keyClick(warnings(), Qt::Key_Return);
    QCOMPARE(listing_line(), 41);
  }

  void command_keys_shown_in_menus_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("keys");
    QTest::newRow("open") << 1011 << "Ctrl+O";
    QTest::newRow("save") << 1013 << "Ctrl+S";
    QTest::newRow("save as") << 1015 << "Ctrl+Shift+S";
    QTest::newRow("assemble") << 1010 << "F7, Ctrl+B";
    QTest::newRow("exit") << 1020 << "Ctrl+Q";
    QTest::newRow("insert") << 1016 << "Ins";
    QTest::newRow("delete") << 1012 << "Del";
    QTest::newRow("add") << 1014 << "";
  }
  void command_keys_shown_in_menus() {
    QFETCH(int, command);
    QFETCH(QString, keys);
    QStringList shortcuts;
    for (const QKeySequence& key :
         window_->command_action(static_cast<Command>(command))->shortcuts()) {
      shortcuts << key.toString();
    }
    QCOMPARE(shortcuts.join(QStringLiteral(", ")), keys);
  }

  void keys_run_the_commands() {
    show_active();
    QTest::keyClick(window_, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(window_, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(log_->requests.size(), std::size_t{2});
    QCOMPARE(log_->requests[0].initial_text, QStringLiteral("*.amk"));
    QVERIFY(log_->requests[1].save);

    for (const char* name : {"a.as", "b.as", "c.as"}) {
      log_->answers.push_back(ChosenFile{path(name), name});
      window_->run_command(Command::add_file);
    }
    projects()->setFocus();
    projects()->setCurrentRow(1);
    QTest::keyClick(window_, Qt::Key_Delete);
    QCOMPARE(window_->project().entries, (std::vector<std::string>{"a.as", "c.as"}));
    projects()->setCurrentRow(1);
    log_->answers.push_back(ChosenFile{path("n.as"), "n.as"});
    QTest::keyClick(window_, Qt::Key_Insert);
    QCOMPARE(window_->project().entries, (std::vector<std::string>{"a.as", "n.as", "c.as"}));

    QTest::keyClick(window_, Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(log_->messages.size(), std::size_t{1});  // a.as does not exist
    QTest::keyClick(window_, Qt::Key_F7);
    QCOMPARE(log_->messages.size(), std::size_t{2});

    // The changed list is not dropped without a question: cancelled, the
    // window stays; answered "no", it closes without saving.
    QPointer<MainWindow> alive(window_);
    window_->setAttribute(Qt::WA_DeleteOnClose);
    QTest::keyClick(window_, Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(log_->questions.size(), std::size_t{1});
    QCOMPARE(log_->questions[0].text, shown(texts::kSaveChangesText));
    QVERIFY(!alive.isNull());
    log_->replies.push_back(Reply::no);
    QTest::keyClick(window_, Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(alive.isNull());
    window_ = nullptr;
    QVERIFY(QFile::exists(path("asm.ini")));
  }

  void menu_letters() {
    show_active();
    // The texts stay as stored; the letters are kept beside them.
    const QList<QAction*> bar = window_->menuBar()->actions();
    QCOMPARE(bar[0]->text(), shown(texts::kMenuFile));
    QCOMPARE(mnemonic(bar[0]), QLatin1Char('F'));
    QCOMPARE(mnemonic(bar[1]), QLatin1Char('E'));
    QCOMPARE(mnemonic(bar[2]), QLatin1Char('A'));
    const QString letters[] = {"NOSA X H", "AID CO"};
    for (int m = 0; m < 2; ++m) {
      QString found;
      for (const QAction* action : bar[m]->menu()->actions()) {
        found += action->isSeparator() ? QChar(u' ') : mnemonic(action);
      }
      QCOMPARE(found, letters[m]);
    }

    // Alt+F opens the File menu, O chooses its open command.
    QTest::keyClick(window_, Qt::Key_F, Qt::AltModifier);
    QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(file_menu()));
    QTest::keyClick(file_menu(), Qt::Key_O);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    QCOMPARE(log_->requests.size(), std::size_t{1});
    QCOMPARE(log_->requests[0].initial_text, QStringLiteral("*.amk"));

    // F10 opens the first menu too; Alt+E the Edit menu, where A adds a file.
    QTest::keyClick(window_, Qt::Key_F10);
    QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(file_menu()));
    QTest::keyClick(file_menu(), Qt::Key_Escape);
    QTest::keyClick(file_menu(), Qt::Key_Escape);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    QTest::keyClick(window_, Qt::Key_E, Qt::AltModifier);
    QMenu* edit = bar[1]->menu();
    QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(edit));
    QTest::keyClick(edit, Qt::Key_A);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    QCOMPARE(log_->requests.back().initial_text, QStringLiteral("*.as;*.inc"));

    // Alt+A is the Assemble command on the bar.
    QTest::keyClick(window_, Qt::Key_A, Qt::AltModifier);
    QCOMPARE(window_->status_text(),
             QStringLiteral("Nothing to assemble: the project list is empty"));
  }

  void error_keys_jump_and_step() {
    show_active();
    open_program();
    window_->run_command(Command::assemble);
    // Enter on an entry jumps like a double-click.
    errors()->setFocus();
    errors()->setCurrentRow(1);
    QTest::keyClick(errors(), Qt::Key_Return);
    QCOMPARE(listing_line(), 3);
    QVERIFY(view()->hasFocus());
    // F8 and Shift+F8 go round the list.
    const QList<int> next_rows = {2, 0, 1};
    for (const int row : next_rows) {
      QTest::keyClick(window_, Qt::Key_F8);
      QCOMPARE(errors()->currentRow(), row);
      QVERIFY(errors()->item(row)->isSelected());
      const QString address =
          QString::fromLatin1(errors()->item(row)->data(kEntryBytesRole).toByteArray().left(4));
      QVERIFY(view()->textCursor().selectedText().startsWith(address));
    }
    QTest::keyClick(window_, Qt::Key_F8, Qt::ShiftModifier);
    QTest::keyClick(window_, Qt::Key_F8, Qt::ShiftModifier);
    QCOMPARE(errors()->currentRow(), 2);
  }

  // The listing moves by keyboard and is searched for text and addresses.
  void listing_keys_and_searches() {
    show_active();
    open_program();
    window_->run_command(Command::assemble);
    auto* listing = static_cast<ListingView*>(view());
    listing->setFocus();
    QTest::keyClick(listing, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(listing->textCursor().position(), listing->document()->characterCount() - 1);
    QTest::keyClick(listing, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(listing->textCursor().position(), 0);

    // Ctrl+F opens the bar; Enter finds, F3 and Shift+F3 go on round the text.
    QTest::keyClick(window_, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(listing->search_box()->hasFocus());
    QTest::keyClicks(listing->search_box(), QStringLiteral("BOGUS"));
    QTest::keyClick(listing->search_box(), Qt::Key_Return);
    QCOMPARE(listing_line(), 1);
    QCOMPARE(listing->textCursor().selectedText(), QStringLiteral("bogus"));
    QList<int> holding;  // the lines that hold the word, once each
    for (QTextBlock block = listing->document()->begin(); block.isValid(); block = block.next()) {
      if (block.text().contains(QStringLiteral("bogus"))) holding << block.blockNumber();
    }
    QVERIFY(holding.size() >= 3);
    for (qsizetype i = 1; i <= holding.size(); ++i) {
      QTest::keyClick(window_, Qt::Key_F3);
      QCOMPARE(listing_line(), holding[i % holding.size()]);
    }
    QTest::keyClick(window_, Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(listing_line(), holding.back());
    QVERIFY(listing->search_state().isEmpty());
    QVERIFY(!listing->find_text(QStringLiteral("nowhere")));
    QCOMPARE(listing_line(), holding.back());

    // Ctrl+G goes to the line of an address that has code.
    QTest::keyClick(window_, Qt::Key_G, Qt::ControlModifier);
    QTRY_VERIFY(listing->search_box()->hasFocus());
    QTest::keyClicks(listing->search_box(), QStringLiteral("1"));
    QTest::keyClick(listing->search_box(), Qt::Key_Return);
    const QString line = listing->textCursor().block().text();
    QVERIFY2(line.startsWith(QStringLiteral("0001\t3")), qPrintable(line));
    QTest::keyClicks(listing->search_box(), QStringLiteral("zz"));
    QTest::keyClick(listing->search_box(), Qt::Key_Return);
    QCOMPARE(listing->search_state(), shown(texts::kNotFound));
    QTest::keyClick(listing->search_box(), Qt::Key_Escape);
    QVERIFY(listing->hasFocus());

    // The column titles stand above the text.
    QVERIFY(listing->header()->isVisible());
    QVERIFY(listing->header()->geometry().bottom() < listing->viewport()->geometry().top());
  }

  // A jump shows the line from its start: the address and the code, also
  // for a line far wider than the view.
  void jumps_keep_the_line_start_in_view() {
    const std::string wide = " ; " + std::string(400, 'x');
    write_bytes(path("wide.as"),
                "START:: 0>W\r\nbogus" + wide + "\r\nW^256>W" + wide + "\r\n===->START\r\n");
    write_bytes(path("wide.amk"), "wide.as\r\n");
    show_active();
    window_->open_project(path("wide.amk"));
    window_->run_command(Command::assemble);
    QCOMPARE(errors()->count(), 1);
    const QList<QListWidgetItem*> on_line_3 =
        warnings()->findItems(QStringLiteral("wide.as:3: warning: literal"), Qt::MatchStartsWith);
    QCOMPARE(on_line_3.size(), 1);
    QScrollBar* sideways = view()->horizontalScrollBar();
    QVERIFY(sideways->maximum() > 0);
    sideways->setValue(sideways->maximum());
    window_->jump_to_error(0);
    QCOMPARE(listing_line(), 1);
    QCOMPARE(sideways->value(), 0);

    auto* dock = window_->findChild<QDockWidget*>("warning_dock");
    dock->toggleViewAction()->trigger();
    QTRY_VERIFY(dock->isVisible());
    warnings()->setFocus();
    warnings()->setCurrentItem(on_line_3.front());
    QTest::keyClick(warnings(), Qt::Key_Return);
    QCOMPARE(listing_line(), 2);
    QCOMPARE(sideways->value(), 0);
  }

  // A long status text is cut with an ellipsis; the whole is its tooltip.
  void long_status_elided() {
    show_active();
    open_program();
    window_->run_command(Command::assemble);
    const QString long_text = QStringLiteral("prog.as:2: error: ") + QString(300, QLatin1Char('w'));
    const int width = window_->width();
    errors()->setCurrentRow(0);
    auto* status = window_->findChild<ElidedLabel*>("status_text");
    status->set_text(long_text);
    QCOMPARE(window_->width(), width);
    QVERIFY(status->shown_text().endsWith(QChar(0x2026)));
    QVERIFY(status->shown_text().size() < long_text.size());
    QCOMPARE(status->toolTip(), long_text);
  }

  // A splitter moved by hand stands where it was left in the next window.
  void splitters_remembered() {
    show_active();
    auto* columns = window_->findChild<QSplitter*>("column_splitter");
    auto* lists = window_->findChild<QSplitter*>("list_splitter");
    QCOMPARE(columns->sizes().front(), 160);
    QCOMPARE(lists->sizes().front(), 150);
    for (QSplitter* splitter : {columns, lists}) {
      QSplitterHandle* handle = splitter->handle(1);
      const QPoint middle = handle->rect().center();
      const QPoint step = splitter->orientation() == Qt::Horizontal ? QPoint(60, 0) : QPoint(0, 40);
      QTest::mousePress(handle, Qt::LeftButton, {}, middle);
      QTest::mouseMove(handle, middle + step);
      QTest::mouseRelease(handle, Qt::LeftButton, {}, middle + step);
    }
    QCOMPARE(columns->sizes().front(), 220);
    QCOMPARE(lists->sizes().front(), 190);
    delete window_;
    window_ = new MainWindow(std::make_unique<ScriptedDialogs>(log_));
    show_active();
    QCOMPARE(window_->findChild<QSplitter*>("column_splitter")->sizes().front(), 220);
    QCOMPARE(window_->findChild<QSplitter*>("list_splitter")->sizes().front(), 190);
  }

  // Until the splitter is moved by hand, an assembly widens the error list
  // to show each entry's place, line and error (up to two fifths of the
  // room); a splitter placed by hand stays where it is.
  void error_list_widens_to_its_entries() {
    show_active();
    auto* columns = window_->findChild<QSplitter*>("column_splitter");
    QCOMPARE(columns->sizes().front(), 160);
    open_program();
    window_->run_command(Command::assemble);
    const int room = columns->sizes().front() + columns->sizes().back();
    const int left = columns->sizes().front();
    QVERIFY2(left > 160 && left <= room * 2 / 5, qPrintable(QString::number(left)));
    const QFontMetrics metrics(errors()->font());
    for (int row = 0; row < errors()->count(); ++row) {
      const QString shown = errors()->item(row)->text().section(QStringLiteral(" \u2014 "), 0, 0);
      QVERIFY2(
          left == room * 2 / 5 || metrics.horizontalAdvance(shown) <= errors()->viewport()->width(),
          qPrintable(shown));
    }

    QSplitterHandle* handle = columns->handle(1);
    const QPoint middle = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, middle);
    QTest::mouseMove(handle, middle - QPoint(20, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, middle - QPoint(20, 0));
    const int placed = columns->sizes().front();
    window_->run_command(Command::assemble);
    QCOMPARE(columns->sizes().front(), placed);
  }

  // The listing's parts keep their own room: the column titles stand at
  // the tab stops before the first listing, rows with kana have the height
  // of the others, and the search bar takes a strip above the rows, so the
  // line a search or a jump finds at the top is not under it.
  void listing_parts_keep_their_room() {
    show_active();
    auto* listing = static_cast<ListingView*>(view());
    QVERIFY(!listing->document()->defaultTextOption().tabs().isEmpty());
    write_bytes(path("kana.as"),
                "\x83\x8b\x81\x5b\x83\x76::  0>W ;\xb6\xc5\r\nW+1>W ;\x93\xfa\x96\x7b\r\n"
                "W+2>W\r\n===->\x83\x8b\x81\x5b\x83\x76 ;\xb6\xc5\xc5\r\n");
    write_bytes(path("kana.amk"), "kana.as\r\n");
    window_->open_project(path("kana.amk"));
    window_->run_command(Command::assemble);
    QSet<qreal> heights;
    for (QTextBlock block = listing->document()->begin(); block.isValid(); block = block.next()) {
      if (!block.text().isEmpty()) heights << block.layout()->boundingRect().height();
    }
    QCOMPARE(heights.size(), 1);

    QTest::keyClick(window_, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(listing->search_box()->hasFocus());
    auto* bar = listing->findChild<QWidget*>("listing_search");
    QVERIFY(bar->geometry().bottom() < listing->viewport()->geometry().top());
    QVERIFY(listing->header()->geometry().bottom() < bar->geometry().top());
    QTest::keyClicks(listing->search_box(), QStringLiteral("0000"));
    QTest::keyClick(listing->search_box(), Qt::Key_Return);
    QCOMPARE(listing_line(), 0);
    QVERIFY(listing->viewport()->rect().contains(listing->cursorRect()));
    QTest::keyClick(listing->search_box(), Qt::Key_Escape);
    QVERIFY(listing->header()->geometry().bottom() + 1 >= listing->viewport()->geometry().top());
  }

  void open_source_in_editor() {
    qputenv("VISUAL", QFile::encodeName(path("editor.sh")));
    show_active();
    open_program();
    window_->run_command(Command::assemble);
    // From the error list, from the listing line at the caret, and for a
    // macro line: the body line.
    errors()->setFocus();
    errors()->setCurrentRow(0);
    const Qt::KeyboardModifiers external = Qt::ControlModifier | Qt::ShiftModifier;
    QTest::keyClick(window_, Qt::Key_Return, external);
    window_->step_error(1);  // the listing view has the focus now
    QTest::keyClick(window_, Qt::Key_Return, external);
    window_->step_error(1);
    QTest::keyClick(window_, Qt::Key_Enter, external | Qt::KeypadModifier);
    const QString file = path("prog.as");
    const QString expected = "+2 " + file + "\n+4 " + file + "\n+7 " + file + "\n";
    QTRY_COMPARE(read_text(path("editor.sh.log")), expected);
    qunsetenv("VISUAL");

    // A source that is gone is reported instead.
    QVERIFY(QFile::remove(file));
    QTest::keyClick(window_, Qt::Key_Return, external);
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QCOMPARE(log_->messages[0].text, file + QStringLiteral(": no such file"));
  }

  // A terminal editor with no terminal to run in is reported, not started
  // where nobody can see it.
  void terminal_editor_without_terminal() {
    show_active();
    open_program();
    window_->run_command(Command::assemble);
    const QByteArray path_before = qgetenv("PATH");
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("empty-bin")));
    qputenv("PATH", QFile::encodeName(path("empty-bin")));
    qputenv("VISUAL", "vi");
    qputenv("TERMINAL", "");
    errors()->setFocus();
    errors()->setCurrentRow(0);
    QTest::keyClick(window_, Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
    qputenv("PATH", path_before);
    qunsetenv("VISUAL");
    qunsetenv("TERMINAL");
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QVERIFY2(log_->messages[0].text.contains(QStringLiteral("no terminal was found")),
             qPrintable(log_->messages[0].text));
  }

  void error_list_starts_at_first_entry_after_assembly() {
    std::string source;
    for (int i = 0; i < 200; ++i) source += "bogus statement number " + std::to_string(i) + "\r\n";
    write_bytes(path("e.as"), source);
    log_->answers.push_back(ChosenFile{path("e.as"), "e.as"});
    window_->run_command(Command::add_file);
    show_active();
    window_->run_command(Command::assemble);
    QTRY_VERIFY(errors()->verticalScrollBar()->maximum() > 0);
    errors()->verticalScrollBar()->setValue(errors()->verticalScrollBar()->maximum());
    errors()->horizontalScrollBar()->setValue(errors()->horizontalScrollBar()->maximum());
    QVERIFY(errors()->verticalScrollBar()->value() > 0);
    QVERIFY(errors()->horizontalScrollBar()->value() > 0);
    window_->run_command(Command::assemble);
    QCOMPARE(errors()->verticalScrollBar()->value(), 0);
    QCOMPARE(errors()->horizontalScrollBar()->value(), 0);
  }

  void listing_in_fixed_width_font() {
    // Measured: some monospaced families do not say so in their metadata.
    const QFontMetrics metrics(view()->font());
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("iiii")),
             metrics.horizontalAdvance(QStringLiteral("WWWW")));
    window_->show_listing("0000\t3000\t\t0>W\t\t\r\n");
    QCOMPARE(view()->document()->defaultTextOption().tabs().size(), 4);
  }

  void recent_projects_in_file_menu() {
    QVERIFY(recent_items().isEmpty());
    QCOMPARE(file_menu()->actions().size(), 8);
    for (int i = 1; i <= 9; ++i) {
      const QString name = QStringLiteral("p%1.amk").arg(i);
      write_bytes(path(name), QStringLiteral("s%1.as\r\n").arg(i).toStdString());
      log_->answers.push_back(ChosenFile{path(name), name});
      window_->run_command(Command::open_make_file);
    }
    QStringList expected;
    for (int i = 9; i >= 2; --i)
      expected << QStringLiteral("&%1 %2").arg(10 - i).arg(path(QStringLiteral("p%1.amk").arg(i)));
    QCOMPARE(recent_items(), expected);
    // The defined items come first, unchanged.
    QCOMPARE(file_menu()->actions()[5]->data().toInt(), 1020);

    // Choosing one opens it; a project file that is gone leaves the list.
    file_menu()->actions()[10]->trigger();  // &2: p8.amk
    QCOMPARE(window_->project().entries, std::vector<std::string>{"s8.as"});
    QVERIFY(QFile::remove(path("p7.amk")));
    recent_items();
    file_menu()->actions()[11]->trigger();  // &3: p7.amk
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QVERIFY(!recent_items().join(' ').contains(QStringLiteral("p7.amk")));

    // asm.ini keeps the last directory alone.
    delete window_;
    window_ = nullptr;
    QFile ini(path("asm.ini"));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QCOMPARE(ini.readAll(), QFile::encodeName(QDir(dir_.path()).absolutePath() + '/'));
  }

  void project_from_command_line_path() {
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("日本語/sub")));
    write_bytes(path("日本語/sub/j.amk"), utf8_to_cp932("部品.as\r\n"));
    window_->open_project(QStringLiteral("日本語/sub/j.amk"));  // relative to the start
    QCOMPARE(QFile::decodeName(window_->project().entry_directory.string().c_str()),
             path("日本語/sub"));
    QCOMPARE(QDir::currentPath(), dir_.path());
    QCOMPARE(window_->findChild<QLabel*>("project_file_name")->text(), QStringLiteral("j.amk"));
    QCOMPARE(projects()->item(0)->text(), QStringLiteral("部品.as"));
    QCOMPARE(window_->project().last_directory, utf8_to_cp932(path("日本語/sub/").toStdString()));
    QCOMPARE(RecentProjects().paths(), QStringList{path("日本語/sub/j.amk")});
  }

  void settings_failure_names_a_japanese_path() {
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("設定/asm.ini")));
    delete window_;
    QVERIFY(QDir::setCurrent(path("設定")));
    window_ = new MainWindow(std::make_unique<ScriptedDialogs>(log_));
    delete window_;
    window_ = nullptr;
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QVERIFY2(log_->messages[0].text.contains(path("設定/asm.ini")),
             qPrintable(log_->messages[0].text));
  }
};

QTEST_MAIN(WindowKeyboardTest)
#include "window_keyboard_test.moc"
