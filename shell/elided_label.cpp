#include "shell/elided_label.h"

#include <QPainter>

namespace korva {

void ElidedLabel::set_text(const QString& text) {
  setText(text);
  setToolTip(text);
}

QString ElidedLabel::shown_text() const {
  QString line = text();
  line.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return fontMetrics().elidedText(line, Qt::ElideRight, contentsRect().width());
}

QSize ElidedLabel::minimumSizeHint() const {
  return {0, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, shown_text());
}

}  // namespace korva
