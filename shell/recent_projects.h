// The project files opened or saved last, newest first, kept in the user's
// configuration folder (QSettings), apart from asm.ini, whose content stays
// the last directory alone.
#pragma once

#include <QString>
#include <QStringList>

namespace korva {

inline constexpr int kRecentProjectCount = 8;

// The list after `path` was used: moved (or added) to the front, each path
// once, at most kRecentProjectCount of them.
QStringList with_recent_project(QStringList paths, const QString& path);

class RecentProjects {
 public:
  QStringList paths() const;
  void remember(const QString& path);
  void forget(const QString& path);
};

}  // namespace korva
