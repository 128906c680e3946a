// The desktop program: one main window. A project file named on the command
// line is opened as if chosen with the Open command.
#include <QApplication>
#include <QLocale>
#include <QStringList>
#include <memory>

#include "shell/qt_translations.h"
#include "shell/user_dialogs.h"
#include "shell/window_program.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // Qt's own dialogs and buttons in the desktop's language.
  korva::install_qt_translations(application, QLocale::system());
  // A project file named on the command line is opened as the Open command
  // opens it; every status text also goes to KORVA_STATUS_LOG, for scripts
  // that drive the window.
  korva::WindowStart start;
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) start.project = arguments.at(1);
  start.status_log = qEnvironmentVariable("KORVA_STATUS_LOG");
  return korva::run_window_program(std::make_unique<korva::QtUserDialogs>(), start);
}
