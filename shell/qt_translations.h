// Qt's own translations (the file dialogs, the buttons of message boxes,
// the text views' context menus) for the desktop's language. The system's
// own texts are not translated.
#pragma once

#include <QLocale>
#include <QString>

class QCoreApplication;

namespace korva {

// Where Qt's translation catalogues are installed.
QString qt_translations_directory();

// Loads and installs the catalogue of `locale` from `directory`; false when
// there is none (English, or the translations are not installed).
bool install_qt_translations(QCoreApplication& application, const QLocale& locale,
                             const QString& directory = qt_translations_directory());

}  // namespace korva
