// Draws the toolbar's image strip, resources/toolbar.png: eight images of
// 40 x 32 pixels side by side in the sixteen standard colours, without
// smoothing, on a transparent ground. The words need a Japanese font (for
// example IPAGothic) at drawing time only; the program uses the PNG.
//
//   korva_draw_toolbar OUTPUT.png
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QString>
#include <cstdio>
#include <string_view>

#include "resources/system_texts.h"
#include "system/text_encoding.h"

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 32;
constexpr int kCount = 8;

// The standard sixteen colours used here.
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kGrey(128, 128, 128);
const QColor kYellow(255, 255, 0);
const QColor kOlive(128, 128, 0);
const QColor kBlue(0, 0, 255);
const QColor kNavy(0, 0, 128);
const QColor kRed(255, 0, 0);
const QColor kMaroon(128, 0, 0);

QString word(std::string_view cp932) {
  return QString::fromStdString(korva::cp932_to_utf8(cp932));
}

QFont word_font(int pixels) {
  QFont font(QStringLiteral("IPAGothic"));
  font.setPixelSize(pixels);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

// One or more lines of text, centred in the image.
void draw_words(QPainter& painter, const QStringList& lines, int pixels, const QColor& colour) {
  painter.setFont(word_font(pixels));
  painter.setPen(colour);
  const int line_height = pixels + 1;
  const int top = (kHeight - line_height * static_cast<int>(lines.size())) / 2;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    painter.drawText(QRect(0, top + static_cast<int>(i) * line_height, kWidth, line_height),
                     Qt::AlignCenter, lines[i]);
  }
}

void draw_folder_back(QPainter& painter, int x, int y) {
  painter.setPen(kBlack);
  painter.setBrush(kOlive);
  painter.drawPolygon(
      QPolygon({QPoint(x, y + 3), QPoint(x + 2, y), QPoint(x + 9, y), QPoint(x + 11, y + 3),
                QPoint(x + 22, y + 3), QPoint(x + 22, y + 17), QPoint(x, y + 17)}));
}

// An arrow of the given direction (1 up, -1 down) with its tip at (x, tip).
void draw_arrow(QPainter& painter, int x, int tip, int direction) {
  painter.setPen(kNavy);
  painter.setBrush(kBlue);
  const int d = direction;
  painter.drawPolygon(
      QPolygon({QPoint(x, tip), QPoint(x + 6, tip + 6 * d), QPoint(x + 2, tip + 6 * d),
                QPoint(x + 2, tip + 12 * d), QPoint(x - 2, tip + 12 * d),
                QPoint(x - 2, tip + 6 * d), QPoint(x - 6, tip + 6 * d)}));
}

// 0: an open folder with a blue arrow coming out of it.
void draw_open(QPainter& painter) {
  draw_folder_back(painter, 3, 11);
  painter.setBrush(kYellow);
  painter.drawPolygon(QPolygon({QPoint(3, 28), QPoint(8, 17), QPoint(31, 17), QPoint(25, 28)}));
  draw_arrow(painter, 30, 2, 1);
}

// 1: a folder holding a document, with a blue arrow going into it.
void draw_save(QPainter& painter) {
  draw_folder_back(painter, 3, 11);
  painter.setPen(kBlack);
  painter.setBrush(kWhite);
  painter.drawRect(7, 7, 12, 15);
  painter.setPen(kGrey);
  for (int y = 10; y <= 18; y += 3) painter.drawLine(9, y, 17, y);
  painter.setPen(kBlack);
  painter.setBrush(kYellow);
  painter.drawRect(3, 17, 22, 11);
  draw_arrow(painter, 32, 16, -1);
}

// 6: the word for assemble in white on red.
void draw_assemble(QPainter& painter, const QString& text) {
  painter.setPen(kMaroon);
  painter.setBrush(kRed);
  painter.drawRect(1, 1, kWidth - 3, kHeight - 3);
  draw_words(painter, {text.left(3), text.mid(3)}, 12, kWhite);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: korva_draw_toolbar OUTPUT.png\n");
    return 64;
  }
  QImage strip(kWidth * kCount, kHeight, QImage::Format_ARGB32);
  strip.fill(Qt::transparent);
  for (int i = 0; i < kCount; ++i) {
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    switch (i) {
      case 0:
        draw_open(painter);
        break;
      case 1:
        draw_save(painter);
        break;
      case 2: {
        const QString text = word(korva::texts::kToolbarSaveAs);
        draw_words(painter, {text.left(2), text.mid(2)}, 14, kBlack);
        break;
      }
      case 3:
        draw_words(painter, {word(korva::texts::kToolbarAdd)}, 16, kBlack);
        break;
      case 4:
        draw_words(painter, {word(korva::texts::kToolbarInsert)}, 16, kBlack);
        break;
      case 5:
        draw_words(painter, {word(korva::texts::kToolbarDelete)}, 16, kBlack);
        break;
      case 6:
        draw_assemble(painter, word(korva::texts::kMenuAssemble));
        break;
      default:  // 7: blank, not used
        break;
    }
    painter.end();
    QPainter strip_painter(&strip);
    strip_painter.drawImage(i * kWidth, 0, image);
  }
  if (!strip.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "korva_draw_toolbar: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
