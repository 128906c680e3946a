#include "shell/menu_mnemonics.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QStyleOptionMenuItem>
#include <QWidget>

namespace korva {
namespace {

constexpr const char* kMnemonicProperty = "korva_mnemonic";

// The letter of the item an option draws: the widget's action whose text
// the option shows (menus add the shortcut after a tab).
QChar letter_of(const QStyleOptionMenuItem& item, const QWidget* widget) {
  if (widget == nullptr) return {};
  const QString text = item.text.section(QLatin1Char('\t'), 0, 0);
  if (text.isEmpty()) return {};
  for (const QAction* action : widget->actions()) {
    if (action->text() == text) return mnemonic(action);
  }
  return {};
}

}  // namespace

void set_mnemonic(QAction* action, QChar letter) {
  action->setProperty(kMnemonicProperty, letter.toUpper());
}

QChar mnemonic(const QAction* action) {
  const QVariant letter = action->property(kMnemonicProperty);
  return letter.isValid() ? letter.toChar() : QChar();
}

QString mnemonic_hint(QChar letter) {
  return QStringLiteral("(&%1)").arg(letter);
}

void MnemonicStyle::drawControl(ControlElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
  const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
  const QChar letter = item != nullptr && (element == CE_MenuBarItem || element == CE_MenuItem)
                           ? letter_of(*item, widget)
                           : QChar();
  if (letter.isNull()) {
    QProxyStyle::drawControl(element, option, painter, widget);
    return;
  }
  QStyleOptionMenuItem decorated(*item);
  const qsizetype tab = decorated.text.indexOf(QLatin1Char('\t'));
  decorated.text.insert(tab < 0 ? decorated.text.size() : tab, mnemonic_hint(letter));
  QProxyStyle::drawControl(element, &decorated, painter, widget);
}

QSize MnemonicStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                      const QSize& size, const QWidget* widget) const {
  QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
  const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
  if (item == nullptr || (type != CT_MenuBarItem && type != CT_MenuItem)) return result;
  const QChar letter = letter_of(*item, widget);
  if (!letter.isNull()) {
    result.rwidth() += item->fontMetrics.horizontalAdvance(QStringLiteral("(%1)").arg(letter));
  }
  return result;
}

bool MnemonicKeys::eventFilter(QObject* watched, QEvent* event) {
  auto* menu = qobject_cast<QMenu*>(watched);
  if (menu == nullptr || event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
  if ((modifiers != Qt::NoModifier && modifiers != Qt::AltModifier) || key->text().size() != 1) {
    return false;
  }
  const QChar pressed = key->text().front().toUpper();
  for (QAction* action : menu->actions()) {
    if (mnemonic(action) != pressed || !action->isEnabled() || !action->isVisible()) continue;
    // Chosen as if it were highlighted and Enter pressed: the menu closes
    // and the action is triggered the menu's own way.
    menu->setActiveAction(action);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(menu, &enter);
    return true;
  }
  return false;
}

}  // namespace korva
