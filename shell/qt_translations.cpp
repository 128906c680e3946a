#include "shell/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace korva {

QString qt_translations_directory() {
  return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool install_qt_translations(QCoreApplication& application, const QLocale& locale,
                             const QString& directory) {
  // "qt_LANG.qm" gathers the catalogues of Qt's modules (qtbase and others).
  auto* translator = new QTranslator(&application);
  if (!translator->load(locale, QStringLiteral("qt"), QStringLiteral("_"), directory) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return false;
  }
  return true;
}

}  // namespace korva
