// The toolbar's images: one strip of eight 40 x 32 images side by side,
// compiled into the program (resources/toolbar.png).
#pragma once

#include <QList>
#include <QPixmap>
#include <QString>

namespace korva {

inline constexpr int kToolbarImageCount = 8;

QString toolbar_strip_resource();

// Cuts a strip into images of the toolbar's image size, left to right;
// empty when the strip does not hold exactly kToolbarImageCount of them.
QList<QPixmap> cut_toolbar_strip(const QPixmap& strip);

// The images of the compiled-in strip.
QList<QPixmap> toolbar_images();

}  // namespace korva
