#include "shell/toolbar_images.h"

#include "shell/main_window.h"

namespace korva {

QString toolbar_strip_resource() {
  return QStringLiteral(":/korva/toolbar.png");
}

QList<QPixmap> cut_toolbar_strip(const QPixmap& strip) {
  const int width = kToolbarImageSize.width();
  const int height = kToolbarImageSize.height();
  if (strip.width() != width * kToolbarImageCount || strip.height() != height) return {};
  QList<QPixmap> images;
  for (int i = 0; i < kToolbarImageCount; ++i) images << strip.copy(i * width, 0, width, height);
  return images;
}

QList<QPixmap> toolbar_images() {
  return cut_toolbar_strip(QPixmap(toolbar_strip_resource()));
}

}  // namespace korva
