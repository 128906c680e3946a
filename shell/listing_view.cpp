#include "shell/listing_view.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <array>
#include <string_view>

#include "resources/system_texts.h"
#include "shell/shown_line.h"
#include "system/text_encoding.h"

namespace korva {
namespace {

QString display(std::string_view bytes) {
  return QString::fromStdString(cp932_to_utf8(bytes));
}

// The titles of the columns with a tab stop; the remark and the error
// follow the statement, wherever it ends, and share the last title.
constexpr std::array<std::string_view, 4> kColumnTitles = {
    texts::kColumnAddress, texts::kColumnCode, texts::kColumnLabel, texts::kColumnStatement};

// The row of column titles, drawn at the view's tab stops and moved
// sideways with its text.
class ColumnTitles : public QWidget {
 public:
  ColumnTitles(QPlainTextEdit* view, QWidget* parent) : QWidget(parent), view_(view) {
    setObjectName(QStringLiteral("listing_header"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    setForegroundRole(QPalette::ButtonText);
  }
  void set_stops(const QList<qreal>& stops) {
    stops_ = stops;
    update();
  }
  QSize sizeHint() const override { return {0, fontMetrics().height() + 4}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::ButtonText));
    const qreal origin = view_->document()->documentMargin() -
                         view_->horizontalScrollBar()->value() + view_->viewport()->x();
    const int baseline = 2 + fontMetrics().ascent();
    qreal x = origin;
    for (std::size_t i = 0; i < kColumnTitles.size(); ++i) {
      painter.drawText(QPointF(x, baseline), display(kColumnTitles[i]));
      if (static_cast<qsizetype>(i) < stops_.size()) x = origin + stops_[static_cast<qsizetype>(i)];
    }
    const QString rest =
        display(texts::kColumnRemark) + QStringLiteral(" / ") + display(texts::kColumnError);
    const qreal statement_room = fontMetrics().horizontalAdvance(QLatin1Char('0')) * 24;
    painter.drawText(QPointF(x + statement_room, baseline), rest);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, height() - 1, width(), height() - 1);
  }

 private:
  QPlainTextEdit* view_;
  QList<qreal> stops_;
};

// The columns of a listing line: address and code are its first two.
QStringView column(QStringView line, int index) {
  for (int i = 0; i < index; ++i) {
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    if (tab < 0) return {};
    line = line.mid(tab + 1);
  }
  const qsizetype tab = line.indexOf(QLatin1Char('\t'));
  return tab < 0 ? QStringView() : line.left(tab);
}

}  // namespace

std::optional<int> find_address_line(const QTextDocument& document, const QString& address) {
  bool ok = false;
  const qulonglong wanted = address.trimmed().toULongLong(&ok, 16);
  if (!ok) return std::nullopt;
  std::optional<int> without_code;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    const QString text = block.text();
    const QStringView field = column(text, 0);
    if (field.isEmpty()) continue;
    bool read = false;
    if (field.toULongLong(&read, 16) != wanted || !read) continue;
    if (!column(text, 1).isEmpty()) return block.blockNumber();
    if (!without_code) without_code = block.blockNumber();
  }
  return without_code;
}

ListingView::ListingView(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  // The caret moves by keyboard too (Ctrl+Home, Ctrl+End, the arrows).
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  // Fixed-width characters keep every column of a statement within its tab stops.
  setFont(code_font());

  auto* titles = new ColumnTitles(this, this);
  header_ = titles;
  setViewportMargins(0, titles->sizeHint().height(), 0, 0);

  search_bar_ = new QFrame(this);
  search_bar_->setObjectName(QStringLiteral("listing_search"));
  search_bar_->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  search_bar_->setAutoFillBackground(true);
  auto* layout = new QHBoxLayout(search_bar_);
  layout->setContentsMargins(4, 2, 4, 2);
  search_label_ = new QLabel(search_bar_);
  search_box_ = new QLineEdit(search_bar_);
  search_box_->setObjectName(QStringLiteral("listing_search_box"));
  search_result_ = new QLabel(search_bar_);
  layout->addWidget(search_label_);
  layout->addWidget(search_box_);
  layout->addWidget(search_result_);
  layout->addStretch();
  search_bar_->hide();
  connect(search_box_, &QLineEdit::returnPressed, this, [this] { run_search(); });
  // Escape in the box closes the bar and gives the text back the keys.
  auto* close = new QAction(search_box_);
  close->setShortcut(QKeySequence(Qt::Key_Escape));
  close->setShortcutContext(Qt::WidgetShortcut);
  connect(close, &QAction::triggered, this, [this] {
    search_bar_->hide();
    place_parts();
    setFocus();
  });
  search_box_->addAction(close);
}

void ListingView::set_tab_stops(const QList<qreal>& stops) {
  QTextOption option = document()->defaultTextOption();
  QList<QTextOption::Tab> tabs;
  for (const qreal stop : stops) tabs << QTextOption::Tab(stop, QTextOption::LeftTab);
  option.setTabs(tabs);
  document()->setDefaultTextOption(option);
  static_cast<ColumnTitles*>(header_)->set_stops(stops);
}

bool ListingView::find_text(const QString& text, bool backwards) {
  if (text.isEmpty()) return false;
  last_text_ = text;
  const QTextDocument::FindFlags flags =
      backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
  QTextCursor found = document()->find(text, textCursor(), flags);
  if (found.isNull()) {
    // Round the end: from the other end of the text.
    QTextCursor from(document());
    if (backwards) from.movePosition(QTextCursor::End);
    found = document()->find(text, from, flags);
  }
  if (found.isNull()) return false;
  setTextCursor(found);
  ensureCursorVisible();
  return true;
}

bool ListingView::go_to_address(const QString& address) {
  const std::optional<int> line = find_address_line(*document(), address);
  if (!line) return false;
  QTextCursor cursor(document()->findBlockByNumber(*line));
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  setTextCursor(cursor);
  show_caret_line();
  return true;
}

void ListingView::open_search(ListingSearch kind) {
  search_kind_ = kind;
  search_label_->setText(
      display(kind == ListingSearch::text ? texts::kFindPrompt : texts::kGoToAddressPrompt));
  search_result_->clear();
  if (kind == ListingSearch::text && !last_text_.isEmpty()) search_box_->setText(last_text_);
  if (kind == ListingSearch::address) search_box_->clear();
  search_bar_->show();
  place_parts();
  search_box_->setFocus();
  search_box_->selectAll();
}

void ListingView::search_again(bool backwards) {
  if (last_text_.isEmpty()) {
    open_search(ListingSearch::text);
    return;
  }
  const bool found = find_text(last_text_, backwards);
  search_result_->setText(found ? QString() : display(texts::kNotFound));
}

QString ListingView::search_state() const {
  return search_result_->text();
}

void ListingView::run_search() {
  const QString text = search_box_->text();
  const bool found = search_kind_ == ListingSearch::text ? find_text(text) : go_to_address(text);
  search_result_->setText(found ? QString() : display(texts::kNotFound));
}

void ListingView::show_caret_line() {
  ensureCursorVisible();
  horizontalScrollBar()->setValue(0);
}

void ListingView::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  place_parts();
}

void ListingView::scrollContentsBy(int dx, int dy) {
  QPlainTextEdit::scrollContentsBy(dx, dy);
  if (dx != 0) header_->update();
}

// The search bar takes a strip of its own below the column titles, so that
// it never covers the line a search or a jump found.
void ListingView::place_parts() {
  const QRect area = contentsRect();
  const int titles = header_->sizeHint().height();
  const int bar = search_bar_->isVisible() ? search_bar_->sizeHint().height() : 0;
  if (viewportMargins().top() != titles + bar) setViewportMargins(0, titles + bar, 0, 0);
  header_->setGeometry(area.left(), area.top(), area.width(), titles);
  if (bar > 0) search_bar_->setGeometry(area.left(), area.top() + titles, area.width(), bar);
}

}  // namespace korva
