// The desktop program: one main window. Nothing is taken from the command
// line.
#include <QApplication>
#include <memory>

#include "shell/user_dialogs.h"
#include "shell/window_program.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  return korva::run_window_program(std::make_unique<korva::QtUserDialogs>());
}
