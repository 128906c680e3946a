#include "shell/window_program.h"

#include <QApplication>
#include <QPointer>

#include "shell/main_window.h"

namespace korva {

int run_window_program(std::unique_ptr<UserDialogs> dialogs, const WindowStart& start) {
  QPointer<MainWindow> window = new MainWindow(std::move(dialogs));
  // Closing saves the settings while the window is still shown (a failure's
  // box then belongs to a running program), then destroys the window.
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->set_status_log(start.status_log);
  window->show();
  if (!start.project.isEmpty()) window->open_project(start.project);
  const int status = QApplication::exec();
  // The loop can also end with the window still there (its deletion not yet
  // done): it goes now, while the application still runs, never in the
  // application's own teardown, where a box could not end.
  delete window.data();
  return status;
}

}  // namespace korva
