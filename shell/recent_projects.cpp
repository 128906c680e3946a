#include "shell/recent_projects.h"

#include "shell/user_settings.h"

namespace korva {
namespace {

constexpr const char* kKey = "recent_projects";

void store(const QStringList& paths) {
  user_settings()->setValue(QLatin1String(kKey), paths);
}

}  // namespace

QStringList with_recent_project(QStringList paths, const QString& path) {
  paths.removeAll(path);
  paths.prepend(path);
  while (paths.size() > kRecentProjectCount) paths.removeLast();
  return paths;
}

QStringList RecentProjects::paths() const {
  QStringList paths = user_settings()->value(QLatin1String(kKey)).toStringList();
  paths.removeAll(QString());
  while (paths.size() > kRecentProjectCount) paths.removeLast();
  return paths;
}

void RecentProjects::remember(const QString& path) {
  store(with_recent_project(paths(), path));
}

void RecentProjects::forget(const QString& path) {
  QStringList list = paths();
  list.removeAll(path);
  store(list);
}

}  // namespace korva
