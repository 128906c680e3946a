#include "shell/listing_highlighter.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QEvent>
#include <QPlainTextEdit>
#include <QPoint>
#include <QString>
#include <QTextBlock>
#include <QTextDocument>
#include <optional>
#include <string>

#include "patterns/pattern_table.h"
#include "shell/shown_line.h"
#include "syntax/statement_styles.h"

namespace korva {
namespace {

using syntax::Style;

// A block's user state once its line has been styled; a new listing's
// blocks start at -1.
constexpr int kStyled = 1;

QColor colour_of(Style style) {
  const std::optional<std::uint32_t> colour = syntax::names_of(style).colour;
  return colour ? QColor(QRgb(*colour)) : QColor();
}

}  // namespace

ListingHighlighter::ListingHighlighter(QPlainTextEdit* view) : QObject(view), view_(view) {
  view_->viewport()->installEventFilter(this);
}

QTextCharFormat ListingHighlighter::format_of(Style style) {
  QTextCharFormat format;
  const QColor colour = colour_of(style);
  if (colour.isValid()) format.setForeground(colour);
  if (style == Style::error) format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
  return format;
}

std::vector<syntax::StyledSpan> ListingHighlighter::line_styles(const QString& line,
                                                                CoreFamily core) {
  qsizetype start = 0;
  for (int tab = 0; tab < 3; ++tab) {
    start = line.indexOf(u'\t', start);
    if (start < 0) return {};
    ++start;
  }
  qsizetype end = line.indexOf(u'\t', start);
  if (end < 0) end = line.size();
  const std::optional<syntax::Notation>& notation = syntax::table_notation(core);
  if (end == start || !notation) return {};
  const ShownLine statement(line.mid(start, end - start));
  return statement.shown_spans(
      syntax::statement_styles(*notation, table_entries(core), statement.cp932),
      static_cast<std::size_t>(start));
}

QList<QTextLayout::FormatRange> ListingHighlighter::line_formats(const QString& line,
                                                                 CoreFamily core) {
  QList<QTextLayout::FormatRange> formats;
  for (const syntax::StyledSpan& span : line_styles(line, core)) {
    formats.append(QTextLayout::FormatRange{static_cast<int>(span.start),
                                            static_cast<int>(span.length), format_of(span.style)});
  }
  return formats;
}

bool ListingHighlighter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Paint && !styling_) style_lines_in_view();
  return QObject::eventFilter(watched, event);
}

void ListingHighlighter::style_lines_in_view() {
  styling_ = true;
  QTextDocument* document = view_->document();
  const QAbstractTextDocumentLayout* layout = document->documentLayout();
  const qreal bottom = view_->viewport()->height();
  qreal top = 0;
  for (QTextBlock block = view_->cursorForPosition(QPoint(0, 0)).block();
       block.isValid() && top <= bottom; block = block.next()) {
    top += layout->blockBoundingRect(block).height();
    if (block.userState() == kStyled) continue;
    block.setUserState(kStyled);
    const QList<QTextLayout::FormatRange> formats = line_formats(block.text(), core_);
    if (formats.isEmpty()) continue;
    // As QSyntaxHighlighter does: new formats drop the block's lines, which
    // the view lays out again.
    block.layout()->setFormats(formats);
    document->markContentsDirty(block.position(), block.length());
  }
  styling_ = false;
}

}  // namespace korva
