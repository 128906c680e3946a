// The desktop program: one main window. Nothing is taken from the command
// line.
#include <QApplication>
#include <memory>

#include "shell/main_window.h"
#include "shell/user_dialogs.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // Closing the window (Exit or the title bar) destroys it, which writes
  // the settings file while the program still runs.
  auto* window = new korva::MainWindow(std::make_unique<korva::QtUserDialogs>());
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  return QApplication::exec();
}
