#include "shell/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>
#include <QToolBar>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <system_error>
#include <utility>
#include <vector>

#include "chip/chip_facts.h"
#include "driver/listing.h"
#include "project/assembler.h"
#include "project/chip_files.h"
#include "resources/system_texts.h"
#include "shell/assembly_status.h"
#include "shell/image_import.h"
#include "shell/listing_highlighter.h"
#include "shell/listing_view.h"
#include "shell/menu_mnemonics.h"
#include "shell/settings_file.h"
#include "shell/simulation.h"
#include "shell/toolbar_images.h"
#include "shell/user_settings.h"
#include "support/text.h"
#include "system/file_io.h"
#include "system/system_path.h"
#include "system/text_encoding.h"

namespace korva {
namespace {

// Texts of the core (CP932 bytes) for the screen.
QString display(std::string_view bytes) {
  return QString::fromStdString(cp932_to_utf8(bytes));
}

// A file name from a dialog as the system names the file.
SystemPath system_path(const QString& name) {
#ifdef _WIN32
  return SystemPath(std::filesystem::path(name.toStdWString()));
#else
  const QByteArray bytes = QFile::encodeName(name);
  return SystemPath(std::filesystem::path(std::string(bytes.constData(), bytes.size())));
#endif
}

// The chip folder as korva-asm finds it; in the build tree, where the
// window's program lies a folder below korva-asm, the one beside korva-asm.
std::optional<std::filesystem::path> window_chip_directory() {
  if (std::optional<std::filesystem::path> folder = chip_directory("")) return folder;
  if (std::getenv(kChipDirectoryVariable) != nullptr) return std::nullopt;
  return first_directory({program_path("").parent_path().parent_path() / "chips"});
}

// The light grey of the window's background.
constexpr QRgb kBackground = qRgb(192, 192, 192);

struct MenuItem {
  Command command;
  std::string_view text;
  char letter;  // the item's keyboard letter in its open menu
};

// The menu bar: the File and Edit menus and the Assemble command on the bar itself.
// A null text in a menu stands for a separator.
constexpr MenuItem kFileMenu[] = {
    {Command::new_make_file, texts::kMenuNewMakeFile, 'N'},
    {Command::open_make_file, texts::kMenuOpenMakeFile, 'O'},
    {Command::save_make_file, texts::kMenuSaveMakeFile, 'S'},
    {Command::save_make_file_as, texts::kMenuSaveMakeFileAs, 'A'},
    {Command::exit, {}, 0},
    {Command::exit, texts::kMenuExit, 'X'},
    {Command::exit, {}, 0},
    {Command::open_program_image, "Open HEX...", 'H'},
};
constexpr MenuItem kEditMenu[] = {
    {Command::add_file, texts::kMenuAddFile, 'A'},
    {Command::insert_file, texts::kMenuInsertFile, 'I'},
    {Command::delete_file, texts::kMenuDeleteFile, 'D'},
    {Command::exit, {}, 0},
    {Command::choose_chip, "Chip...", 'C'},
    {Command::configure_chip, "Configuration...", 'O'},
};
// Letters of the menu bar's entries, opened with Alt and the letter.
constexpr char kFileMenuLetter = 'F';
constexpr char kEditMenuLetter = 'E';
constexpr char kAssembleLetter = 'A';
constexpr char kSimulateLetter = 'S';
constexpr char kHelpMenuLetter = 'H';

// The usual keys of the commands, shown beside them in the menus.
QList<QKeySequence> command_keys(Command command) {
  switch (command) {
    case Command::open_make_file:
      return {QKeySequence(Qt::CTRL | Qt::Key_O)};
    case Command::save_make_file:
      return {QKeySequence(Qt::CTRL | Qt::Key_S)};
    case Command::save_make_file_as:
      return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)};
    case Command::assemble:
      return {QKeySequence(Qt::Key_F7), QKeySequence(Qt::CTRL | Qt::Key_B)};
    case Command::exit:
      return {QKeySequence(Qt::CTRL | Qt::Key_Q)};
    case Command::insert_file:
      return {QKeySequence(Qt::Key_Insert)};
    case Command::delete_file:
      return {QKeySequence(Qt::Key_Delete)};
    case Command::new_make_file:
      return {QKeySequence(Qt::CTRL | Qt::Key_N)};
    case Command::simulate:
      return {QKeySequence(Qt::Key_F9)};
    case Command::add_file:
    case Command::open_program_image:
    case Command::choose_chip:
    case Command::configure_chip:
      break;
  }
  return {};
}

// The toolbar's buttons, left to right, with their image in the strip.
struct ToolbarButton {
  Command command;
  int image;
};
constexpr ToolbarButton kToolbarButtons[] = {
    {Command::open_make_file, 0}, {Command::save_make_file, 1}, {Command::save_make_file_as, 2},
    {Command::add_file, 3},       {Command::insert_file, 4},    {Command::delete_file, 5},
    {Command::assemble, 6},
};

// Alt+Up and Alt+Down on the project list move the selected entry; the
// list's own key handling would take them for plain Up and Down.
int entry_move_step(const QKeyEvent& key) {
  if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::AltModifier) return 0;
  if (key.key() == Qt::Key_Up) return -1;
  if (key.key() == Qt::Key_Down) return 1;
  return 0;
}

std::size_t command_index(Command command) {
  for (std::size_t i = 0; i < kAllCommands.size(); ++i) {
    if (kAllCommands[i] == command) return i;
  }
  return 0;
}

// A list entry as shown: CP932 decoded, the line end taken off, cut to a
// length that a list can draw quickly.
QString list_text(std::string_view bytes) {
  if (!bytes.empty() && bytes.back() == '\n') bytes.remove_suffix(1);
  if (!bytes.empty() && bytes.back() == '\r') bytes.remove_suffix(1);
  QString text = display(bytes);
  if (text.size() > kListDisplayLimit) text.truncate(kListDisplayLimit);
  return text;
}

QListWidgetItem* make_item(std::string_view bytes, int extent, int line_height) {
  auto* item = new QListWidgetItem(list_text(bytes));
  item->setData(kEntryBytesRole, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  // Every entry is as wide as the list's scroll extent, so the horizontal
  // scroll bar covers exactly that width.
  item->setSizeHint(QSize(extent, line_height));
  return item;
}

// Lines as the listing view breaks them: at LF, CR LF and a lone CR.
QStringList view_lines(const QString& text) {
  QStringList lines;
  QString line;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
      lines << line;
      line.clear();
      if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
    } else {
      line += c;
    }
  }
  lines << line;
  return lines;
}

QListWidget* make_list(QWidget* parent, const char* name) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setTextElideMode(Qt::ElideNone);
  list->setWordWrap(false);
  list->setUniformItemSizes(true);
  list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  return list;
}

}  // namespace

ClientGeometry creation_geometry() {
  return ClientGeometry{QRect(170, 80, 500, 300), QRect(5, 50, 160, 30), QRect(5, 90, 160, 150),
                        QRect(5, 300, 160, 100)};
}

ClientGeometry resized_geometry(QSize client) {
  ClientGeometry geometry = creation_geometry();
  const int w = client.width();
  const int h = client.height();
  geometry.listing_view = QRect(170, 50, w - 180, h - 60);
  geometry.error_list = QRect(5, 260, 160, h - 270);
  return geometry;
}

QList<qreal> listing_tab_stops(qreal logical_dpi) {
  QList<qreal> stops;
  for (const int twips : kTabStopTwips) stops << twips * logical_dpi / 1440.0;
  return stops;
}

std::optional<TextRange> find_listing_line(const QTextDocument& document, const QString& line) {
  // A listing line may hold a lone CR, which the view shows as a line
  // break: such an entry is a run of consecutive lines of the view.
  const QStringList pieces = view_lines(line);
  for (QTextBlock first = document.begin(); first.isValid(); first = first.next()) {
    QTextBlock block = first;
    QTextBlock last;
    bool equal = true;
    for (const QString& piece : pieces) {
      if (!block.isValid() || QString::compare(block.text(), piece, Qt::CaseInsensitive) != 0) {
        equal = false;
        break;
      }
      last = block;
      block = block.next();
    }
    if (!equal) continue;
    const int end = block.isValid() ? block.position() : last.position() + last.length() - 1;
    return TextRange{first.position(), end};
  }
  return std::nullopt;
}

MainWindow::MainWindow(std::unique_ptr<UserDialogs> dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(std::move(dialogs)), assembler_(std::make_unique<Assembler>()) {
  setObjectName(QStringLiteral("Lumbra"));
  setWindowTitle(display(texts::kWindowTitle));
  setMinimumSize(kMinimumWindowSize);

  // The settings file lives in the directory the program started in.
  std::error_code error;
  start_directory_ = std::filesystem::current_path(error).string();
  dialog_folder_ = QDir::currentPath();
  project_.last_directory = read_settings(start_directory_).last_directory;
  // A project names its chip by the chip file's name alone, found here.
  project_.chip_folder = window_chip_directory();

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("client_area"));
  client_->setAutoFillBackground(true);
  QPalette palette = client_->palette();
  palette.setColor(QPalette::Window, QColor(kBackground));
  client_->setPalette(palette);
  setCentralWidget(client_);
  client_->installEventFilter(this);

  create_menu();
  create_toolbar();
  create_controls();
  create_keyboard_commands();
  create_warning_list();
  create_source_pane();
  create_status_bar();
  // The size and place of the last run; the system's default at first.
  restoreGeometry(remembered_state(QStringLiteral("geometry")));
}

MainWindow::~MainWindow() {
  // The children are destroyed after this part of the object, and some
  // signal on the way (a dock hiding): none of that may reach it then.
  for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
  // A window that goes without being closed saves here.
  save_settings();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!changes_may_go()) {
    event->ignore();
    return;
  }
  remember_state(QStringLiteral("geometry"), geometry_to_remember());
  save_settings();
  QMainWindow::closeEvent(event);
}

// Once per window. Nothing is lost silently: a settings file that cannot be
// written is reported, even on the way out. The message names the path in
// CP932.
void MainWindow::save_settings() {
  if (settings_saved_) return;
  settings_saved_ = true;
  const Expected<void> written = write_settings(start_directory_, project_.last_directory);
  if (!written) show_file_error(display(written.message()));
}

void MainWindow::create_menu() {
  QMenuBar* bar = menuBar();
  // Created after the menu bar, so that it outlives the menus that draw with it.
  mnemonic_style_ = new MnemonicStyle();
  mnemonic_style_->setParent(this);
  bar->setStyle(mnemonic_style_);
  auto* menu_keys = new MnemonicKeys(this);

  for (const Command command : kAllCommands) {
    auto* action = new QAction(this);
    action->setData(static_cast<int>(command));
    action->setShortcuts(command_keys(command));
    connect(action, &QAction::triggered, this, [this, command] { run_command(command); });
    actions_[command_index(command)] = action;
  }
  auto fill = [this, menu_keys](QMenu* menu, const auto& items) {
    menu->setStyle(mnemonic_style_);
    menu->installEventFilter(menu_keys);
    for (const MenuItem& item : items) {
      if (item.text.empty()) {
        menu->addSeparator();
        continue;
      }
      QAction* action = command_action(item.command);
      action->setText(display(item.text));
      set_mnemonic(action, QLatin1Char(item.letter));
      menu->addAction(action);
    }
  };
  QMenu* file_menu = bar->addMenu(display(texts::kMenuFile));
  set_mnemonic(file_menu->menuAction(), QLatin1Char(kFileMenuLetter));
  fill(file_menu, kFileMenu);
  // The recent projects follow the defined items; read when the menu opens,
  // so that another window's projects show too.
  connect(file_menu, &QMenu::aboutToShow, this,
          [this, file_menu] { fill_recent_projects(file_menu); });
  QMenu* edit_menu = bar->addMenu(display(texts::kMenuEdit));
  set_mnemonic(edit_menu->menuAction(), QLatin1Char(kEditMenuLetter));
  fill(edit_menu, kEditMenu);
  QAction* assemble_action = command_action(Command::assemble);
  assemble_action->setText(display(texts::kMenuAssemble));
  set_mnemonic(assemble_action, QLatin1Char(kAssembleLetter));
  bar->addAction(assemble_action);
  // Simulate follows the defined entries of the bar.
  QAction* simulate_action = command_action(Command::simulate);
  simulate_action->setText(display(texts::kMenuSimulate));
  set_mnemonic(simulate_action, QLatin1Char(kSimulateLetter));
  bar->addAction(simulate_action);
  // Help follows them: About names the program's version.
  QMenu* help_menu = bar->addMenu(QStringLiteral("Help"));
  set_mnemonic(help_menu->menuAction(), QLatin1Char(kHelpMenuLetter));
  help_menu->setStyle(mnemonic_style_);
  help_menu->installEventFilter(menu_keys);
  QAction* about = help_menu->addAction(QStringLiteral("About KORVA..."));
  set_mnemonic(about, QLatin1Char('A'));
  connect(about, &QAction::triggered, this, [this] {
    dialogs_->show_message(
        this,
        QStringLiteral("KORVA " KORVA_VERSION "\nAn assembler for PIC mid-range microcontrollers "
                       "in its own operator notation."),
        QStringLiteral("About KORVA"));
  });

  // Alt and a letter opens its menu (or assembles); F10 opens the first menu.
  for (QAction* entry : bar->actions()) {
    const QChar letter = mnemonic(entry);
    if (letter.isNull()) continue;
    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key(letter.unicode())), this);
    connect(shortcut, &QShortcut::activated, this, [bar, entry] {
      if (entry->menu() != nullptr) {
        bar->setActiveAction(entry);
      } else {
        entry->trigger();
      }
    });
  }
  auto* first_menu = new QShortcut(QKeySequence(Qt::Key_F10), this);
  connect(first_menu, &QShortcut::activated, this,
          [bar, file_menu] { bar->setActiveAction(file_menu->menuAction()); });
}

void MainWindow::fill_recent_projects(QMenu* menu) {
  for (QAction* action : std::as_const(recent_actions_)) {
    menu->removeAction(action);
    action->deleteLater();
  }
  recent_actions_.clear();
  const QStringList paths = recent_projects_.paths();
  if (paths.isEmpty()) return;
  recent_actions_ << menu->addSeparator();
  for (qsizetype i = 0; i < paths.size(); ++i) {
    const QString& path = paths[i];
    QString shown_path = path;
    shown_path.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* action = menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown_path));
    connect(action, &QAction::triggered, this, [this, path] { open_project(path); });
    recent_actions_ << action;
  }
}

void MainWindow::create_toolbar() {
  toolbar_ = new QToolBar(client_);
  toolbar_->setObjectName(QStringLiteral("toolbar"));
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setIconSize(kToolbarImageSize);
  const QList<QPixmap> images = toolbar_images();
  // Without its images a button would be blank: it then shows its text.
  toolbar_->setToolButtonStyle(images.size() == kToolbarImageCount ? Qt::ToolButtonIconOnly
                                                                   : Qt::ToolButtonTextOnly);
  // The buttons have actions of their own: a menu bar shows the icon of an
  // action it holds, and the Assemble command must stay a word there.
  for (const ToolbarButton& button : kToolbarButtons) {
    const QString text = command_action(button.command)->text();
    auto* action = new QAction(text, toolbar_);
    action->setData(static_cast<int>(button.command));
    action->setToolTip(text);
    if (button.image < images.size()) action->setIcon(QIcon(images[button.image]));
    const Command command = button.command;
    connect(action, &QAction::triggered, this, [this, command] { run_command(command); });
    toolbar_->addAction(action);
  }
}

void MainWindow::create_controls() {
  // The left column and the listing share a splitter, and so do the two
  // lists; the handles fill the gaps between the controls, so that until
  // one is moved every control stands where the window's layout puts it.
  const ClientGeometry geometry = resized_geometry(kMinimumWindowSize);
  columns_ = new QSplitter(Qt::Horizontal, client_);
  columns_->setObjectName(QStringLiteral("column_splitter"));
  columns_->setChildrenCollapsible(false);
  columns_->setHandleWidth(geometry.listing_view.left() - geometry.project_list.right() - 1);
  auto* left = new QWidget(columns_);
  left->setObjectName(QStringLiteral("left_column"));
  auto* left_layout = new QVBoxLayout(left);
  left_layout->setContentsMargins(0, 0, 0, 0);
  left_layout->setSpacing(geometry.project_list.top() - geometry.project_file_name.bottom() - 1);

  listing_view_ = new ListingView(columns_);
  listing_view_->setObjectName(QStringLiteral("listing_view"));
  listing_view_->viewport()->installEventFilter(this);
  listing_view_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  listing_view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  listing_view_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  listing_highlighter_ = new ListingHighlighter(listing_view_);
  // The column titles stand at their stops before the first listing too.
  listing_view_->set_tab_stops(listing_tab_stops(listing_view_->logicalDpiX()));

  project_file_name_ = new QLabel(left);
  project_file_name_->setObjectName(QStringLiteral("project_file_name"));
  project_file_name_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  project_file_name_->setTextFormat(Qt::PlainText);
  project_file_name_->setFixedHeight(geometry.project_file_name.height());
  left_layout->addWidget(project_file_name_);

  lists_ = new QSplitter(Qt::Vertical, left);
  lists_->setObjectName(QStringLiteral("list_splitter"));
  lists_->setChildrenCollapsible(false);
  lists_->setHandleWidth(geometry.error_list.top() - geometry.project_list.bottom() - 1);
  left_layout->addWidget(lists_);

  create_lists();

  const int average = QFontMetrics(font()).averageCharWidth();
  project_extent_ = average * kProjectListExtentChars;
  error_extent_ = average * kErrorListExtentChars;

  lay_out_splitters(geometry);
  place_controls();

  add_search_keys();
}

// The project list and the error list, one above the other.
void MainWindow::create_lists() {
  project_list_ = make_list(lists_, "project_list");
  // Entries move by dragging them, or with Alt+Up and Alt+Down.
  project_list_->setDragDropMode(QAbstractItemView::InternalMove);
  project_list_->setDefaultDropAction(Qt::MoveAction);
  connect(project_list_->model(), &QAbstractItemModel::rowsMoved, this,
          [this] { take_entries_from_list(); });
  project_list_->installEventFilter(this);

  error_list_ = make_list(lists_, "error_list");
  connect(error_list_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { jump_to_error(error_list_->row(item)); });
  connect(error_list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row < 0) return;
    const Diagnostic* diagnostic = error_diagnostic(row);
    set_status(diagnostic != nullptr ? status_of(*diagnostic) : error_list_->item(row)->text());
  });
  for (QWidget* widget :
       {static_cast<QWidget*>(error_list_), static_cast<QWidget*>(listing_view_)}) {
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(widget, &QWidget::customContextMenuRequested, this,
            [this, widget](const QPoint& position) { show_context_menu(widget, position); });
  }
}

// The splitters' stretch and starting sizes, and the positions the person
// chose in an earlier run.
void MainWindow::lay_out_splitters(const ClientGeometry& geometry) {
  // The listing and the error list take what the window grows by.
  columns_->setStretchFactor(0, 0);
  columns_->setStretchFactor(1, 1);
  lists_->setStretchFactor(0, 0);
  lists_->setStretchFactor(1, 1);
  columns_->setGeometry(splitter_area(geometry));
  columns_->setSizes({geometry.project_list.width(), geometry.listing_view.width()});
  lists_->setSizes({geometry.project_list.height(), geometry.error_list.height()});
  // Positions the person chose are kept for the next run.
  for (QSplitter* splitter : {columns_, lists_}) {
    splitter->restoreState(remembered_state(splitter->objectName()));
    connect(splitter, &QSplitter::splitterMoved, this,
            [splitter] { remember_state(splitter->objectName(), splitter->saveState()); });
  }
}

void MainWindow::add_search_keys() {
  // The listing's searches work from anywhere in the window.
  struct SearchKey {
    QKeySequence key;
    std::function<void()> run;
  };
  const SearchKey search_keys[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_F),
       [this] { listing_view_->open_search(ListingSearch::text); }},
      {QKeySequence(Qt::CTRL | Qt::Key_G),
       [this] { listing_view_->open_search(ListingSearch::address); }},
      {QKeySequence(Qt::Key_F3), [this] { listing_view_->search_again(false); }},
      {QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { listing_view_->search_again(true); }},
  };
  for (const SearchKey& search : search_keys) {
    auto* action = new QAction(this);
    action->setShortcut(search.key);
    connect(action, &QAction::triggered, this, search.run);
    addAction(action);
  }
}

// The room of the column splitter: from the lists' left edge to the
// listing's right edge, as high as the listing.
QRect MainWindow::splitter_area(const ClientGeometry& geometry) {
  return QRect(geometry.project_list.left(), geometry.listing_view.top(),
               geometry.listing_view.right() - geometry.project_list.left() + 1,
               geometry.listing_view.height());
}

void MainWindow::place_controls() {
  const QSize size = client_->size();
  toolbar_->setGeometry(0, 0, size.width(), toolbar_->sizeHint().height());
  columns_->setGeometry(splitter_area(resized_geometry(size)));
  keep_fitted_width();
}

// The left column starts as wide as the window's layout makes it. Until the
// person moves the splitter, the error list widens to show the place, the
// line and the error of its widest entry (the explanation after them is in
// the tooltip and the status bar), taking at most two fifths of the room.
void MainWindow::fit_left_column() {
  const QFontMetrics metrics(error_list_->font());
  int widest = 0;
  for (int row = 0; row < error_list_->count(); ++row) {
    const QListWidgetItem* item = error_list_->item(row);
    const Diagnostic* diagnostic = error_diagnostic(row);
    const QByteArray line = item->data(kEntryBytesRole).toByteArray();
    const QString shown =
        diagnostic != nullptr
            ? error_entry_head(*diagnostic, std::string_view(line.constData(),
                                                             static_cast<std::size_t>(line.size())))
            : item->text();
    widest = std::max(widest, metrics.horizontalAdvance(shown));
  }
  const int frame = 2 * error_list_->frameWidth() +
                    error_list_->verticalScrollBar()->sizeHint().width() +
                    metrics.averageCharWidth() * 2;
  fitted_width_ = widest + frame;
  keep_fitted_width();
}

// The fitted width holds as the room changes (the editor pane opening takes
// room from the listing, not from the lists beyond their share).
void MainWindow::keep_fitted_width() {
  if (fitted_width_ == 0 || !remembered_state(columns_->objectName()).isEmpty()) return;
  const QList<int> sizes = columns_->sizes();
  const int room = sizes.front() + sizes.back();
  const int width =
      std::max(creation_geometry().project_list.width(), std::min(fitted_width_, room * 2 / 5));
  if (width != sizes.front()) columns_->setSizes({width, room - width});
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize) place_controls();
  if (watched == project_list_ && event->type() == QEvent::KeyPress) {
    const int step = entry_move_step(*static_cast<QKeyEvent*>(event));
    if (step != 0) {
      move_entry(step);
      return true;
    }
  }
  if (listing_view_ != nullptr && watched == listing_view_->viewport() &&
      event->type() == QEvent::ToolTip) {
    return listing_tooltip(event);
  }
  return QMainWindow::eventFilter(watched, event);
}

QAction* MainWindow::command_action(Command command) const {
  return actions_[command_index(command)];
}

void MainWindow::run_command(Command command) {
  switch (command) {
    case Command::assemble:
      assemble();
      break;
    case Command::open_make_file:
      open_make_file();
      break;
    case Command::delete_file:
      delete_file();
      break;
    case Command::save_make_file:
      save_make_file();
      break;
    case Command::add_file:
      add_file(false);
      break;
    case Command::save_make_file_as:
      save_make_file_as();
      break;
    case Command::insert_file:
      add_file(true);
      break;
    case Command::new_make_file:
      new_make_file();
      break;
    case Command::simulate:
      simulate();
      break;
    case Command::exit:
      close();
      break;
    case Command::open_program_image:
      open_program_image();
      break;
    case Command::choose_chip:
      choose_chip();
      break;
    case Command::configure_chip:
      configure_chip_words();
      break;
  }
}

std::optional<ChosenFile> MainWindow::after_dialog(std::optional<ChosenFile> chosen) {
  // The next dialog starts where this one ended. Neither the process's
  // directory nor the project's folder moves with it.
  if (chosen) dialog_folder_ = QFileInfo(chosen->path).absolutePath();
  return chosen;
}

QString MainWindow::dialog_directory() const {
  if (!project_.last_directory.empty()) return display(project_.last_directory);
  if (dialog_folder_ == QDir::currentPath()) return QString();
  return dialog_folder_ + QLatin1Char('/');
}

void MainWindow::show_file_error(const QString& text) {
  dialogs_->show_message(
      this, text,
      QString::fromLatin1(texts::kFileErrorCaption.data(),
                          static_cast<qsizetype>(texts::kFileErrorCaption.size())));
}

void MainWindow::set_project_file_name(const QString& title) {
  project_file_name_->setText(title);
  project_title_ = title;
  update_title();
}

// The defined title, after the project's name while it has one, marked
// with a leading '*' while the list holds unsaved changes.
void MainWindow::update_title() {
  QString title = display(texts::kWindowTitle);
  if (!project_title_.isEmpty()) title = project_title_ + QStringLiteral(" - ") + title;
  if (modified_) title.prepend(QLatin1Char('*'));
  setWindowTitle(title);
}

void MainWindow::set_modified(bool modified) {
  // Every change of the list marks it: the first entry may name a chip now.
  if (modified) show_chosen_chip();
  if (modified_ == modified) return;
  modified_ = modified;
  update_title();
}

// Before the project or the window goes: the pane's unsaved text first,
// then the project list.
bool MainWindow::changes_may_go() {
  if (!source_changes_may_go()) return false;
  if (!modified_) return true;
  switch (dialogs_->ask(this, display(texts::kSaveChangesText), display(texts::kConfirmCaption),
                        Choices::yes_no_cancel)) {
    case Reply::yes:
      return save_make_file();
    case Reply::no:
      return true;
    case Reply::cancel:
      break;
  }
  return false;
}

AssemblyResult MainWindow::assemble(ExtraOutputs extra) {
  QElapsedTimer timer;
  timer.start();
  const Expected<std::optional<std::string>> saved = save_source_before_assembly();
  if (!saved) {
    show_file_error(display(saved.message()));
    AssemblyResult not_run;
    not_run.outcome = AssemblyOutcome::stopped;
    not_run.message = saved.message();
    return not_run;
  }
  // Relative entries were found here; the editor gets them from here too.
  assembly_directory_ = project_.entry_directory.empty()
                            ? QDir::currentPath()
                            : QFile::decodeName(project_.entry_directory.string().c_str());
  listing_words_ = 0;
  // The window always writes BASE.hex too, so that a chip can be programmed.
  AssemblyOptions options;
  options.extra_outputs = extra;
  options.extra_outputs.intel_hex = true;
  // A project that starts with a chip's definitions is for that chip.
  if (const std::optional<GpsimProcessor> chip = project_chip(project_.entries)) {
    chip_program_words_ = chip->program_words;
  }
  options.output_directory = project_.entry_directory;
  AssemblyResult result = assembler_->assemble(project_, options);
  if (result.chip) {
    chip_program_words_ = std::size_t{result.chip->program.last - result.chip->program.first + 1};
  }
  listing_highlighter_->set_core(result.chip ? result.chip->core : CoreFamily::classic);
  // The paths the run named its outputs by are kept before anything is
  // shown, as the Assemble command sets them when it starts.
  if (result.output_base_name) project_.output_base_name = *result.output_base_name;
  if (result.last_directory) project_.last_directory = *result.last_directory;
  present_assembly(result, *this);
  show_diagnostics(result);
  if (result.outcome == AssemblyOutcome::stopped) show_stop(result);
  fit_left_column();
  // A new list starts at its first entry, as an emptied list does.
  error_list_->scrollToTop();
  error_list_->horizontalScrollBar()->setValue(0);
  show_outcome(result, timer.elapsed());
  if (*saved) set_status(display(**saved) + QStringLiteral(" saved; ") + status_text());
  point_to_chip(result);
  return result;
}

void MainWindow::simulate() {
  const std::optional<GpsimProcessor> chip = project_chip(project_.entries);
  if (!chip) {
    show_file_error(
        QStringLiteral("Simulate needs the chip the program is for: put its definition file "
                       "(chips/16F84A.inc, chips/16F877A.inc ...) first in the project list"));
    return;
  }
  const QString gpsim = QStandardPaths::findExecutable(QStringLiteral("gpsim"));
  if (gpsim.isEmpty()) {
    show_file_error(QStringLiteral("gpsim is not installed (on Debian: apt-get install gpsim)"));
    return;
  }
  ExtraOutputs extra;
  extra.debug_file = chip;
  const AssemblyResult result = assemble(extra);
  // The assembly has said what went wrong.
  if (result.outcome != AssemblyOutcome::completed || result.error_count > 0 ||
      !result.output_base_name) {
    return;
  }
  std::filesystem::path base = result.output_base_name->path();
  if (base.is_relative()) base = entry_folder() / base;
  const QString debug_file = QFile::decodeName(base.string().c_str()) + QStringLiteral(".cod");
  // gpsim's own windows are the simulator's face; its command line reads
  // the standard input, which stays open (and empty) while it runs, since
  // at its end gpsim would spin. A simulation ends with the window.
  auto* process = new QProcess(this);
  process->setProgram(gpsim);
  process->setArguments(gpsim_arguments(debug_file));
  process->setWorkingDirectory(QFileInfo(debug_file).absolutePath());
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  connect(process, &QProcess::finished, process, &QObject::deleteLater);
  process->start();
  if (!process->waitForStarted()) {
    delete process;
    show_file_error(debug_file + QStringLiteral(": gpsim could not be started"));
    return;
  }
  set_status(QStringLiteral("gpsim started on %1").arg(QFileInfo(debug_file).fileName()));
}

bool MainWindow::listing_tooltip(QEvent* event) {
  const auto* help = static_cast<QHelpEvent*>(event);
  const int line = listing_view_->cursorForPosition(help->pos()).blockNumber();
  const auto tip = listing_tips_.find(line);
  if (tip == listing_tips_.end()) {
    QToolTip::hideText();
  } else {
    QToolTip::showText(help->globalPos(), tip->second, listing_view_->viewport());
  }
  return true;
}

void MainWindow::open_make_file() {
  if (!changes_may_go()) return;
  const std::optional<ChosenFile> chosen = after_dialog(
      dialogs_->choose_file_to_open(this, QStringLiteral("*.amk"), dialog_directory()));
  if (!chosen) return;
  // A name that does not exist yet starts a new project under it, once the
  // person agrees; the file is written by the first save.
  if (!QFileInfo::exists(chosen->path)) {
    if (dialogs_->ask(this, chosen->path + QLatin1Char('\n') + display(texts::kCreateFileText),
                      display(texts::kConfirmCaption), Choices::yes_no) == Reply::yes) {
      start_new_project_file(*chosen);
    }
    return;
  }
  open_project_file(*chosen);
}

void MainWindow::open_program_image() {
  if (!changes_may_go()) return;
  const std::optional<ChosenFile> chosen = after_dialog(
      dialogs_->choose_file_to_open(this, QStringLiteral("*.hex;*.bin"), dialog_directory()));
  if (!chosen) return;
  const QFileInfo image(chosen->path);
  const QString base = image.dir().filePath(image.completeBaseName());
  const QString source = base + QStringLiteral(".as");
  const QString project = base + QStringLiteral(".amk");
  if (QFileInfo::exists(source) || QFileInfo::exists(project)) {
    const QString text =
        QStringLiteral("%1\n%2\nThese files exist already. Replace them?")
            .arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(project));
    if (dialogs_->ask(this, text, display(texts::kConfirmCaption), Choices::yes_no_default_no) !=
        Reply::yes) {
      return;
    }
  }
  // The chip of the project open now is the image's chip too.
  std::optional<std::filesystem::path> chip;
  if (chip_file_first()) chip = first_entry_file();
  const ImportedFiles files{system_path(source).path(), system_path(project).path()};
  if (const Expected<void> written =
          import_program_image(system_path(chosen->path).path(), files, chip);
      !written) {
    show_file_error(display(written.message()));
    return;
  }
  if (!open_project_file(ChosenFile{project, QFileInfo(project).fileName()}) || !chip) return;
  Expected<std::string> entry =
      shorter_entry_for_file(std::filesystem::absolute(*chip), entry_folder());
  if (!entry) {
    show_file_error(display(entry.message()));
    return;
  }
  insert_entry(0, std::move(*entry));
  set_modified(true);
  save_make_file();
}

// The file of the project's first entry, where the assembly reads it.
std::filesystem::path MainWindow::first_entry_file() const {
  return entry_file(project_.entries.front(), SystemPath(entry_folder()), project_.chip_folder)
      .path();
}

bool MainWindow::chip_file_first() const {
  if (project_.entries.empty()) return false;
  const std::filesystem::path first = first_entry_file();
  const FileContents text = read_whole_file(first);
  if (text && has_chip_facts(*text)) return true;
  // Files of chips without facts are known by their folder's list.
  if (!project_.chip_folder) return false;
  const std::vector<std::string> known = list_chips(*project_.chip_folder);
  return std::any_of(known.begin(), known.end(),
                     [&](const std::string& chip) { return is_chip_file_of(first, chip); });
}

std::vector<std::string> MainWindow::chips_defining_name(const std::string& name) {
  if (!chip_names_) {
    const std::optional<std::filesystem::path> folder = window_chip_directory();
    chip_names_ = folder ? read_chip_names(*folder) : std::vector<ChipNames>{};
  }
  std::string file_names = shown_cp932(project_.project_file_path);
  for (const std::string& entry : project_.entries) file_names += " " + entry;
  return chips_defining(*chip_names_, name, file_names);
}

// The chip offered is the one that defines the most of the names the
// program leaves undefined; among equals, the one korva-asm names first for
// the first such name.
void MainWindow::point_to_chip(const AssemblyResult& result) {
  if (chip_pointed_to_ || chip_file_first()) return;
  std::vector<std::string> names;
  for (const Diagnostic& diagnostic : result.diagnostics) {
    if (diagnostic.name_undefined && !diagnostic.name.empty() &&
        std::find(names.begin(), names.end(), diagnostic.name) == names.end()) {
      names.push_back(diagnostic.name);
    }
  }
  std::vector<std::string> order;
  std::map<std::string, std::size_t> defined;
  for (const std::string& name : names) {
    for (const std::string& chip : chips_defining_name(name)) {
      if (defined[chip]++ == 0) order.push_back(chip);
    }
  }
  if (order.empty()) return;
  const std::string best = *std::max_element(
      order.begin(), order.end(),
      [&](const std::string& a, const std::string& b) { return defined[a] < defined[b]; });
  chip_pointed_to_ = true;
  const QString text = QStringLiteral(
                           "%1 is defined by the chip %2, which the project does not name.\n"
                           "Choose the chip now (Edit > Chip...)?")
                           .arg(display(names.front()), QString::fromStdString(best));
  if (dialogs_->ask(this, text, display(texts::kConfirmCaption), Choices::yes_no) == Reply::yes) {
    choose_chip();
  }
}

void MainWindow::choose_chip() {
  const std::optional<std::filesystem::path> folder = window_chip_directory();
  if (!folder) {
    show_file_error(QStringLiteral("No chip definition files found (set %1 to their folder)")
                        .arg(QString::fromLatin1(kChipDirectoryVariable)));
    return;
  }
  // By family: the classic parts, then the enhanced mid-range ones.
  QStringList chips;
  const std::vector<KnownChip> known = list_chips_with_core(*folder);
  for (const CoreFamily family : {CoreFamily::classic, CoreFamily::enhanced}) {
    for (const KnownChip& chip : known) {
      if (chip.core == family) chips << QString::fromStdString(chip.name);
    }
  }
  const bool replace = chip_file_first();
  const int current = replace ? static_cast<int>(chips.indexOf(QString::fromStdString(upper_cased(
                                    os_path(project_.entries.front()).stem().string()))))
                              : -1;
  const std::optional<QString> chosen = dialogs_->choose_item(
      this, QStringLiteral("Chip"),
      QStringLiteral("The chip the program is for (the classic parts, then the enhanced "
                     "mid-range ones: 12F1..., 16F1...):"),
      chips, current);
  if (!chosen) return;
  const std::optional<std::filesystem::path> file = find_chip(*folder, chosen->toStdString());
  if (!file) return;
  // The chip file's name alone survives moving the project; a path only
  // when the project's folder has another file of that name.
  std::error_code error;
  Expected<std::string> entry = std::filesystem::exists(entry_folder() / file->filename(), error)
                                    ? shorter_entry_for_file(*file, entry_folder())
                                    : Expected<std::string>(cp932_from_os_path(file->filename()));
  if (!entry) {
    show_file_error(display(entry.message()));
    return;
  }
  if (replace) {
    project_.entries.erase(project_.entries.begin());
    delete project_list_->takeItem(0);
  }
  insert_entry(0, std::move(*entry));
  set_modified(true);
  show_chosen_chip();
  set_status(QStringLiteral("The program is for the chip %1").arg(*chosen));
  save_make_file();
}

void MainWindow::configure_chip_words() {
  const QString no_chip = QStringLiteral(
      "Configuration needs the chip: put its definition file first in the project "
      "(Chip...)");
  if (project_.entries.empty()) {
    show_file_error(no_chip);
    return;
  }
  const std::filesystem::path first = first_entry_file();
  const FileContents text = read_whole_file(first);
  if (!text) {
    show_file_error(display(text.message()));
    return;
  }
  const Expected<std::optional<ChipFacts>> facts = read_chip_facts(*text);
  if (!facts) {
    show_file_error(display(project_.entries.front() + ": " + facts.message()));
    return;
  }
  if (!*facts || (*facts)->config_words.empty()) {
    show_file_error(no_chip);
    return;
  }
  dialogs_->show_configuration(this, **facts);
}

void MainWindow::start_new_project_file(const ChosenFile& chosen) {
  const SystemPath path = system_path(chosen.path);
  forget_last_project();
  take_project_path(project_, path);
  project_.entry_directory = project_folder(path);
  project_.entries.clear();
  fill_project_list();
  set_project_file_name(chosen.title);
  set_modified(false);
}

void MainWindow::new_make_file() {
  if (!changes_may_go()) return;
  forget_last_project();
  // The last directory stays: the dialogs keep starting there.
  project_.entries.clear();
  project_.project_file_path = SystemPath();
  project_.output_base_name = SystemPath();
  project_.entry_directory.clear();
  fill_project_list();
  set_project_file_name(QString());
  set_modified(false);
}

void MainWindow::open_project(const QString& path) {
  if (!changes_may_go()) return;
  const QFileInfo file(path);
  const ChosenFile chosen{file.absoluteFilePath(), file.fileName()};
  after_dialog(chosen);
  // A recent project that is gone leaves the list; one that cannot be read
  // now may be readable later.
  if (!open_project_file(chosen) && !file.exists()) recent_projects_.forget(chosen.path);
}

bool MainWindow::open_project_file(const ChosenFile& chosen) {
  const SystemPath path = system_path(chosen.path);

  // Only a readable regular file of sensible size replaces the list; on
  // any failure the message says why and the project stays as it was.
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path.path(), error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    show_file_error(chosen.path + QStringLiteral(": not a regular file"));
    return false;
  }
  if (std::filesystem::is_regular_file(status)) {
    const std::uintmax_t size = std::filesystem::file_size(path.path(), error);
    if (!error && size > kProjectFileSizeLimit) {
      show_file_error(chosen.path + QStringLiteral(": too large for a project file (over %1 bytes)")
                                        .arg(kProjectFileSizeLimit));
      return false;
    }
  }
  Expected<std::vector<std::string>> entries = load_project_file(path);
  if (!entries) {
    show_file_error(display(entries.message()));
    return false;
  }
  forget_last_project();
  take_project_path(project_, path);
  // Its entries are found in its folder, as korva-asm finds them.
  project_.entry_directory = project_folder(path);
  project_.entries = std::move(*entries);
  fill_project_list();
  set_project_file_name(chosen.title);
  set_modified(false);
  recent_projects_.remember(chosen.path);
  return true;
}

bool MainWindow::save_make_file() {
  if (project_.project_file_path.empty()) return save_make_file_as();
  const Expected<Saved> saved = save_project_file(project_);
  if (!saved) {
    show_file_error(display(saved.message()));
    return false;
  }
  if (*saved == Saved::nothing_to_save) {
    set_status(display(texts::kNothingToSave));
  } else {
    set_modified(false);
  }
  return true;
}

bool MainWindow::save_make_file_as() {
  const std::optional<ChosenFile> chosen = after_dialog(
      dialogs_->choose_file_to_save(this, dialog_directory() + QStringLiteral("*.amk")));
  if (!chosen) return false;
  const SystemPath path = system_path(chosen->path);
  // The entries move with the file: each still names the file it named.
  const std::filesystem::path folder = project_folder(path);
  Expected<std::vector<std::string>> entries =
      entries_for_folder(project_.entries, entry_folder(), folder);
  if (!entries) {
    show_file_error(display(entries.message()));
    return false;
  }
  take_project_path(project_, path);
  project_.entry_directory = folder;
  if (*entries != project_.entries) {
    const int row = project_list_->currentRow();
    project_.entries = std::move(*entries);
    fill_project_list();
    project_list_->setCurrentRow(row);
  }
  set_project_file_name(chosen->title);
  const bool saved = save_make_file();
  if (QFileInfo(chosen->path).isFile()) recent_projects_.remember(chosen->path);
  return saved;
}

std::filesystem::path MainWindow::entry_folder() const {
  if (!project_.entry_directory.empty()) return std::filesystem::absolute(project_.entry_directory);
  std::error_code error;
  return std::filesystem::current_path(error);
}

void MainWindow::add_file(bool insert) {
  const std::vector<ChosenFile> files =
      dialogs_->choose_files_to_open(this, QStringLiteral("*.as;*.inc"), dialog_directory());
  if (files.empty()) return;
  after_dialog(files.front());
  // The first file of a project without a file sets the folder its entries
  // are found in; Save As moves them to the project file's folder.
  if (project_.project_file_path.empty() && project_.entries.empty()) {
    project_.entry_directory = system_path(files.front().path).path().parent_path();
  }
  const int selected = insert ? selected_project_row() : -1;
  int row = selected < 0 ? static_cast<int>(project_.entries.size()) : selected;
  for (const ChosenFile& file : files) {
    Expected<std::string> entry = entry_for_file(system_path(file.path).path(), entry_folder());
    if (!entry) {
      show_file_error(display(entry.message()));
      return;
    }
    // Names are compared byte for byte: the same name in another letter
    // case is a different entry.
    for (const std::string& existing : project_.entries) {
      if (existing == *entry) {
        dialogs_->show_message(this, display(texts::kSameNameText),
                               display(texts::kSameNameCaption));
        return;
      }
    }
    insert_entry(row, std::move(*entry));
    ++row;
    set_modified(true);
  }
}

void MainWindow::delete_file() {
  const int row = selected_project_row();
  if (row < 0) return;
  if (!close_source_of_entry(project_.entries[static_cast<std::size_t>(row)])) return;
  project_.entries.erase(project_.entries.begin() + row);
  delete project_list_->takeItem(row);
  // The entry that took its place (or the new last one) is selected, so
  // that Delete again goes on deleting.
  project_list_->clearSelection();
  if (project_list_->count() > 0)
    project_list_->setCurrentRow(std::min(row, project_list_->count() - 1));
  set_modified(true);
}

void MainWindow::move_entry(int step) {
  const int row = selected_project_row();
  const int target = row + step;
  if (row < 0 || target < 0 || target >= project_list_->count()) return;
  QListWidgetItem* item = project_list_->takeItem(row);
  project_list_->insertItem(target, item);
  std::swap(project_.entries[static_cast<std::size_t>(row)],
            project_.entries[static_cast<std::size_t>(target)]);
  project_list_->setCurrentRow(target);
  set_modified(true);
}

// After a drag the list's order is the project's: the entries are read
// back from the bytes each item keeps.
void MainWindow::take_entries_from_list() {
  std::vector<std::string> entries;
  entries.reserve(static_cast<std::size_t>(project_list_->count()));
  for (int i = 0; i < project_list_->count(); ++i) {
    const QByteArray bytes = project_list_->item(i)->data(kEntryBytesRole).toByteArray();
    entries.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  }
  if (entries == project_.entries) return;
  project_.entries = std::move(entries);
  set_modified(true);
}

int MainWindow::selected_project_row() const {
  const QList<QListWidgetItem*> selected = project_list_->selectedItems();
  if (selected.isEmpty()) return -1;
  const int row = project_list_->row(selected.front());
  return row < static_cast<int>(project_.entries.size()) ? row : -1;
}

void MainWindow::insert_entry(int row, std::string entry) {
  const int line_height = QFontMetrics(project_list_->font()).height() + 2;
  project_list_->insertItem(row, make_item(entry, project_extent_, line_height));
  project_.entries.insert(project_.entries.begin() + row, std::move(entry));
}

void MainWindow::fill_project_list() {
  project_list_->clear();
  const int line_height = QFontMetrics(project_list_->font()).height() + 2;
  for (const std::string& entry : project_.entries) {
    project_list_->addItem(make_item(entry, project_extent_, line_height));
  }
  show_chosen_chip();
}

// The chip the project's first entry defines, by its name beside the
// status text; nothing while the project names none.
void MainWindow::show_chosen_chip() {
  const bool named = chip_file_first();
  chip_label_->setText(
      named ? QString::fromStdString(upper_cased(os_path(project_.entries.front()).stem().string()))
            : QString());
  chip_label_->setVisible(named);
}

void MainWindow::show_message(std::string_view text, std::string_view caption) {
  dialogs_->show_message(this, display(text), display(caption));
}

void MainWindow::clear_error_list() {
  error_list_->clear();
}

void MainWindow::add_error_entry(std::string_view listing_line) {
  const int line_height = QFontMetrics(error_list_->font()).height() + 2;
  error_list_->addItem(make_item(listing_line, error_extent_, line_height));
}

void MainWindow::show_listing(std::string_view listing) {
  listing_view_->set_tab_stops(listing_tab_stops(listing_view_->logicalDpiX()));
  listing_view_->setPlainText(display(listing));
  listing_words_ = count_program_words(listing);
  QTextCursor cursor = listing_view_->textCursor();
  cursor.movePosition(QTextCursor::Start);
  listing_view_->setTextCursor(cursor);
  listing_view_->setFocus();
}

void MainWindow::jump_to_error(int row) {
  const QListWidgetItem* item = error_list_->item(row);
  if (item == nullptr) return;
  const QByteArray bytes = item->data(kEntryBytesRole).toByteArray();
  // The entry of a stopped assembly has no listing line: it opens the source.
  if (bytes.isEmpty() && static_cast<std::size_t>(row) < errors_.size()) {
    open_source(errors_[static_cast<std::size_t>(row)]);
    return;
  }
  std::string_view line(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

  listing_view_->setFocus();
  const std::optional<TextRange> found =
      find_listing_line(*listing_view_->document(), display(line));
  // An entry from an older listing may be missing: the view stays as it is.
  if (!found) return;
  QTextCursor cursor(listing_view_->document());
  cursor.setPosition(found->start);
  cursor.setPosition(found->end, QTextCursor::KeepAnchor);
  listing_view_->setTextCursor(cursor);
  listing_view_->ensureCursorVisible();
  listing_view_->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  // The line's start, its address and code, stays in view.
  listing_view_->horizontalScrollBar()->setValue(0);
}

}  // namespace korva
