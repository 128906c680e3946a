// Shows the statement column of the listing view in the notation's styles,
// the styles that the editor definitions of syntax/ give it.
//
// Lines are styled when they are about to be painted, not when the listing
// is shown: styling all 43 000 lines of a 1 MB listing up front (as a
// QSyntaxHighlighter does) makes showing it about 45 % slower, while styling
// the lines in view costs nothing measurable (docs/performance.md).
#pragma once

#include <QList>
#include <QObject>
#include <QTextCharFormat>
#include <QTextLayout>
#include <vector>

#include "syntax/statement_styles.h"
#include "syntax/syntax_model.h"

class QEvent;
class QPlainTextEdit;
class QString;

namespace korva {

class ListingHighlighter : public QObject {
 public:
  // Styles the lines of `view` as they come into view; the view owns it.
  explicit ListingHighlighter(QPlainTextEdit* view);

  // The styles of one listing line, at their places in the line: its
  // statement column (the fourth of the tab-separated columns) in the
  // notation's styles. A line without a statement column gets none.
  // `core` is the chip's, whose table the statements are read by.
  static std::vector<syntax::StyledSpan> line_styles(const QString& line,
                                                     CoreFamily core = CoreFamily::classic);
  // The same as formats of the line's layout.
  static QList<QTextLayout::FormatRange> line_formats(const QString& line,
                                                      CoreFamily core = CoreFamily::classic);

  // The core of the chip of the listing shown next.
  void set_core(CoreFamily core) { core_ = core; }

  // How the listing shows a style: a colour (no weight or size, so that the
  // columns stay where the tab stops put them); normal text has no format.
  static QTextCharFormat format_of(syntax::Style style);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void style_lines_in_view();

  QPlainTextEdit* view_;
  bool styling_ = false;
  CoreFamily core_ = CoreFamily::classic;
};

}  // namespace korva
