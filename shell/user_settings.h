// The window's own settings, kept per user apart from asm.ini (whose content
// stays the last directory alone): ~/.config/korva/korva.conf on Linux.
#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <memory>

namespace korva {

std::unique_ptr<QSettings> user_settings();

// Saved states of the window's parts (its geometry, the splitters), by
// name; empty when none was saved.
QByteArray remembered_state(const QString& name);
void remember_state(const QString& name, const QByteArray& state);

}  // namespace korva
