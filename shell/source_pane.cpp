#include "shell/source_pane.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QToolTip>
#include <algorithm>
#include <utility>

#include "driver/assembly_service.h"
#include "patterns/matcher.h"
#include "patterns/pattern_table.h"
#include "project/source_files.h"
#include "shell/assembly_status.h"
#include "shell/listing_highlighter.h"
#include "shell/shown_line.h"
#include "source/statement_splitter.h"
#include "support/diagnostic_kind.h"
#include "support/line_record.h"
#include "syntax/line_styles.h"
#include "system/file_io.h"
#include "system/text_encoding.h"

namespace korva {
namespace {

QString display(std::string_view bytes) {
  return QString::fromStdString(cp932_to_utf8(bytes));
}

// How long typing must pause before the project is checked again.
constexpr int kCheckDelayMs = 400;

// Colours the notation in each line: the label, the statement's forms and
// the remark.
}  // namespace

class SourceHighlighter : public QSyntaxHighlighter {
 public:
  explicit SourceHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

  // Reads the statements by another core's table from now on.
  void set_core(CoreFamily core) {
    if (core == core_) return;
    core_ = core;
    rehighlight();
  }

 protected:
  void highlightBlock(const QString& text) override {
    for (const syntax::StyledSpan& span : pane_styles(text, core_)) {
      setFormat(static_cast<int>(span.start), static_cast<int>(span.length),
                ListingHighlighter::format_of(span.style));
    }
  }

 private:
  CoreFamily core_ = CoreFamily::classic;
};

std::vector<syntax::StyledSpan> pane_styles(const QString& text, CoreFamily core) {
  const std::optional<syntax::Notation>& notation = syntax::table_notation(core);
  if (!notation) return {};
  const ShownLine line(text);
  std::size_t budget = syntax::kStyledStatementLimit;
  return line.shown_spans(syntax::line_styles(*notation, table_entries(core), line.cp932, budget));
}

std::pair<int, int> mark_range(const QString& text, const std::optional<ColumnSpan>& span) {
  if (!span) return {0, std::max<int>(static_cast<int>(text.size()), 1)};
  const ShownLine line(text);
  const int start = line.position(span->column - 1);
  const int end = line.position(span->column - 1 + span->length);
  return {start, std::max(end - start, 1)};
}

QString statement_summary(std::string_view line, CoreFamily core) {
  std::string text(line);
  LineRecord record;
  split_statement(text, record);
  if (text.empty()) return {};
  const PatternEntry* entry = match_statement(record, core);
  if (entry == nullptr) return {};
  QString summary =
      QString::fromLatin1(entry->mnemonic.data(), static_cast<qsizetype>(entry->mnemonic.size()))
          .trimmed() +
      QStringLiteral("  ") +
      QString::fromLatin1(entry->text.data(), static_cast<qsizetype>(entry->text.size()));
  const auto hex = [](std::uint16_t word) {
    return QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')).toUpper();
  };
  if (entry->word) summary += QStringLiteral("  (word %1").arg(hex(*entry->word));
  if (entry->literal_word) {
    summary += (entry->word ? QStringLiteral(", ") : QStringLiteral("  (")) +
               QStringLiteral("with a literal %1").arg(hex(*entry->literal_word));
  }
  if (entry->word || entry->literal_word) summary += QLatin1Char(')');
  return summary;
}

SourcePane::SourcePane(QWidget* parent) : QPlainTextEdit(parent) {
  setObjectName(QStringLiteral("source_pane"));
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setFont(code_font());
  highlighter_ = new SourceHighlighter(document());
  check_timer_.setSingleShot(true);
  check_timer_.setInterval(kCheckDelayMs);
  connect(&check_timer_, &QTimer::timeout, this, [this] { check_now(); });
  connect(this, &QPlainTextEdit::textChanged, this, [this] { check_timer_.start(); });
}

void SourcePane::set_project(std::vector<std::string> entries, std::filesystem::path folder,
                             std::optional<std::filesystem::path> chip_folder) {
  project_entries_ = std::move(entries);
  folder_ = std::move(folder);
  chip_folder_ = std::move(chip_folder);
}

std::filesystem::path SourcePane::file() const {
  return entry_file(entry_, SystemPath(folder_), chip_folder_).path();
}

Expected<void> SourcePane::open_entry(const std::string& entry, std::size_t line) {
  const std::string previous = std::exchange(entry_, entry);
  FileContents bytes = read_whole_file(file());
  if (!bytes) {
    entry_ = previous;
    return fail(std::move(bytes).failure().message);
  }
  original_ = split_source(*bytes);
  setPlainText(shown_lines(original_).join(QLatin1Char('\n')));
  document()->setModified(false);
  if (line > 0) {
    QTextCursor cursor(document()->findBlockByNumber(static_cast<int>(line) - 1));
    setTextCursor(cursor);
    centerCursor();
  }
  check_now();
  return {};
}

void SourcePane::close_document() {
  check_timer_.stop();
  entry_.clear();
  original_ = SourceText{};
  diagnostics_.clear();
  symbols_ = SymbolFacts{};
  setPlainText(QString());
  document()->setModified(false);
}

QStringList SourcePane::edited_lines() const {
  QStringList lines;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
    lines << block.text();
  return lines;
}

Expected<void> SourcePane::save() {
  const SavedBytes saved = saved_bytes(original_, edited_lines());
  if (saved.unwritable) {
    const UnwritableCharacter& bad = *saved.unwritable;
    // The message is CP932, which cannot hold the character: its code point
    // names it.
    const QString code_point = QStringLiteral("U+%1")
                                   .arg(bad.character.toUcs4().value(0), 4, 16, QLatin1Char('0'))
                                   .toUpper();
    return fail(entry_ + ":" + std::to_string(bad.line + 1) + ": " + code_point.toStdString() +
                " cannot be written in Shift-JIS (CP932); the file was not saved");
  }
  const std::string& bytes = saved.bytes;
  Expected<void> written = write_file_atomically(file(), bytes);
  if (!written) return written;
  original_ = split_source(bytes);
  document()->setModified(false);
  return {};
}

namespace {

// The pane's text over its file, which the check takes in place of the file.
class PaneBuffer : public SourceProvider {
 public:
  PaneBuffer(SystemPath file, std::string bytes)
      : file_(std::move(file)), bytes_(std::move(bytes)) {}
  std::optional<std::string> open_buffer(const SystemPath& file) const override {
    if (file != file_) return std::nullopt;
    return bytes_;
  }

 private:
  SystemPath file_;
  std::string bytes_;
};

}  // namespace

void SourcePane::check_now() {
  check_timer_.stop();
  diagnostics_.clear();
  symbols_ = {};
  std::vector<SourceFile> files =
      entry_sources(project_entries_, SystemPath(folder_), chip_folder_);
  const SystemPath own_file = entry_file(entry_, SystemPath(folder_), chip_folder_);
  if (std::none_of(files.begin(), files.end(),
                   [&](const SourceFile& source) { return source.path == own_file; })) {
    files.push_back(SourceFile{own_file, entry_});
  }
  // A project that cannot be joined says so when it is assembled.
  Expected<JoinedSources, JoinFailure> joined =
      join_sources(files, PaneBuffer(own_file, saved_bytes(original_, edited_lines()).bytes));
  if (!joined) return;
  SourceSet sources;
  for (const SourceFile& source : files) sources.names.push_back(source.name);
  sources.joined = std::move(*joined);
  ServiceOptions options;
  options.collect_symbol_facts = true;
  AssemblyService service;
  ServiceResult result = service.assemble(std::move(sources), options);
  core_ = result.chip ? result.chip->core : CoreFamily::classic;
  highlighter_->set_core(core_);
  for (Diagnostic& diagnostic : result.diagnostics) {
    // The summary of words the errors left out is about the image the
    // Assemble command writes, not about a line: it stays off the pane's
    // lines (it would sit on the first error).
    if (diagnostic.kind == DiagnosticKind::unwritten_words) continue;
    if (diagnostic.where.file == entry_) diagnostics_.push_back(std::move(diagnostic));
  }
  if (result.symbol_facts) symbols_ = std::move(*result.symbol_facts);
  show_diagnostics();
}

void SourcePane::show_diagnostics() {
  QList<QTextEdit::ExtraSelection> warnings;
  QList<QTextEdit::ExtraSelection> errors;
  for (const Diagnostic& diagnostic : diagnostics_) {
    const QTextBlock block =
        document()->findBlockByNumber(static_cast<int>(diagnostic.where.line) - 1);
    if (!block.isValid()) continue;
    QTextEdit::ExtraSelection mark;
    const auto [start, length] = mark_range(block.text(), diagnostic.span);
    mark.cursor = QTextCursor(block);
    mark.cursor.setPosition(block.position() + start);
    mark.cursor.setPosition(block.position() + std::min(start + length, block.length() - 1),
                            QTextCursor::KeepAnchor);
    mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    const bool error = diagnostic.severity == Severity::error;
    mark.format.setUnderlineColor(error ? QColor(0xd0, 0, 0) : QColor(0xd0, 0x90, 0));
    (error ? errors : warnings) << mark;
  }
  // Errors are drawn last, over any warning on the same characters.
  setExtraSelections(warnings + errors);
}

QString SourcePane::hover_text(int line, int column) const {
  const QTextBlock block = document()->findBlockByNumber(line);
  if (!block.isValid()) return {};
  QStringList parts;
  for (const Diagnostic& diagnostic : diagnostics_) {
    if (static_cast<int>(diagnostic.where.line) != line + 1) continue;
    if (diagnostic.span) {
      const auto [start, length] = mark_range(block.text(), diagnostic.span);
      if (column < start || column >= start + length) continue;
    }
    parts << display(diagnostic_message(diagnostic, WithHint::yes)) + notes_text(diagnostic);
  }
  if (!parts.isEmpty()) return parts.join(QLatin1Char('\n'));
  return statement_summary(utf8_to_cp932(block.text().toStdString()), core_);
}

bool SourcePane::go_to_definition() {
  const QTextCursor caret = textCursor();
  const std::size_t line = static_cast<std::size_t>(caret.blockNumber()) + 1;
  const std::size_t column = ShownLine(caret.block().text()).column(caret.positionInBlock()) + 1;
  const auto under_caret = [&](const SymbolOccurrence& occurrence) {
    return occurrence.span.where.file == entry_ && occurrence.span.where.line == line &&
           column >= occurrence.span.column &&
           column <= occurrence.span.column + occurrence.span.length;
  };
  std::string name;
  for (const auto* list : {&symbols_.references, &symbols_.definitions}) {
    for (const SymbolOccurrence& occurrence : *list) {
      if (under_caret(occurrence)) name = occurrence.name;
    }
  }
  if (name.empty()) return false;
  for (const SymbolOccurrence& definition : symbols_.definitions) {
    if (definition.name != name) continue;
    if (definition.span.where.file != entry_) {
      emit open_requested(display(definition.span.where.file),
                          static_cast<int>(definition.span.where.line));
      return true;
    }
    const QTextBlock block =
        document()->findBlockByNumber(static_cast<int>(definition.span.where.line) - 1);
    if (!block.isValid()) return false;
    QTextCursor cursor(block);
    cursor.setPosition(block.position() +
                       ShownLine(block.text()).position(definition.span.column - 1));
    setTextCursor(cursor);
    ensureCursorVisible();
    return true;
  }
  return false;
}

bool SourcePane::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    // Ctrl+S here saves the source, not the project.
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Save)) {
      event->accept();
      return true;
    }
  }
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QTextCursor at = cursorForPosition(viewport()->mapFromGlobal(help->globalPos()));
    const QString text = hover_text(at.blockNumber(), at.positionInBlock());
    if (text.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
  }
  return QPlainTextEdit::event(event);
}

void SourcePane::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Save)) {
    if (Expected<void> saved = save(); !saved) {
      QToolTip::showText(mapToGlobal(cursorRect().bottomLeft()), display(saved.message()), this);
    }
    return;
  }
  if (event->key() == Qt::Key_F12 && event->modifiers() == Qt::NoModifier) {
    go_to_definition();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

}  // namespace korva
