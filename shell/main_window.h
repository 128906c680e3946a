// The main window: menu and toolbar with the eight commands, the project
// file name, the project list, the error list and the listing view. It is
// the assembly's host: message boxes, the error list and the listing go
// through it.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QRect>
#include <QSize>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "driver/assembler.h"
#include "driver/platform.h"
#include "driver/project.h"
#include "shell/user_dialogs.h"

class QAction;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QTextDocument;
class QToolBar;

namespace korva {

class Assembler;

// The command ids of the menu and the toolbar.
enum class Command : int {
  assemble = 1010,
  open_make_file = 1011,
  delete_file = 1012,
  save_make_file = 1013,
  add_file = 1014,
  save_make_file_as = 1015,
  insert_file = 1016,
  exit = 1020,
};

inline constexpr std::array<Command, 8> kAllCommands = {
    Command::assemble, Command::open_make_file,    Command::delete_file, Command::save_make_file,
    Command::add_file, Command::save_make_file_as, Command::insert_file, Command::exit};

// Places of the four child controls in the client area (the area under the
// menu bar, with the toolbar at its top).
struct ClientGeometry {
  QRect listing_view;
  QRect project_file_name;
  QRect project_list;
  QRect error_list;
};
// Where the controls are created.
ClientGeometry creation_geometry();
// Where they go for a client area of the given size: the listing view and
// the error list grow with the window, the other two stay.
ClientGeometry resized_geometry(QSize client);

inline constexpr QSize kMinimumWindowSize{600, 400};
inline constexpr QSize kToolbarImageSize{40, 32};
// The listing's tab stops in twips (1/1440 inch): address, code, label and
// statement columns.
inline constexpr std::array<int, 4> kTabStopTwips = {800, 2000, 4000, 6000};
// Horizontal scroll extent of the lists, in average character widths.
inline constexpr int kProjectListExtentChars = 50;
inline constexpr int kErrorListExtentChars = 100;
// Project files above this size are refused instead of loaded.
inline constexpr std::uintmax_t kProjectFileSizeLimit = 1024 * 1024;
// List entries show at most this many characters; the entry itself is kept whole.
inline constexpr int kListDisplayLimit = 512;

// The tab stops in pixels for a screen of the given logical DPI.
QList<qreal> listing_tab_stops(qreal logical_dpi);

// The first run of lines of the document that equals `line` (a listing
// line, its line end taken off) when letter case is ignored. The range runs
// from the start of that line to the start of the next one (the line end
// included), or to the document's end.
struct TextRange {
  int start = 0;
  int end = 0;
};
std::optional<TextRange> find_listing_line(const QTextDocument& document, const QString& line);

class MainWindow : public QMainWindow, public AssemblyHost {
  Q_OBJECT

 public:
  explicit MainWindow(std::unique_ptr<UserDialogs> dialogs, QWidget* parent = nullptr);
  ~MainWindow() override;

  void run_command(Command command);
  // The menu action of a command (the toolbar shares it).
  QAction* command_action(Command command) const;
  // Double-click on an error-list entry: shows its line in the listing.
  void jump_to_error(int row);

  const ProjectState& project() const { return project_; }
  // The tooltip of a listing line: its warnings and errors with their places.
  QString listing_tip(int line) const {
    const auto tip = listing_tips_.find(line);
    return tip == listing_tips_.end() ? QString() : tip->second;
  }
  const std::string& start_directory() const { return start_directory_; }

  // AssemblyHost: texts arrive as CP932 bytes.
  void show_message(std::string_view text, std::string_view caption) override;
  void clear_error_list() override;
  void add_error_entry(std::string_view listing_line) override;
  void show_listing(std::string_view listing) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Writes the settings file while the window is still shown, so that a
  // failure's message box belongs to a running program.
  void closeEvent(QCloseEvent* event) override;

 private:
  void create_menu();
  void create_toolbar();
  void create_controls();
  void place_controls();

  void assemble();
  void show_diagnostics(const AssemblyResult& result);
  bool listing_tooltip(QEvent* event);
  void open_make_file();
  void save_make_file();
  void save_make_file_as();
  void add_file(bool insert);
  void delete_file();

  void save_settings();
  std::optional<ChosenFile> after_dialog(std::optional<ChosenFile> chosen);
  void show_file_error(const QString& text);
  void set_project_file_name(const QString& title);
  void insert_entry(int row, std::string entry);
  void fill_project_list();
  int selected_project_row() const;

  std::unique_ptr<UserDialogs> dialogs_;
  std::unique_ptr<Assembler> assembler_;
  ProjectState project_;
  std::string start_directory_;
  bool settings_saved_ = false;

  std::array<QAction*, kAllCommands.size()> actions_{};
  QWidget* client_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QPlainTextEdit* listing_view_ = nullptr;
  QLabel* project_file_name_ = nullptr;
  QListWidget* project_list_ = nullptr;
  QListWidget* error_list_ = nullptr;
  int project_extent_ = 0;
  int error_extent_ = 0;
  // Warnings and places of the last assembly, by listing line, shown as
  // tooltips of the listing view.
  std::map<int, QString> listing_tips_;
};

}  // namespace korva
