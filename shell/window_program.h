// The desktop program's run: the main window from its start to its end.
#pragma once

#include <QString>
#include <memory>

#include "shell/user_dialogs.h"

namespace korva {

// What the window is started with.
struct WindowStart {
  QString project;     // a project file to open at once; empty for none
  QString status_log;  // a file that receives every status text; empty for none
};

// Shows the main window and runs the event loop until the window is closed
// (Exit or the title bar), which writes the settings file. Returns the exit
// status: 0, also when the settings file could not be written (that failure
// is shown in a "File Error" box before the program ends). Needs a
// QApplication.
int run_window_program(std::unique_ptr<UserDialogs> dialogs, const WindowStart& start = {});

}  // namespace korva
