// The editor pane: one source file of the project edited inside the window.
// The notation is coloured as the listing colours it; the file's bytes are
// kept exactly on save (shell/source_text.h); a while after typing stops
// the project is assembled in memory with the buffer in place of the file,
// and its errors and warnings in this file are underlined, explained on
// hover; F12 goes to the definition of the name at the caret.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QTimer>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/diagnostics.h"
#include "driver/symbol_facts.h"
#include "shell/source_text.h"
#include "support/expected.h"
#include "syntax/statement_styles.h"

namespace korva {

// The colours of a line: label, the statement's forms and remark, in
// positions of the pane's text.
// `core` is the project's chip's, whose table the statements are read by.
std::vector<syntax::StyledSpan> pane_styles(const QString& text,
                                            CoreFamily core = CoreFamily::classic);

// Where a diagnostic's mark goes in a line of the pane: its start and
// length in positions; the whole line when it has no span.
std::pair<int, int> mark_range(const QString& text, const std::optional<ColumnSpan>& span);

// What the pane says about a statement on hover: its mnemonic, the form it
// matched and that form's base word; empty when it matches none.
QString statement_summary(std::string_view line, CoreFamily core = CoreFamily::classic);

class SourcePane : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit SourcePane(QWidget* parent);

  // The project the diagnostics come from: its entries and the folder the
  // relative ones are found in.
  void set_project(std::vector<std::string> entries, std::filesystem::path folder,
                   std::optional<std::filesystem::path> chip_folder);
  // Opens the entry's file at a line (from 1; 0 keeps the top).
  Expected<void> open_entry(const std::string& entry, std::size_t line);
  Expected<void> save();
  // Forgets the file: the pane holds no document after it.
  void close_document();
  bool holds_document() const { return !entry_.empty(); }
  bool is_modified() const { return document()->isModified(); }
  const std::string& entry() const { return entry_; }
  std::filesystem::path file() const;

  // Assembles the project with the buffer now, as the pause after typing does.
  void check_now();
  // The errors and warnings of the last check that lie in this file.
  const std::vector<Diagnostic>& diagnostics() const { return diagnostics_; }
  // The hover text at a line (from 0) and a column (characters, from 0).
  QString hover_text(int line, int column) const;
  // F12: moves the caret to the definition of the name under it; false
  // when it is no defined name. A definition in another file is asked for
  // with `open_requested`.
  bool go_to_definition();

 signals:
  void open_requested(const QString& entry, int line);

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QStringList edited_lines() const;
  void show_diagnostics();

  std::vector<std::string> project_entries_;
  std::filesystem::path folder_;
  std::optional<std::filesystem::path> chip_folder_;
  std::string entry_;
  // The core of the project's chip, as the last check found it.
  CoreFamily core_ = CoreFamily::classic;
  class SourceHighlighter* highlighter_ = nullptr;
  SourceText original_;
  std::vector<Diagnostic> diagnostics_;
  SymbolFacts symbols_;
  QTimer check_timer_;
};

}  // namespace korva
