// A one-line label that shows as much of its text as fits, ending in an
// ellipsis when cut, with the whole text as its tooltip; it never makes its
// window wider.
#pragma once

#include <QLabel>

namespace korva {

class ElidedLabel : public QLabel {
 public:
  explicit ElidedLabel(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

  void set_text(const QString& text);
  // The text as drawn at the label's width.
  QString shown_text() const;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace korva
