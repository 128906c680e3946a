// Keyboard letters for menus and menu items whose texts must stay exactly
// as they are: the letter is kept beside the text, drawn after it as
// "(F)" with the letter underlined (as Japanese menus show their letters),
// and pressing it in an open menu chooses the item.
#pragma once

#include <QChar>
#include <QObject>
#include <QProxyStyle>
#include <QString>

class QAction;
class QMenu;

namespace korva {

void set_mnemonic(QAction* action, QChar letter);
// The letter given to the action; a null QChar when it has none.
QChar mnemonic(const QAction* action);

// What is drawn after the text of an item with the given letter: "(&F)".
QString mnemonic_hint(QChar letter);

// Draws the letters of the menu bar's and the menus' items and makes room
// for them. Set it on the menu bar and on each menu.
class MnemonicStyle : public QProxyStyle {
 public:
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override;
};

// Chooses the item of an open menu whose letter was pressed. Install it on
// each menu as an event filter.
class MnemonicKeys : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace korva
