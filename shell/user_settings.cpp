#include "shell/user_settings.h"

namespace korva {

std::unique_ptr<QSettings> user_settings() {
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QStringLiteral("korva"), QStringLiteral("korva"));
}

QByteArray remembered_state(const QString& name) {
  return user_settings()->value(QStringLiteral("window/") + name).toByteArray();
}

void remember_state(const QString& name, const QByteArray& state) {
  user_settings()->setValue(QStringLiteral("window/") + name, state);
}

}  // namespace korva
