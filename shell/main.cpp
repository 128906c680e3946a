// The desktop program: one main window. A project file named on the command
// line is opened as if chosen with the Open command.
#include <QApplication>
#include <QLocale>
#include <QStringList>
#include <memory>

#include "shell/main_window.h"
#include "shell/qt_translations.h"
#include "shell/user_dialogs.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // Qt's own dialogs and buttons in the desktop's language.
  korva::install_qt_translations(application, QLocale::system());
  // Closing the window (Exit or the title bar) destroys it, which writes
  // the settings file while the program still runs.
  auto* window = new korva::MainWindow(std::make_unique<korva::QtUserDialogs>());
  window->setAttribute(Qt::WA_DeleteOnClose);
  // For scripts that drive the window: every status text also goes there.
  window->set_status_log(qEnvironmentVariable("KORVA_STATUS_LOG"));
  window->show();
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) window->open_project(arguments.at(1));
  return QApplication::exec();
}
