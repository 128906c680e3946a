// korva-bench-window: the Assemble command of the window, from the command
// to the listing on screen, for a generated project whose listing is about
// 1 MB. Runs on any Qt platform; on a machine without a display use
//   QT_QPA_PLATFORM=offscreen korva-bench-window
// (the default when nothing else is set), where painting goes into an image.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "bench/bench_projects.h"
#include "shell/main_window.h"
#include "shell/user_dialogs.h"

namespace {

using korva::ChosenFile;

// About 36 listing bytes per source line: this many lines make about 1 MB.
constexpr std::size_t kLines = 29'000;

// Dialogs that always open the benchmark's project and count message boxes,
// since any message means the assembly did not go as measured.
class ProjectDialogs : public korva::UserDialogs {
 public:
  ProjectDialogs(QString path, int& messages) : path_(std::move(path)), messages_(messages) {}

  std::optional<ChosenFile> choose_file_to_open(QWidget*, const QString&, const QString&) override {
    return ChosenFile{path_, QStringLiteral("bench.amk")};
  }
  std::vector<ChosenFile> choose_files_to_open(QWidget*, const QString&, const QString&) override {
    return {};
  }
  std::optional<ChosenFile> choose_file_to_save(QWidget*, const QString&) override {
    return std::nullopt;
  }
  korva::Reply ask(QWidget*, const QString&, const QString&, korva::Choices) override {
    return korva::Reply::no;
  }
  void show_message(QWidget*, const QString& text, const QString& caption) override {
    std::fprintf(stderr, "korva-bench-window: %s: %s\n", qPrintable(caption), qPrintable(text));
    ++messages_;
  }

 private:
  QString path_;
  int& messages_;
};

// The window styles the listing's statement column only in the lines that
// come into view (shell/listing_highlighter.h). This is the least that
// styling every line on showing would cost instead, as a QSyntaxHighlighter
// does: one format per line over the text between the third and the fourth
// tab, without the work of finding the statement's form.
class EveryLineFloor : public QSyntaxHighlighter {
 public:
  explicit EveryLineFloor(QTextDocument* document) : QSyntaxHighlighter(document) {
    format_.setForeground(Qt::darkBlue);
  }

 protected:
  void highlightBlock(const QString& text) override {
    qsizetype start = 0;
    for (int tab = 0; tab < 3; ++tab) {
      start = text.indexOf(u'\t', start);
      if (start < 0) return;
      ++start;
    }
    qsizetype end = text.indexOf(u'\t', start);
    if (end < 0) end = text.size();
    setFormat(static_cast<int>(start), static_cast<int>(end - start), format_);
  }

 private:
  QTextCharFormat format_;
};

enum class Styling { lines_in_view, every_line_floor };

void assemble_and_show(benchmark::State& state, const korva::bench::BenchProject& project,
                       Styling styling) {
  if (!project.failure.empty() || project.error_count != 0) {
    state.SkipWithError("the generated project does not assemble cleanly");
    return;
  }
  int messages = 0;
  const QString project_file = QString::fromStdString(project.files.project_file.string());
  korva::MainWindow window(std::make_unique<ProjectDialogs>(project_file, messages));
  window.show();
  QApplication::processEvents();
  window.run_command(korva::Command::open_make_file);
  auto* listing = window.findChild<QPlainTextEdit*>();
  if (listing == nullptr || window.project().entries.size() != 2) {
    state.SkipWithError("the window did not open the project");
    return;
  }
  std::unique_ptr<EveryLineFloor> every_line;
  if (styling == Styling::every_line_floor) {
    every_line = std::make_unique<EveryLineFloor>(listing->document());
  }
  for (auto _ : state) {
    window.run_command(korva::Command::assemble);
    // Lays out and paints what the command changed, as the event loop would
    // before the person sees it.
    QApplication::processEvents();
  }
  if (messages != 0) state.SkipWithError("the window showed a message box");
  if (listing->document()->blockCount() < static_cast<int>(kLines)) {
    state.SkipWithError("the listing was not shown");
  }
  state.counters["listing_bytes"] = static_cast<double>(project.listing_bytes);
  state.counters["listing_lines"] = listing->document()->blockCount();
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 64;

  korva::bench::ProjectStore store;
  const korva::bench::BenchProject& project = store.add(kLines);
  benchmark::RegisterBenchmark("window_assemble_and_show/1MB",
                               [&project](benchmark::State& state) {
                                 assemble_and_show(state, project, Styling::lines_in_view);
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->MinTime(2.0);
  benchmark::RegisterBenchmark("window_assemble_and_show/1MB/every_line_styled_floor",
                               [&project](benchmark::State& state) {
                                 assemble_and_show(state, project, Styling::every_line_floor);
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->MinTime(2.0);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
