// The listing view: the listing read-only in a fixed-width font, its
// columns at the tab stops with their titles above the text (scrolled
// sideways with it), the caret moved by keyboard (Ctrl+Home, Ctrl+End), and
// two searches in a small bar over its top right corner: a text (Ctrl+F,
// then F3 and Shift+F3) and an address (Ctrl+G).
#pragma once

#include <QList>
#include <QPlainTextEdit>
#include <QString>
#include <optional>

class QLabel;
class QLineEdit;
class QFrame;

namespace korva {

enum class ListingSearch { text, address };

// The listing line (block number) of the first line whose address column
// is `address` (hexadecimal, either case), preferring one that has code;
// none for a text that is not a hexadecimal number.
std::optional<int> find_address_line(const QTextDocument& document, const QString& address);

class ListingView : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit ListingView(QWidget* parent);

  // The columns' tab stops in pixels; the titles stand at the same places.
  void set_tab_stops(const QList<qreal>& stops);
  // The column titles' row above the text.
  QWidget* header() const { return header_; }

  // Selects the next place of `text` after the caret (or the one before it),
  // round the ends, letter case ignored; false when there is none.
  bool find_text(const QString& text, bool backwards = false);
  // Selects the line of the address; false when no line has it.
  bool go_to_address(const QString& address);
  // Shows the search bar for the kind of search, its text selected.
  void open_search(ListingSearch kind);
  // F3 and Shift+F3: the last text searched, again; opens the bar when
  // nothing was searched yet.
  void search_again(bool backwards);
  // Brings the caret's line into view with its start (the address and the
  // code) showing.
  void show_caret_line();
  QLineEdit* search_box() const { return search_box_; }
  // What the bar says after the last search: empty, or "not found".
  QString search_state() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void run_search();
  void place_parts();

  QWidget* header_ = nullptr;
  QFrame* search_bar_ = nullptr;
  QLabel* search_label_ = nullptr;
  QLineEdit* search_box_ = nullptr;
  QLabel* search_result_ = nullptr;
  ListingSearch search_kind_ = ListingSearch::text;
  QString last_text_;
};

}  // namespace korva
