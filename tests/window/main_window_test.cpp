// The main window driven through its commands, with scripted dialogs, on
// the offscreen platform.
#include "shell/main_window.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <string>

#include "project/project.h"
#include "resources/system_texts.h"
#include "scripted_dialogs.h"
#include "shell/toolbar_images.h"
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

void write_bytes(const QString& path, std::string_view bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes.data(), static_cast<qint64>(bytes.size())),
           static_cast<qint64>(bytes.size()));
}

ChosenFile chosen(const QString& path) {
  return ChosenFile{path, QFileInfo(path).fileName()};
}

const QString kFileError = QStringLiteral("File Error");

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString previous_directory_;
  std::shared_ptr<DialogLog> log_;
  MainWindow* window_ = nullptr;

  QString path(const QString& name) const { return dir_.filePath(name); }
  QListWidget* projects() const { return window_->findChild<QListWidget*>("project_list"); }
  QListWidget* errors() const { return window_->findChild<QListWidget*>("error_list"); }
  QPlainTextEdit* view() const { return window_->findChild<QPlainTextEdit*>("listing_view"); }
  QLabel* file_name() const { return window_->findChild<QLabel*>("project_file_name"); }

  void create_window() {
    log_ = std::make_shared<DialogLog>();
    window_ = new MainWindow(std::make_unique<ScriptedDialogs>(log_));
  }
  // Adds the names through the Add command, as a person would.
  void add_files(const QStringList& names) {
    for (const QString& name : names) {
      log_->answers.push_back(chosen(path(name)));
      window_->run_command(Command::add_file);
    }
  }
  QStringList shown_entries() const {
    QStringList texts;
    for (int i = 0; i < projects()->count(); ++i) texts << projects()->item(i)->text();
    return texts;
  }
  // Starts again with the given settings file in the start directory.
  void restart_with_settings(std::string_view bytes) {
    delete window_;
    window_ = nullptr;
    write_bytes(path("asm.ini"), bytes);
    create_window();
  }
  void show_active() {
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_));
  }

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    previous_directory_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_.path()));
    create_window();
  }

  void cleanup() {
    delete window_;
    window_ = nullptr;
    QDir::setCurrent(previous_directory_);
    for (const QString& name :
         QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
      QFileInfo(path(name)).isDir() ? QDir(path(name)).removeRecursively()
                                    : QFile::remove(path(name));
    }
  }

  void creation() {
    QCOMPARE(window_->objectName(), QStringLiteral("Lumbra"));
    QCOMPARE(window_->windowTitle(), shown(texts::kWindowTitle));
    QCOMPARE(window_->minimumSize(), QSize(600, 400));
    QCOMPARE(QString::fromStdString(window_->start_directory()), QDir::currentPath());
    // No settings file: the last directory starts empty.
    QCOMPARE(window_->project().last_directory, std::string());
    QVERIFY(file_name()->text().isEmpty());
    QCOMPARE(projects()->count(), 0);
    QCOMPARE(errors()->count(), 0);
  }

  void geometry_data() {
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QRect>("listing");
    QTest::addColumn<QRect>("error_list");
    QTest::newRow("minimum") << QSize(600, 400) << QRect(170, 50, 420, 340)
                             << QRect(5, 260, 160, 130);
    QTest::newRow("larger") << QSize(900, 650) << QRect(170, 50, 720, 590)
                            << QRect(5, 260, 160, 380);
  }
  void geometry() {
    QFETCH(QSize, client);
    QFETCH(QRect, listing);
    QFETCH(QRect, error_list);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_));
    window_->resize(client.width(), client.height() + window_->menuBar()->height());
    QTRY_COMPARE(window_->centralWidget()->size(), client);
    // Until a splitter is moved, the controls stand where the layout puts
    // them in the client area, whichever widget holds them.
    const auto in_client = [this](const QWidget* widget) {
      return QRect(widget->mapTo(window_->centralWidget(), QPoint(0, 0)), widget->size());
    };
    QCOMPARE(in_client(view()), listing);
    QCOMPARE(in_client(errors()), error_list);
    QCOMPARE(in_client(file_name()), QRect(5, 50, 160, 30));
    QCOMPARE(in_client(projects()), QRect(5, 90, 160, 150));
    const QToolBar* toolbar = window_->findChild<QToolBar*>("toolbar");
    QCOMPARE(toolbar->geometry().topLeft(), QPoint(0, 0));
    QCOMPARE(toolbar->width(), client.width());
    QVERIFY(toolbar->geometry().bottom() < 50);
  }

  void menu() {
    const QList<QAction*> bar = window_->menuBar()->actions();
    QCOMPARE(bar.size(), 5);
    QCOMPARE(bar[0]->text(), shown(texts::kMenuFile));
    QCOMPARE(bar[1]->text(), shown(texts::kMenuEdit));
    // Assemble is a command on the bar itself, not a menu.
    QCOMPARE(bar[2]->text(), shown(texts::kMenuAssemble));
    QVERIFY(bar[2]->menu() == nullptr);
    QVERIFY(bar[2]->icon().isNull());
    QCOMPARE(bar[2]->data().toInt(), 1010);
    // Simulate follows the defined entries, a command on the bar too.
    QCOMPARE(bar[3]->text(), shown(texts::kMenuSimulate));
    QVERIFY(bar[3]->menu() == nullptr);
    QCOMPARE(bar[3]->data().toInt(), 1018);
    // Help follows the defined entries; About names the version.
    QCOMPARE(bar[4]->text(), QStringLiteral("Help"));
    const QList<QAction*> help = bar[4]->menu()->actions();
    QCOMPARE(help.size(), 1);
    QCOMPARE(help[0]->text(), QStringLiteral("About KORVA..."));
    const std::size_t messages = log_->messages.size();
    help[0]->trigger();
    QCOMPARE(log_->messages.size(), messages + 1);
    QVERIFY(log_->messages.back().text.startsWith(QStringLiteral("KORVA " KORVA_VERSION)));

    struct Item {
      std::string_view text;
      int id;  // 0: separator
    };
    const std::vector<std::vector<Item>> menus = {{{texts::kMenuNewMakeFile, 1017},
                                                   {texts::kMenuOpenMakeFile, 1011},
                                                   {texts::kMenuSaveMakeFile, 1013},
                                                   {texts::kMenuSaveMakeFileAs, 1015},
                                                   {{}, 0},
                                                   {texts::kMenuExit, 1020},
                                                   // The window's own commands follow the
                                                   // defined items.
                                                   {{}, 0},
                                                   {"Open HEX...", 1021}},
                                                  {{texts::kMenuAddFile, 1014},
                                                   {texts::kMenuInsertFile, 1016},
                                                   {texts::kMenuDeleteFile, 1012},
                                                   {{}, 0},
                                                   {"Chip...", 1022},
                                                   {"Configuration...", 1023}}};
    for (std::size_t m = 0; m < menus.size(); ++m) {
      const QList<QAction*> items = bar[static_cast<qsizetype>(m)]->menu()->actions();
      QCOMPARE(static_cast<std::size_t>(items.size()), menus[m].size());
      for (std::size_t i = 0; i < menus[m].size(); ++i) {
        const QAction* action = items[static_cast<qsizetype>(i)];
        QCOMPARE(action->isSeparator(), menus[m][i].id == 0);
        if (menus[m][i].id == 0) continue;
        QCOMPARE(action->text(), shown(menus[m][i].text));
        QCOMPARE(action->data().toInt(), menus[m][i].id);
      }
    }
  }

  void toolbar() {
    const QToolBar* toolbar = window_->findChild<QToolBar*>("toolbar");
    QCOMPARE(toolbar->iconSize(), QSize(40, 32));
    QCOMPARE(toolbar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    const QList<QAction*> buttons = toolbar->actions();
    const QList<int> ids = {1011, 1013, 1015, 1014, 1016, 1012, 1010};
    QCOMPARE(buttons.size(), ids.size());
    QList<QImage> images;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
      QCOMPARE(buttons[i]->data().toInt(), ids[i]);
      QCOMPARE(buttons[i]->toolTip(),
               window_->command_action(static_cast<Command>(ids[i]))->text());
      QVERIFY(!buttons[i]->icon().isNull());
      const QImage image = buttons[i]->icon().pixmap(QSize(40, 32)).toImage();
      QVERIFY2(!images.contains(image), "two buttons show the same image");
      images << image;
    }
    // Each button runs its own command: those with a dialog show it (and
    // are cancelled here).
    // Save without a project file name goes on as Save As.
    const QStringList dialogs = {
        "open *.amk", "save *.amk", "save *.amk", "open *.as;*.inc", "open *.as;*.inc", "", ""};
    for (qsizetype i = 0; i < buttons.size(); ++i) {
      log_->requests.clear();
      buttons[i]->trigger();
      QStringList shown_dialogs;
      for (const DialogLog::Request& request : log_->requests) {
        shown_dialogs << (request.save ? "save " : "open ") + request.initial_text;
      }
      QCOMPARE(shown_dialogs.join(QString()), dialogs[i]);
    }
    QVERIFY(log_->messages.empty());
    // The strip holds eight images of 40 x 32; anything else is refused.
    QCOMPARE(toolbar_images().size(), kToolbarImageCount);
    QVERIFY(cut_toolbar_strip(QPixmap(280, 32)).isEmpty());
    QVERIFY(cut_toolbar_strip(QPixmap(320, 30)).isEmpty());
  }

  void listing_view() {
    show_active();
    QVERIFY(view()->isReadOnly());
    QCOMPARE(view()->lineWrapMode(), QPlainTextEdit::NoWrap);
    const std::string listing =
        "0000\t3000\tSTART::\t0>W\t; \x83\x81\x83\x82\t\r\n; remark "
        "only\n\n0001\t2800\t\t===->START\t\t\r\n";
    window_->show_listing(listing);
    QCOMPARE(view()->toPlainText(),
             shown(listing).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    QCOMPARE(view()->textCursor().position(), 0);
    QVERIFY(!view()->textCursor().hasSelection());
    QVERIFY(view()->hasFocus());
    const QList<QTextOption::Tab> tabs = view()->document()->defaultTextOption().tabs();
    QCOMPARE(tabs.size(), 4);
    const qreal dpi = view()->logicalDpiX();
    const int twips[] = {800, 2000, 4000, 6000};
    for (int i = 0; i < 4; ++i) QCOMPARE(tabs[i].position, twips[i] * dpi / 1440.0);
  }

  void list_scroll_extents() {
    add_files({"a.as"});
    const QFontMetrics metrics(window_->font());
    QCOMPARE(projects()->item(0)->sizeHint().width(), metrics.averageCharWidth() * 50);
    window_->add_error_entry("0000\t\t\tx\t\terr\r\n");
    QCOMPARE(errors()->item(0)->sizeHint().width(), metrics.averageCharWidth() * 100);
    QCOMPARE(errors()->item(0)->text(), QStringLiteral("0000\t\t\tx\t\terr"));
  }

  void add_file_checks_names_byte_for_byte() {
    restart_with_settings("/some/where/");
    add_files({"a.as", "b.inc"});
    QCOMPARE(log_->requests.size(), std::size_t{2});
    QCOMPARE(log_->requests[0].initial_text, QStringLiteral("*.as;*.inc"));
    QCOMPARE(log_->requests[0].initial_directory, QStringLiteral("/some/where/"));
    add_files({"a.as"});
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QCOMPARE(log_->messages[0].text, shown(texts::kSameNameText));
    QCOMPARE(log_->messages[0].caption, shown(texts::kSameNameCaption));
    add_files({"A.as", QStringLiteral("テスト.as")});
    QCOMPARE(log_->messages.size(), std::size_t{1});
    const std::vector<std::string> expected = {"a.as", "b.inc", "A.as", utf8_to_cp932("テスト.as")};
    QVERIFY(window_->project().entries == expected);
    QCOMPARE(shown_entries(), QStringList({"a.as", "b.inc", "A.as", QStringLiteral("テスト.as")}));
    // A cancelled dialog changes nothing.
    window_->run_command(Command::add_file);
    QCOMPARE(window_->project().entries.size(), std::size_t{4});
  }

  // A name that the project file cannot write in CP932 is refused, saying
  // why; a project in a folder that CP932 cannot name is opened and
  // assembled there.
  void names_outside_cp932() {
    add_files({"a.as", QStringLiteral("café.as")});
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QVERIFY(log_->messages[0].text.contains(QStringLiteral("CP932")));
    QCOMPARE(window_->project().entries, std::vector<std::string>{"a.as"});

    QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("café")));
    write_bytes(path(QStringLiteral("café/p.as")), "        SLEEP\r\n");
    write_bytes(path(QStringLiteral("café/p.amk")), "p.as\r\n");
    log_->answers.push_back(chosen(path(QStringLiteral("café/p.amk"))));
    log_->replies.push_back(Reply::no);  // drop the unsaved list
    window_->run_command(Command::open_make_file);
    QCOMPARE(shown_entries(), QStringList({"p.as"}));
    window_->run_command(Command::assemble);
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QVERIFY(QFileInfo(path(QStringLiteral("café/p.bin"))).isFile());
    QVERIFY(QFileInfo(path(QStringLiteral("café/p.hex"))).isFile());
  }

  void insert_file_data() {
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no selection") << -1 << QStringList({"a.as", "b.as", "new.as"});
    QTest::newRow("first") << 0 << QStringList({"new.as", "a.as", "b.as"});
    QTest::newRow("second") << 1 << QStringList({"a.as", "new.as", "b.as"});
  }
  void insert_file() {
    QFETCH(int, selected);
    QFETCH(QStringList, expected);
    add_files({"a.as", "b.as"});
    if (selected >= 0) projects()->item(selected)->setSelected(true);
    log_->answers.push_back(chosen(path("new.as")));
    window_->run_command(Command::insert_file);
    QCOMPARE(shown_entries(), expected);
    QCOMPARE(static_cast<qsizetype>(window_->project().entries.size()), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
      QCOMPARE(QString::fromStdString(window_->project().entries[static_cast<std::size_t>(i)]),
               expected[i]);
    }
    // The duplicate check holds for insert too.
    log_->answers.push_back(chosen(path("a.as")));
    window_->run_command(Command::insert_file);
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QCOMPARE(shown_entries(), expected);
  }

  void delete_file() {
    add_files({"a.as", "b.as", "c.as"});
    window_->run_command(Command::delete_file);
    QCOMPARE(shown_entries(), QStringList({"a.as", "b.as", "c.as"}));
    projects()->item(1)->setSelected(true);
    window_->run_command(Command::delete_file);
    QCOMPARE(shown_entries(), QStringList({"a.as", "c.as"}));
    QVERIFY(window_->project().entries == std::vector<std::string>({"a.as", "c.as"}));
    // The entry that moved up is selected, then the new last one: Delete
    // goes on deleting until the list is empty.
    window_->run_command(Command::delete_file);
    QCOMPARE(shown_entries(), QStringList({"a.as"}));
    window_->run_command(Command::delete_file);
    QVERIFY(shown_entries().isEmpty());
    QVERIFY(window_->project().entries.empty());
    window_->run_command(Command::delete_file);
  }

  void save_before_any_project_file_then_save_as() {
    add_files({"a.as", "B.as"});
    // Save without a name asks for one; cancelled, nothing is written.
    window_->run_command(Command::save_make_file);
    QCOMPARE(log_->requests.size(), std::size_t{3});
    QCOMPARE(log_->requests.back().save, true);
    QVERIFY(log_->messages.empty());
    QVERIFY(!QFile::exists(path("a.amk")));
    QVERIFY(window_->project_modified());

    // Saved in a subfolder, the entries still name the files beside it.
    QVERIFY(QDir(dir_.path()).mkdir("out"));
    log_->answers.push_back(chosen(path("out/proj.amk")));
    window_->run_command(Command::save_make_file_as);
    QCOMPARE(log_->requests.back().save, true);
    QCOMPARE(log_->requests.back().initial_text, QStringLiteral("*.amk"));
    QCOMPARE(read_bytes(path("out/proj.amk")), std::string("../a.as\r\n../B.as\r\n"));
    QCOMPARE(shown_entries(), QStringList({"../a.as", "../B.as"}));
    QVERIFY(!window_->project_modified());
    QCOMPARE(file_name()->text(), QStringLiteral("proj.amk"));
    QCOMPARE(window_->project().output_base_name.native_text(), path("out/proj").toStdString());
    QCOMPARE(window_->project().last_directory, utf8_to_cp932(path("out/").toStdString()));
    // The next save-as proposes the last directory.
    window_->run_command(Command::save_make_file_as);
    QCOMPARE(log_->requests.back().initial_text, path("out/*.amk"));
  }

  void save_with_empty_list_keeps_file() {
    write_bytes(path("p.amk"), "x.as\r\n");
    log_->answers.push_back(chosen(path("p.amk")));
    window_->run_command(Command::open_make_file);
    projects()->item(0)->setSelected(true);
    window_->run_command(Command::delete_file);
    window_->run_command(Command::save_make_file);
    QCOMPARE(read_bytes(path("p.amk")), std::string("x.as\r\n"));
    QCOMPARE(window_->status_text(), shown(texts::kNothingToSave));
  }

  void open_replaces_list() {
    add_files({"old.as"});
    log_->replies.push_back(Reply::no);  // drop the unsaved list
    QVERIFY(QDir(dir_.path()).mkdir("proj"));
    write_bytes(path("proj/p.amk"), "one.as\r\ntwo  \twords.as\r\n\r\nend x\r\nlast.inc");
    log_->answers.push_back(chosen(path("proj/p.amk")));
    window_->run_command(Command::open_make_file);
    QCOMPARE(log_->requests.back().initial_text, QStringLiteral("*.amk"));
    QCOMPARE(file_name()->text(), QStringLiteral("p.amk"));
    QCOMPARE(shown_entries(), QStringList({"one.as", "two words.as", "", "end x", "last.inc"}));
    // The project's folder, where its entries are found; the process's
    // directory stays where it was.
    QCOMPARE(QFile::decodeName(window_->project().entry_directory.string().c_str()), path("proj"));
    QCOMPARE(QDir::currentPath(), dir_.path());
    QCOMPARE(window_->project().project_file_path.native_text(), path("proj/p.amk").toStdString());
  }

  void open_stops_at_end_line() {
    write_bytes(path("p.amk"), "a.as\r\nend\r\nb.as\r\n");
    log_->answers.push_back(chosen(path("p.amk")));
    window_->run_command(Command::open_make_file);
    QCOMPARE(shown_entries(), QStringList({"a.as"}));
  }

  void project_file_round_trip() {
    add_files({"main.as", QStringLiteral("定数.inc"), "x y.as"});
    log_->answers.push_back(chosen(path("r.amk")));
    window_->run_command(Command::save_make_file_as);
    const std::vector<std::string> saved = window_->project().entries;
    QCOMPARE(read_bytes(path("r.amk")), project_file_text(saved));
    QVERIFY(read_bytes(path("r.amk")).find("\r\n") != std::string::npos);
    delete window_;
    create_window();
    log_->answers.push_back(chosen(path("r.amk")));
    window_->run_command(Command::open_make_file);
    QVERIFY(window_->project().entries == saved);
    QCOMPARE(shown_entries(), QStringList({"main.as", QStringLiteral("定数.inc"), "x y.as"}));
  }

  void open_failures_leave_project_unchanged_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("folder") << "folder.amk";
    QTest::newRow("huge") << "huge.amk";
  }
  void open_failures_leave_project_unchanged() {
    QFETCH(QString, name);
    QVERIFY(QDir(dir_.path()).mkdir("folder.amk"));
    QFile huge(path("huge.amk"));
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64{3} * 1024 * 1024));
    huge.close();
    add_files({"keep.as"});
    log_->replies.push_back(Reply::no);
    log_->answers.push_back(chosen(path(name)));
    window_->run_command(Command::open_make_file);
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QCOMPARE(log_->messages[0].caption, kFileError);
    QVERIFY(log_->messages[0].text.contains(name));
    QCOMPARE(shown_entries(), QStringList({"keep.as"}));
    QVERIFY(window_->project().project_file_path.empty());
    QVERIFY(file_name()->text().isEmpty());
  }

  void open_binary_and_long_lines() {
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 37 + 11) % 256);
    const std::string long_line(300000, 'n');
    write_bytes(path("bin.amk"), binary);
    write_bytes(path("long.amk"), long_line + "\r\n");
    log_->answers.push_back(chosen(path("bin.amk")));
    window_->run_command(Command::open_make_file);
    const Expected<std::vector<std::string>> loaded =
        load_project_file(path("bin.amk").toStdString());
    QVERIFY(loaded.has_value());
    const std::vector<std::string>& expected = *loaded;
    QVERIFY(window_->project().entries == expected);
    QCOMPARE(static_cast<std::size_t>(projects()->count()), expected.size());

    log_->answers.push_back(chosen(path("long.amk")));
    window_->run_command(Command::open_make_file);
    QVERIFY(window_->project().entries == std::vector<std::string>({long_line}));
    QCOMPARE(projects()->item(0)->text().size(), qsizetype{kListDisplayLimit});
    show_active();  // painting the list must cope as well
    QTest::qWait(20);
  }

  void save_failure_reported() {
    add_files({"a.as"});
    log_->answers.push_back(chosen(path("no/such/folder/p.amk")));
    window_->run_command(Command::save_make_file_as);
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QCOMPARE(log_->messages[0].caption, kFileError);
  }

  void error_jump_selects_first_line_equal_ignoring_case() {
    show_active();
    std::string listing;
    for (int i = 0; i < 200; ++i) listing += "0000\t3000\t\t0>W\t\t\r\n";
    // Contains the entry, but is not equal to it: must not be chosen.
    listing += "90001\t28XX\t\t===->nowhere\t\tlabel err\r\n";
    const int first_equal = 201;
    listing += "0001\t28xx\t\t===->NOWHERE\t\tlabel err\r\n";
    for (int i = 0; i < 200; ++i) listing += "0002\t3000\t\t0>W\t\t\r\n";
    const std::string entry = "0001\t28XX\t\t===->nowhere\t\tlabel err\r\n";
    listing += entry;
    for (int i = 0; i < 100; ++i) listing += "0003\t3000\t\t0>W\t\t\r\n";
    window_->show_listing(listing);
    window_->clear_error_list();
    window_->add_error_entry(entry);
    errors()->setFocus();
    QList<int> scroll_actions;
    connect(view()->verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [&scroll_actions](int action) { scroll_actions << action; });

    const QRect item = errors()->visualItemRect(errors()->item(0));
    QTest::mousePress(errors()->viewport(), Qt::LeftButton, {}, item.center());
    QTest::mouseRelease(errors()->viewport(), Qt::LeftButton, {}, item.center());
    QTest::mouseDClick(errors()->viewport(), Qt::LeftButton, {}, item.center());
    QTRY_VERIFY(view()->hasFocus());
    const QTextCursor cursor = view()->textCursor();
    QCOMPARE(view()->document()->findBlock(cursor.selectionStart()).blockNumber(), first_equal);
    QCOMPARE(cursor.selectionStart(),
             view()->document()->findBlockByNumber(first_equal).position());
    QCOMPARE(cursor.selectedText().chopped(1), shown("0001\t28xx\t\t===->NOWHERE\t\tlabel err"));

    // The line is brought into view, then the view goes one line up.
    QCOMPARE(scroll_actions, QList<int>({QAbstractSlider::SliderSingleStepSub}));
    QVERIFY(view()->verticalScrollBar()->value() > 0);
    const QRect shown_at =
        view()->cursorRect(QTextCursor(view()->document()->findBlockByNumber(first_equal)));
    QVERIFY(shown_at.top() >= 0);
    QVERIFY(shown_at.bottom() <= view()->viewport()->height());
  }

  void error_entry_missing_from_listing() {
    window_->show_listing("0000\t3000\t\t0>W\t\t\r\n");
    window_->add_error_entry("0009\t\t\tgone\t\terr\r\n");
    window_->jump_to_error(0);
    window_->jump_to_error(5);  // no such entry
    QVERIFY(!view()->textCursor().hasSelection());
  }

  void exit_writes_settings() {
    QVERIFY(QDir(dir_.path()).mkdir("work"));
    write_bytes(path("work/p.amk"), "a.as\r\n");
    log_->answers.push_back(chosen(path("work/p.amk")));
    window_->run_command(Command::open_make_file);
    QVERIFY(!QFile::exists(path("asm.ini")));
    QPointer<MainWindow> alive(window_);
    window_->setAttribute(Qt::WA_DeleteOnClose);
    window_->show();
    window_->run_command(Command::exit);
    QTRY_VERIFY(alive.isNull());
    window_ = nullptr;
    // In the start directory, not where the dialog left the current one.
    QCOMPARE(read_bytes(path("asm.ini")), path("work/").toStdString());
    QVERIFY(log_->messages.empty());

    // The next start begins its dialogs there.
    QDir::setCurrent(dir_.path());
    create_window();
    window_->run_command(Command::open_make_file);
    QCOMPARE(log_->requests.back().initial_directory, path("work/"));
  }

  void settings_missing_gives_empty_file_at_end() {
    delete window_;
    window_ = nullptr;
    QCOMPARE(read_bytes(path("asm.ini")), std::string());
  }

  void settings_kept_byte_for_byte() {
    const std::string bytes = "/\x83\x81\x83\x82/dir/";
    restart_with_settings(bytes);
    QCOMPARE(window_->project().last_directory, bytes);
    delete window_;
    window_ = nullptr;
    QCOMPARE(read_bytes(path("asm.ini")), bytes);
  }

  void settings_write_failure_reported() {
    delete window_;
    QVERIFY(QFile::remove(path("asm.ini")));
    QVERIFY(QDir(dir_.path()).mkdir("asm.ini"));
    create_window();
    QCOMPARE(window_->project().last_directory, std::string());
    const std::shared_ptr<DialogLog> log = log_;
    delete window_;
    window_ = nullptr;
    QCOMPARE(log->messages.size(), std::size_t{1});
    QCOMPARE(log->messages[0].caption, kFileError);
  }

  void assemble_missing_source() {
    add_files({"nope.as"});
    window_->run_command(Command::assemble);
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QCOMPARE(log_->messages[0].caption, kFileError);
    QCOMPARE(log_->messages[0].text, "nope.as" + shown(texts::kFileNotFound));
  }

  void assemble_pass1_error() {
    write_bytes(path("dup.as"), "A:: 0>W\r\nA:: 0>W\r\n");
    add_files({"dup.as"});
    window_->run_command(Command::assemble);
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QCOMPARE(log_->messages[0].caption, shown(texts::kErrorMessageCaption));
    QCOMPARE(log_->messages[0].text, "A::0>W->" + shown(texts::kDuplicateLabel));
  }

  void assemble_finds_and_writes_in_the_project_folder() {
    // The sources lie in a folder other than the process's directory: bare
    // entries are found there and the outputs named after one go there,
    // while the process's directory stays where it was.
    QVERIFY(QDir(dir_.path()).mkdir("proj"));
    write_bytes(path("proj/first.as"), "START:: 0>W\r\n");
    write_bytes(path("proj/second.as"), "===->START\r\n");
    add_files({"proj/first.as", "proj/second.as"});
    QCOMPARE(shown_entries(), QStringList({"first.as", "second.as"}));
    window_->run_command(Command::assemble);
    QVERIFY(log_->messages.empty());
    QCOMPARE(errors()->count(), 0);
    for (const char* name : {"first.obj", "first.out", "first.bin", "first.hex"}) {
      QVERIFY2(QFile::exists(path(QStringLiteral("proj/") + name)), name);
      QVERIFY2(!QFile::exists(path(name)), name);
    }
    QCOMPARE(QDir::currentPath(), dir_.path());
  }

  void assemble_fills_listing_and_errors() {
    show_active();
    write_bytes(path("ok.as"), "START:: 0>W\r\nbogus statement\r\n===->START\r\n");
    add_files({"ok.as"});
    window_->run_command(Command::assemble);
    QVERIFY(log_->messages.empty());
    QVERIFY(QFile::exists(path("ok.out")) && QFile::exists(path("ok.bin")));
    QCOMPARE(view()->toPlainText(), shown(read_bytes(path("ok.out"))).remove(QLatin1Char('\r')));
    QCOMPARE(errors()->count(), 1);
    // The entry shows its place and listing line; it keeps the listing line
    // itself, which the jump searches for.
    QVERIFY2(errors()->item(0)->text().startsWith(QStringLiteral("ok.as:2  0001 bogus statement")),
             qPrintable(errors()->item(0)->text()));
    QVERIFY(errors()
                ->item(0)
                ->data(kEntryBytesRole)
                .toByteArray()
                .startsWith("0001\t\t\tbogus statement"));
    QVERIFY(view()->hasFocus());
    window_->jump_to_error(0);
    QCOMPARE(view()->document()->findBlock(view()->textCursor().selectionStart()).blockNumber(), 1);
  }

  void assemble_gives_places_and_warnings_as_tooltips() {
    write_bytes(path("tips.as"), "NOP\r\nW^256>W\r\nbogus\r\n");
    add_files({"tips.as"});
    window_->run_command(Command::assemble);
    QCOMPARE(errors()->count(), 1);
    QCOMPARE(errors()->item(0)->toolTip(),
             QStringLiteral("tips.as:3: 'bogus' fits no form of the notation, and no subroutine "
                            "has that name"));
    QCOMPARE(errors()->item(0)->text(),
             QStringLiteral("tips.as:3  0002 bogus ") + shown(texts::kGrammarError) +
                 QStringLiteral(" \u2014 'bogus' fits no form of the notation, and no "
                                "subroutine has that name"));
    QVERIFY(window_->listing_tip(0).isEmpty());
    QVERIFY(window_->listing_tip(1).startsWith(QStringLiteral("tips.as:2: warning: literal 0100")));
    QVERIFY(window_->listing_tip(2).startsWith(QStringLiteral("tips.as:3: error: ")));
  }

  void assemble_writes_hex_in_the_same_set() {
    write_bytes(path("chip.as"), "NOP\r\nORG $2007\r\n\\3F39\r\n");
    add_files({"chip.as"});
    // A folder where the HEX file goes: nothing of the set is written.
    QVERIFY(QDir(dir_.path()).mkdir("chip.hex"));
    window_->run_command(Command::assemble);
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QCOMPARE(log_->messages[0].caption, kFileError);
    QVERIFY(log_->messages[0].text.contains(QStringLiteral("chip.hex")));
    for (const char* name : {"chip.obj", "chip.out", "chip.bin"}) {
      QVERIFY(!QFile::exists(path(name)));
    }

    QVERIFY(QDir(dir_.path()).rmdir("chip.hex"));
    window_->run_command(Command::assemble);
    QCOMPARE(log_->messages.size(), std::size_t{1});
    QCOMPARE(read_bytes(path("chip.hex")),
             std::string(":020000000000FE\r\n:02400E00393F38\r\n:00000001FF\r\n"));
    QCOMPARE(read_bytes(path("chip.bin")).size(), std::size_t{2} * 0x2008);
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
