// The main window's view of the errors and warnings of the last assembly:
// the status bar, the warning list, the keys that step through the errors,
// the context menus and opening an error's source in the editor.
#include <QAbstractScrollArea>
#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <iterator>
#include <utility>

#include "resources/system_texts.h"
#include "shell/assembly_status.h"
#include "shell/elided_label.h"
#include "shell/listing_view.h"
#include "shell/main_window.h"
#include "shell/source_editor.h"
#include "shell/source_pane.h"
#include "system/text_encoding.h"

namespace korva {
namespace {

QString display(std::string_view bytes) {
  return QString::fromStdString(cp932_to_utf8(bytes));
}
std::string stored_name(const QString& text) {
  return utf8_to_cp932(text.toStdString());
}

struct ErrorCommandItem {
  ErrorCommand command;
  std::string_view text;
};
constexpr ErrorCommandItem kErrorCommands[] = {
    {ErrorCommand::next_error, texts::kMenuNextError},
    {ErrorCommand::previous_error, texts::kMenuPreviousError},
    {ErrorCommand::go_to_listing_line, texts::kMenuGoToListingLine},
    {ErrorCommand::open_source, texts::kMenuOpenSource},
    {ErrorCommand::open_in_external_editor, texts::kMenuOpenInExternalEditor},
};

QList<QKeySequence> error_command_keys(ErrorCommand command) {
  switch (command) {
    case ErrorCommand::next_error:
      return {QKeySequence(Qt::Key_F8)};
    case ErrorCommand::previous_error:
      return {QKeySequence(Qt::SHIFT | Qt::Key_F8)};
    case ErrorCommand::go_to_listing_line:
      return {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)};
    case ErrorCommand::open_source:
      return {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)};
    case ErrorCommand::open_in_external_editor:
      return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Enter)};
  }
  return {};
}

}  // namespace

void MainWindow::create_keyboard_commands() {
  for (std::size_t i = 0; i < std::size(kErrorCommands); ++i) {
    const ErrorCommand command = kErrorCommands[i].command;
    auto* action = new QAction(display(kErrorCommands[i].text), this);
    action->setShortcuts(error_command_keys(command));
    connect(action, &QAction::triggered, this, [this, command] { run_error_command(command); });
    error_actions_[i] = action;
    if (command == ErrorCommand::go_to_listing_line) {
      // Enter acts only in the lists; elsewhere it keeps its usual meaning.
      action->setShortcutContext(Qt::WidgetShortcut);
      error_list_->addAction(action);
    } else {
      addAction(action);
    }
  }
}

QAction* MainWindow::error_command_action(ErrorCommand command) const {
  for (std::size_t i = 0; i < std::size(kErrorCommands); ++i) {
    if (kErrorCommands[i].command == command) return error_actions_[i];
  }
  return nullptr;
}

void MainWindow::create_warning_list() {
  // Below the client area and hidden until asked for, so that the defined
  // controls keep their places; its switch sits in the status bar.
  warning_dock_ = new QDockWidget(display(texts::kWarningList), this);
  warning_dock_->setObjectName(QStringLiteral("warning_dock"));
  warning_dock_->setAllowedAreas(Qt::BottomDockWidgetArea);
  warning_list_ = new QListWidget(warning_dock_);
  warning_list_->setObjectName(QStringLiteral("warning_list"));
  warning_list_->setSelectionMode(QAbstractItemView::SingleSelection);
  warning_list_->setWordWrap(false);
  warning_dock_->setWidget(warning_list_);
  addDockWidget(Qt::BottomDockWidgetArea, warning_dock_);
  warning_dock_->hide();
  connect(warning_list_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { jump_to_warning(warning_list_->row(item)); });
  connect(warning_list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0 && static_cast<std::size_t>(row) < warnings_.size()) {
      set_status(status_of(warnings_[static_cast<std::size_t>(row)]));
    }
  });
  // Shown below the client area, it makes the window taller by its own height
  // (about six entries), and hidden again, smaller by as much.
  connect(warning_dock_->toggleViewAction(), &QAction::toggled, this, [this](bool shown) {
    if (warning_dock_->isFloating()) return;
    if (!shown) {
      grow_window(-std::exchange(warning_growth_, 0));
      return;
    }
    const int height = 6 * QFontMetrics(warning_list_->font()).height() +
                       2 * QFontMetrics(warning_dock_->font()).height();
    // Beyond the screen's edge the list takes its room inside the window.
    warning_growth_ = grow_window(height);
    // The dock is shown after this signal: size it once it is laid out.
    QTimer::singleShot(0, this,
                       [this, height] { resizeDocks({warning_dock_}, {height}, Qt::Vertical); });
  });
  warning_list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(warning_list_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& position) { show_context_menu(warning_list_, position); });
}

QByteArray MainWindow::geometry_to_remember() {
  if (!isMaximized() && !isFullScreen()) {
    const int grown = status_growth_ + (warning_dock_->isVisible() ? warning_growth_ : 0);
    if (grown > 0) resize(width(), height() - grown);
  }
  return saveGeometry();
}

void MainWindow::create_status_bar() {
  status_label_ = new ElidedLabel(this);
  status_label_->setObjectName(QStringLiteral("status_text"));
  statusBar()->addWidget(status_label_, 1);
  chip_label_ = new QLabel(this);
  chip_label_->setObjectName(QStringLiteral("chip_name"));
  chip_label_->setToolTip(QStringLiteral("The chip the program is for (Edit > Chip...)"));
  chip_label_->hide();
  statusBar()->addPermanentWidget(chip_label_);
  auto* warnings = new QToolButton(this);
  warnings->setObjectName(QStringLiteral("warning_list_switch"));
  warnings->setAutoRaise(true);
  warnings->setDefaultAction(warning_dock_->toggleViewAction());
  statusBar()->addPermanentWidget(warnings);
  // It appears with the first thing it has to say: until then the client
  // area is the whole window below the menu.
  statusBar()->hide();
}

// Parts below the client area take their room from the screen, not from
// the client area, unless the window cannot grow: it never grows past the
// screen's available area, and moves up first where it would.
int MainWindow::grow_window(int height) {
  if (!isVisible() || isMaximized() || isFullScreen() || height == 0) return 0;
  if (height > 0 && screen() != nullptr) {
    const QRect available = screen()->availableGeometry();
    const QRect frame = frameGeometry();
    height = std::max(0, std::min(height, available.height() - frame.height()));
    if (frame.bottom() + height > available.bottom()) {
      move(x(), y() - (frame.bottom() + height - available.bottom()));
    }
  }
  resize(width(), this->height() + height);
  return height;
}

// What an error entry's tooltip adds to its place: what exactly is wrong
// and how to fix it where that is known, then the notes as the terminal
// gives them, a line each (the first definition, the macro call, and for a
// name no file defines the chips that define it).
// The status bar's one line: the diagnostic, then its notes.
QString MainWindow::status_of(const Diagnostic& diagnostic) {
  QString text = diagnostic_text(diagnostic) + diagnostic_notes(diagnostic);
  return text.replace(QLatin1Char('\n'), QStringLiteral("  "));
}

QString MainWindow::tooltip_details(const Diagnostic& diagnostic) {
  QString text;
  if (!diagnostic.explanation.empty()) {
    text += QStringLiteral(": ") + display(diagnostic_explanation(diagnostic, WithHint::yes));
  }
  return text + diagnostic_notes(diagnostic);
}

// The notes of the diagnostic and, for a name no file defines, the chips
// that define it.
QString MainWindow::diagnostic_notes(const Diagnostic& diagnostic) {
  QString text = notes_text(diagnostic);
  if (diagnostic.name_undefined && !diagnostic.name.empty()) {
    const std::vector<std::string> chips = chips_defining_name(diagnostic.name);
    if (!chips.empty()) {
      text += QStringLiteral("\nnote: %1 %2 %3 (Edit > Chip...)")
                  .arg(QString::fromStdString(chip_list_text(chips)),
                       chips.size() == 1 ? QStringLiteral("defines") : QStringLiteral("define"),
                       display(diagnostic.name));
    }
  }
  return text;
}

// A stopped assembly leaves no listing: the last one goes, and the stop is
// an entry of the error list as the terminal tells it (place and text; the
// explanation and the notes, the first definition among them, in its
// tooltip). The entry opens its line in the editor pane.
void MainWindow::show_stop(const AssemblyResult& result) {
  listing_view_->setPlainText(QString());
  listing_words_ = 0;
  listing_tips_.clear();
  for (const Diagnostic& diagnostic : result.diagnostics) {
    if (diagnostic.severity != Severity::error || diagnostic.where.file.empty()) continue;
    const QString text = display(describe_place(diagnostic)) + QStringLiteral(": error: ") +
                         display(diagnostic_message(diagnostic));
    auto* item = new QListWidgetItem(text, error_list_);
    item->setToolTip(text + tooltip_details(diagnostic));
    errors_.push_back(diagnostic);
  }
}

// The error list's entries get their place and explanation beside the
// listing line, and the whole as tooltip. Warnings never enter the list: they go to the warning
// list and are tooltips of their listing lines.
void MainWindow::show_diagnostics(const AssemblyResult& result) {
  errors_.clear();
  warnings_.clear();
  warning_list_->clear();
  if (result.outcome != AssemblyOutcome::completed) return;
  listing_tips_.clear();
  for (const Diagnostic& diagnostic : result.diagnostics) {
    const bool warning = diagnostic.severity == Severity::warning;
    const QString tip = diagnostic_text(diagnostic);
    if (warning) {
      warnings_.push_back(diagnostic);
      warning_list_->addItem(tip);
    } else {
      // The tooltip gives the place and what exactly is wrong, and how to
      // fix it where that is known.
      const QString place = display(describe_place(diagnostic)) + tooltip_details(diagnostic);
      if (QListWidgetItem* item = error_list_->item(static_cast<int>(errors_.size()))) {
        item->setToolTip(place);
        // Shown with its place and explanation; the entry's bytes stay the
        // listing line, which the jump searches for.
        const QByteArray line = item->data(kEntryBytesRole).toByteArray();
        item->setText(error_entry_text(
            diagnostic, std::string_view(line.constData(), static_cast<std::size_t>(line.size()))));
      }
      errors_.push_back(diagnostic);
    }
    if (diagnostic.listing_index) {
      QString& line_tip = listing_tips_[static_cast<int>(*diagnostic.listing_index)];
      line_tip += (line_tip.isEmpty() ? QString() : QStringLiteral("\n")) + tip +
                  diagnostic_notes(diagnostic);
    }
  }
}

void MainWindow::show_outcome(const AssemblyResult& result, long long milliseconds) {
  switch (result.outcome) {
    case AssemblyOutcome::completed:
      set_status(summary_text(AssemblySummary{result.error_count, warnings_.size(), listing_words_,
                                              chip_program_words_, milliseconds}));
      break;
    case AssemblyOutcome::stopped:
    case AssemblyOutcome::output_failed:
      set_status(display(result.message));
      break;
    case AssemblyOutcome::nothing_to_do:
      set_status(QStringLiteral("Nothing to assemble: the project list is empty"));
      break;
  }
}

QString MainWindow::status_text() const {
  return status_label_->text();
}

void MainWindow::set_status(const QString& text) {
  status_label_->set_text(text);
  status_label_->setAccessibleName(text);
  if (statusBar()->isHidden()) {
    statusBar()->show();
    status_growth_ = grow_window(statusBar()->sizeHint().height());
  }
  if (status_log_.isEmpty()) return;
  QFile log(status_log_);
  if (log.open(QIODevice::WriteOnly | QIODevice::Append)) {
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    log.write((line + QLatin1Char('\n')).toUtf8());
  }
}

void MainWindow::step_error(int step) {
  const int count = error_list_->count();
  if (count == 0) return;
  const int current = error_list_->currentRow();
  const int row =
      current < 0 ? (step > 0 ? 0 : count - 1) : ((current + step) % count + count) % count;
  error_list_->setCurrentRow(row);
  jump_to_error(row);
}

void MainWindow::jump_to_warning(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= warnings_.size()) return;
  const Diagnostic& warning = warnings_[static_cast<std::size_t>(row)];
  // Summaries of the whole program have no line of their own.
  if (warning.listing_index) select_listing_line(static_cast<int>(*warning.listing_index));
}

void MainWindow::select_listing_line(int line) {
  const QTextBlock block = listing_view_->document()->findBlockByNumber(line);
  if (!block.isValid()) return;
  listing_view_->setFocus();
  QTextCursor cursor(block);
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  listing_view_->setTextCursor(cursor);
  listing_view_->show_caret_line();
}

const Diagnostic* MainWindow::error_diagnostic(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= errors_.size()) return nullptr;
  return &errors_[static_cast<std::size_t>(row)];
}

const Diagnostic* MainWindow::listing_diagnostic(int line) const {
  for (const std::vector<Diagnostic>* list : {&errors_, &warnings_}) {
    for (const Diagnostic& diagnostic : *list) {
      if (diagnostic.listing_index && static_cast<int>(*diagnostic.listing_index) == line) {
        return &diagnostic;
      }
    }
  }
  return nullptr;
}

// The error or warning the keyboard commands act on: the current entry of
// the list that has the focus, or the one of the listing line at the caret.
const Diagnostic* MainWindow::diagnostic_in_focus() const {
  const QWidget* focus = focusWidget();
  if (focus == warning_list_) {
    const int row = warning_list_->currentRow();
    return row >= 0 && static_cast<std::size_t>(row) < warnings_.size()
               ? &warnings_[static_cast<std::size_t>(row)]
               : nullptr;
  }
  if (focus == listing_view_) {
    const int start = listing_view_->textCursor().selectionStart();
    return listing_diagnostic(listing_view_->document()->findBlock(start).blockNumber());
  }
  return error_diagnostic(error_list_->currentRow());
}

void MainWindow::run_error_command(ErrorCommand command) {
  switch (command) {
    case ErrorCommand::next_error:
      step_error(1);
      break;
    case ErrorCommand::previous_error:
      step_error(-1);
      break;
    case ErrorCommand::go_to_listing_line:
      if (focusWidget() == warning_list_) {
        jump_to_warning(warning_list_->currentRow());
      } else {
        jump_to_error(error_list_->currentRow());
      }
      break;
    case ErrorCommand::open_source:
      if (const Diagnostic* diagnostic = diagnostic_in_focus()) open_source(*diagnostic);
      break;
    case ErrorCommand::open_in_external_editor:
      if (const Diagnostic* diagnostic = diagnostic_in_focus())
        open_in_external_editor(*diagnostic);
      break;
  }
}

void MainWindow::open_source(const Diagnostic& diagnostic) {
  if (diagnostic.where.file.empty()) return;  // a summary of the whole program
  edit_entry(diagnostic.where.file, diagnostic.where.line);
}

void MainWindow::open_in_external_editor(const Diagnostic& diagnostic) {
  if (diagnostic.where.file.empty()) return;
  const QString name = QFile::decodeName(os_path(diagnostic.where.file).string().c_str());
  const QString file = QDir(assembly_directory_).absoluteFilePath(name);
  if (!QFileInfo(file).isFile()) {
    show_file_error(file + QStringLiteral(": no such file"));
  } else {
    switch (open_in_editor(file, diagnostic.where.line)) {
      case EditorStart::started:
        break;
      case EditorStart::no_terminal:
        show_file_error(file + QStringLiteral(": the editor ($VISUAL or $EDITOR) runs in a "
                                              "terminal, and no terminal was found "
                                              "($TERMINAL, x-terminal-emulator, xterm)"));
        break;
      case EditorStart::failed:
        show_file_error(file + QStringLiteral(": no editor could be started for it"));
        break;
    }
  }
}

// The lists and the listing offer the commands on their entries; the one
// clicked becomes the current one, so that what the menu does is what the
// keys do there.
void MainWindow::show_context_menu(QWidget* widget, const QPoint& position) {
  QMenu* menu = nullptr;
  if (widget == listing_view_) {
    menu = listing_view_->createStandardContextMenu(position);
    if (!listing_view_->textCursor().hasSelection()) {
      listing_view_->setTextCursor(listing_view_->cursorForPosition(position));
    }
    menu->addSeparator();
  } else {
    auto* list = static_cast<QListWidget*>(widget);
    if (QListWidgetItem* item = list->itemAt(position)) list->setCurrentItem(item);
    menu = new QMenu(this);
    menu->addAction(error_command_action(ErrorCommand::go_to_listing_line));
  }
  widget->setFocus(Qt::OtherFocusReason);
  QAction* open = error_command_action(ErrorCommand::open_source);
  QAction* external = error_command_action(ErrorCommand::open_in_external_editor);
  const Diagnostic* target = diagnostic_in_focus();
  open->setEnabled(target != nullptr && !target->where.file.empty());
  external->setEnabled(open->isEnabled());
  menu->addAction(open);
  menu->addAction(external);
  menu->addSeparator();
  menu->addAction(error_command_action(ErrorCommand::next_error));
  menu->addAction(error_command_action(ErrorCommand::previous_error));
  menu->addSeparator();
  menu->addAction(warning_dock_->toggleViewAction());
  const auto* area = static_cast<QAbstractScrollArea*>(widget);
  menu->exec(area->viewport()->mapToGlobal(position));
  open->setEnabled(true);
  external->setEnabled(true);
  delete menu;
}

// The editor pane docks at the right, hidden until a source is opened.
void MainWindow::create_source_pane() {
  source_dock_ = new QDockWidget(this);
  source_dock_->setObjectName(QStringLiteral("source_dock"));
  source_pane_ = new SourcePane(source_dock_);
  source_dock_->setWidget(source_pane_);
  addDockWidget(Qt::RightDockWidgetArea, source_dock_);
  source_dock_->hide();
  connect(source_pane_, &SourcePane::open_requested, this, [this](const QString& entry, int line) {
    edit_entry(stored_name(entry), static_cast<std::size_t>(line));
  });
  connect(source_pane_->document(), &QTextDocument::modificationChanged, this,
          [this](bool) { update_source_title(); });
  connect(project_list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    const QByteArray bytes = item->data(kEntryBytesRole).toByteArray();
    edit_entry(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())), 0);
  });
}

// The pane's title: its file, marked while the text is unsaved.
void MainWindow::update_source_title() {
  source_dock_->setWindowTitle((source_pane_->is_modified() ? QStringLiteral("*") : QString()) +
                               display(source_pane_->entry()));
}

bool MainWindow::source_changes_may_go() {
  if (!source_pane_->is_modified()) return true;
  switch (dialogs_->ask(
      this, display(source_pane_->entry()) + QLatin1Char('\n') + display(texts::kSaveSourceText),
      display(texts::kConfirmCaption), Choices::yes_no_cancel)) {
    case Reply::yes:
      if (Expected<void> saved = source_pane_->save(); !saved) {
        show_file_error(display(saved.message()));
        return false;
      }
      return true;
    case Reply::no:
      return true;
    case Reply::cancel:
      break;
  }
  return false;
}

void MainWindow::edit_entry(const std::string& entry, std::size_t line) {
  // Unsaved edits of another file are not dropped unasked.
  if (source_pane_->entry() != entry && !source_changes_may_go()) return;
  source_pane_->set_project(project_.entries, entry_folder(), project_.chip_folder);
  // The file the pane holds is shown as held, whether its pane was open or
  // closed: reading it again would drop its unsaved text.
  if (source_pane_->holds_document() && source_pane_->entry() == entry) {
    if (line > 0) {
      QTextCursor cursor(source_pane_->document()->findBlockByNumber(static_cast<int>(line) - 1));
      source_pane_->setTextCursor(cursor);
      source_pane_->centerCursor();
    }
  } else if (Expected<void> opened = source_pane_->open_entry(entry, line); !opened) {
    show_file_error(display(opened.message()));
    return;
  }
  update_source_title();
  source_dock_->show();
  source_pane_->setFocus();
}

// What the user sees is what is assembled: the pane's unsaved text is saved
// first. The saved file's name, for the status bar; an error when the save
// failed, and then nothing is assembled.
Expected<std::optional<std::string>> MainWindow::save_source_before_assembly() {
  if (!source_pane_->holds_document() || !source_pane_->is_modified()) {
    return std::optional<std::string>();
  }
  if (Expected<void> saved = source_pane_->save(); !saved) return fail(saved.message());
  return std::optional<std::string>(source_pane_->entry());
}

// The pane's file leaves with its entry, asked about first if edited;
// false when the person keeps it.
bool MainWindow::close_source_of_entry(const std::string& entry) {
  if (!source_pane_->holds_document() || source_pane_->entry() != entry) return true;
  if (!source_changes_may_go()) return false;
  source_pane_->close_document();
  source_dock_->hide();
  return true;
}

// Another project is open: nothing of the last one stays on screen. The
// pane's file goes too (its edits were asked about before).
void MainWindow::forget_last_project() {
  source_pane_->close_document();
  source_dock_->hide();
  listing_view_->setPlainText(QString());
  listing_words_ = 0;
  clear_error_list();
  errors_.clear();
  warnings_.clear();
  warning_list_->clear();
  listing_tips_.clear();
  chip_program_words_.reset();
  chip_pointed_to_ = false;
  set_status(QString());
}

}  // namespace korva
