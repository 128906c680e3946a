// The desktop program from start to end with its real message boxes: the
// program always ends, also when the settings file cannot be written while
// it closes and a "File Error" box is shown then.
#include "shell/window_program.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "shell/main_window.h"
#include "shell/user_dialogs.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

// How the run is made to end, and what stands in the start folder.
enum class Ending { exit_command, loop_quit_with_window_open };
enum class Settings { writable, folder_in_its_place, start_folder_removed };

struct EndCase {
  const char* name;
  Settings settings;
  Ending ending;
  std::size_t boxes;  // "File Error" boxes expected while closing
};

void PrintTo(const EndCase& c, std::ostream* out) {
  *out << c.name;
}

MainWindow* main_window() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* window = qobject_cast<MainWindow*>(widget)) return window;
  }
  return nullptr;
}

class WindowProgramEnds : public ::testing::TestWithParam<EndCase> {};

TEST_P(WindowProgramEnds, AfterAnyBoxShownWhileClosing) {
  const EndCase& c = GetParam();
  QTemporaryDir scratch;
  ASSERT_TRUE(scratch.isValid());
  const fs::path start = fs::path(scratch.path().toStdString()) / "start";
  fs::create_directories(start);
  if (c.settings == Settings::folder_in_its_place) fs::create_directory(start / "asm.ini");
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(start.string())));

  // Every modal box is answered (OK) as soon as it shows; its caption is kept.
  std::vector<QString> captions;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&captions] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      captions.push_back(box->windowTitle());
      box->close();
    }
  });
  answer.start(20);
  QTimer::singleShot(200, [&c, &start] {
    MainWindow* window = main_window();
    ASSERT_NE(window, nullptr);
    if (c.settings == Settings::start_folder_removed) fs::remove_all(start);
    if (c.ending == Ending::exit_command) {
      window->run_command(Command::exit);
    } else {
      QApplication::quit();
    }
  });

  // A program that never ends is ended by the alarm, failing the test.
  ::alarm(20);
  const int status = run_window_program(std::make_unique<QtUserDialogs>());
  ::alarm(0);
  answer.stop();
  QDir::setCurrent(previous);

  EXPECT_EQ(status, 0) << c.name;
  EXPECT_EQ(main_window(), nullptr) << c.name << ": the window is gone";
  ASSERT_EQ(captions.size(), c.boxes) << c.name;
  for (const QString& caption : captions) EXPECT_EQ(caption.toStdString(), "File Error");
  if (c.settings == Settings::writable) {
    std::ifstream settings(start / "asm.ini", std::ios::binary);
    EXPECT_TRUE(settings.good()) << c.name << ": asm.ini written";
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(settings), {}), "") << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Closing, WindowProgramEnds,
    ::testing::Values(
        EndCase{"settings written, Exit", Settings::writable, Ending::exit_command, 0},
        EndCase{"settings written, loop ended", Settings::writable,
                Ending::loop_quit_with_window_open, 0},
        EndCase{"asm.ini a folder, Exit", Settings::folder_in_its_place, Ending::exit_command, 1},
        EndCase{"asm.ini a folder, loop ended", Settings::folder_in_its_place,
                Ending::loop_quit_with_window_open, 1},
        EndCase{"start folder gone, Exit", Settings::start_folder_removed, Ending::exit_command,
                1}),
    [](const ::testing::TestParamInfo<EndCase>& test) { return std::to_string(test.index); });

}  // namespace
}  // namespace korva

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Also when the tests are only listed: no display is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
