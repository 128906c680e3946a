// The main window: menu and toolbar with the eight commands, the project
// file name, the project list, the error list and the listing view. It is
// the assembly's host: message boxes, the error list and the listing go
// through it.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "project/assembler.h"
#include "project/assembly_host.h"
#include "project/chip_files.h"
#include "project/project.h"
#include "shell/recent_projects.h"
#include "shell/user_dialogs.h"

class QAction;
class QDockWidget;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTextDocument;
class QToolBar;

namespace korva {

class Assembler;
class ElidedLabel;
class ListingView;
class MnemonicStyle;
class SourcePane;

// The command ids of the menu and the toolbar.
enum class Command : int {
  assemble = 1010,
  open_make_file = 1011,
  delete_file = 1012,
  save_make_file = 1013,
  add_file = 1014,
  save_make_file_as = 1015,
  insert_file = 1016,
  new_make_file = 1017,
  simulate = 1018,
  exit = 1020,
  open_program_image = 1021,
  choose_chip = 1022,
  configure_chip = 1023,
};

inline constexpr std::array<Command, 13> kAllCommands = {
    Command::assemble,       Command::open_make_file,     Command::delete_file,
    Command::save_make_file, Command::add_file,           Command::save_make_file_as,
    Command::insert_file,    Command::new_make_file,      Command::simulate,
    Command::exit,           Command::open_program_image, Command::choose_chip,
    Command::configure_chip};

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
inline constexpr std::uintmax_t kProjectFileSizeLimit = std::uintmax_t{1024} * 1024;
// List entries show at most this many characters; the entry itself is kept whole.
inline constexpr int kListDisplayLimit = 512;
// List entries keep their bytes (CP932) under this role, beside the text shown.
inline constexpr int kEntryBytesRole = Qt::UserRole;

// Keyboard commands beside the menu's eight: they act on the error list,
// the warning list and the listing view.
enum class ErrorCommand {
  next_error,
  previous_error,
  go_to_listing_line,
  open_source,  // in the editor pane
  open_in_external_editor
};

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
  QAction* error_command_action(ErrorCommand command) const;
  // Double-click on an error-list entry: shows its line in the listing.
  void jump_to_error(int row);
  // F8 and Shift+F8: selects the next (step 1) or previous (step -1) entry
  // of the error list, round at its ends, and shows its line.
  void step_error(int step);

  // Opens a project file as the Open command does with the file chosen in
  // its dialog (the program's command line gives one this way).
  void open_project(const QString& path);

  // The program memory of the chip assembled for, in words, or none while
  // no chip is known; the status bar then shows the share used.
  void set_chip_program_memory(std::optional<std::size_t> words) { chip_program_words_ = words; }
  // When set, every status text is also appended to this file, one line
  // each, in UTF-8: scripts that drive the window read it there.
  void set_status_log(const QString& path) { status_log_ = path; }
  QString status_text() const;

  const ProjectState& project() const { return project_; }
  // Whether the project list differs from what its file holds.
  bool project_modified() const { return modified_; }
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
  void create_keyboard_commands();
  void create_toolbar();
  void create_controls();
  void create_lists();
  void lay_out_splitters(const ClientGeometry& geometry);
  void add_search_keys();
  void create_status_bar();
  void create_warning_list();
  void place_controls();
  void fit_left_column();
  void keep_fitted_width();
  static QRect splitter_area(const ClientGeometry& geometry);
  // Grows the window by up to `height` (shrinks it for a negative one),
  // within the screen's available area; what it grew by.
  int grow_window(int height);
  // The window's geometry without what the status bar and the warning list
  // grew it by: they grow it again when they next appear, so that the
  // window keeps its size from start to start.
  QByteArray geometry_to_remember();
  void fill_recent_projects(QMenu* menu);

  // Assembles with the extra outputs asked for and shows the result; the
  // result, for a caller that goes on with its outputs.
  AssemblyResult assemble(ExtraOutputs extra = {});
  void simulate();
  void show_diagnostics(const AssemblyResult& result);
  void show_outcome(const AssemblyResult& result, long long milliseconds);
  void set_status(const QString& text);
  bool listing_tooltip(QEvent* event);
  void show_context_menu(QWidget* widget, const QPoint& position);
  const Diagnostic* error_diagnostic(int row) const;
  const Diagnostic* listing_diagnostic(int line) const;
  const Diagnostic* diagnostic_in_focus() const;
  void select_listing_line(int line);
  void open_source(const Diagnostic& diagnostic);
  void open_in_external_editor(const Diagnostic& diagnostic);
  void create_source_pane();
  // Asks whether to save the editor pane's unsaved edits before they go.
  bool source_changes_may_go();
  void update_source_title();
  Expected<std::optional<std::string>> save_source_before_assembly();
  void forget_last_project();
  bool close_source_of_entry(const std::string& entry);
  // Shows the entry's file in the editor pane at a line (0: its top).
  void edit_entry(const std::string& entry, std::size_t line);
  void run_error_command(ErrorCommand command);
  void jump_to_warning(int row);
  void open_make_file();
  // Disassembles a HEX or .bin file into BASE.as and BASE.amk beside it
  // and opens BASE.amk.
  void open_program_image();
  // Puts the chosen chip's definition file first in the project (in place
  // of a chip file there) and saves the project.
  void choose_chip();
  // The chips of the chip folder that define `name`, named in the order
  // korva-asm suggests them; empty without a chip folder.
  std::vector<std::string> chips_defining_name(const std::string& name);
  // A project that uses names of a chip it does not name is told so once,
  // with the chip, and offered Edit > Chip....
  void point_to_chip(const AssemblyResult& result);
  QString tooltip_details(const Diagnostic& diagnostic);
  QString diagnostic_notes(const Diagnostic& diagnostic);
  QString status_of(const Diagnostic& diagnostic);
  void show_chosen_chip();
  void show_stop(const AssemblyResult& result);
  // The configuration dialog of the chip whose file is first in the project.
  void configure_chip_words();
  // Whether the first entry is a chip definition file.
  bool chip_file_first() const;
  std::filesystem::path first_entry_file() const;
  bool open_project_file(const ChosenFile& chosen);
  void start_new_project_file(const ChosenFile& chosen);
  void new_make_file();
  // Both give whether the list is now safe on disk (or there was nothing
  // that could be written); false when cancelled or failed.
  bool save_make_file();
  bool save_make_file_as();
  void add_file(bool insert);
  void delete_file();
  // Alt+Up (step -1) and Alt+Down (step 1): moves the selected entry.
  void move_entry(int step);
  void take_entries_from_list();
  // Asks whether to save unsaved changes before they would be dropped;
  // false when the person cancels (or saving fails).
  bool changes_may_go();
  // The folder relative entries are found in, made absolute.
  std::filesystem::path entry_folder() const;
  void set_modified(bool modified);
  void update_title();

  void save_settings();
  std::optional<ChosenFile> after_dialog(std::optional<ChosenFile> chosen);
  // Where a dialog opens: the last directory, or without one the project
  // folder (empty while that is the start directory, where dialogs open
  // anyway).
  QString dialog_directory() const;
  void show_file_error(const QString& text);
  void set_project_file_name(const QString& title);
  void insert_entry(int row, std::string entry);
  void fill_project_list();
  int selected_project_row() const;

  std::unique_ptr<UserDialogs> dialogs_;
  std::unique_ptr<Assembler> assembler_;
  ProjectState project_;
  std::string start_directory_;
  // The folder of the file last chosen in a dialog, at first the start
  // directory: dialogs without a last directory open there. Entries are
  // found in the project's folder (ProjectState::entry_directory), which
  // a dialog never moves.
  QString dialog_folder_;
  // The title's name of the project file, empty while it has none.
  QString project_title_;
  bool modified_ = false;
  bool settings_saved_ = false;

  std::array<QAction*, kAllCommands.size()> actions_{};
  std::array<QAction*, 5> error_actions_{};
  MnemonicStyle* mnemonic_style_ = nullptr;
  QWidget* client_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  ListingView* listing_view_ = nullptr;
  class ListingHighlighter* listing_highlighter_ = nullptr;  // owned by the view
  QSplitter* columns_ = nullptr;
  QSplitter* lists_ = nullptr;
  QLabel* project_file_name_ = nullptr;
  QListWidget* project_list_ = nullptr;
  QListWidget* error_list_ = nullptr;
  QListWidget* warning_list_ = nullptr;
  QDockWidget* warning_dock_ = nullptr;
  // What showing the status bar and the warning list grew the window by:
  // hiding takes back as much, and the size remembered is without them.
  int status_growth_ = 0;
  std::optional<std::vector<ChipNames>> chip_names_;  // read at the first need
  bool chip_pointed_to_ = false;                      // for this project
  int warning_growth_ = 0;
  QDockWidget* source_dock_ = nullptr;
  SourcePane* source_pane_ = nullptr;
  ElidedLabel* status_label_ = nullptr;
  QLabel* chip_label_ = nullptr;
  int project_extent_ = 0;
  int error_extent_ = 0;
  // The left column's width that shows the error list's entries; 0 before.
  int fitted_width_ = 0;
  // Warnings and places of the last assembly, by listing line, shown as
  // tooltips of the listing view.
  std::map<int, QString> listing_tips_;
  // The errors (in error-list order) and the warnings of the last assembly,
  // and the directory their files were found in.
  std::vector<Diagnostic> errors_;
  std::vector<Diagnostic> warnings_;
  QString assembly_directory_;
  std::size_t listing_words_ = 0;
  std::optional<std::size_t> chip_program_words_;
  QString status_log_;
  RecentProjects recent_projects_;
  QList<QAction*> recent_actions_;
};

}  // namespace korva
