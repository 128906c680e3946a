#include "shell/source_editor.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace korva {

std::optional<EditorCommand> editor_command(const QString& visual, const QString& editor,
                                            const QString& file, std::size_t line) {
  const QString chosen = visual.trimmed().isEmpty() ? editor : visual;
  QStringList words = QProcess::splitCommand(chosen);
  if (words.isEmpty()) return std::nullopt;
  EditorCommand command{words.takeFirst(), words};
  if (line > 0) command.arguments << QStringLiteral("+%1").arg(line);
  command.arguments << file;
  return command;
}

bool needs_terminal(const QString& program) {
  static const QStringList kTerminalEditors = {
      QStringLiteral("vi"),    QStringLiteral("vim"),  QStringLiteral("nvim"),
      QStringLiteral("view"),  QStringLiteral("nano"), QStringLiteral("pico"),
      QStringLiteral("micro"), QStringLiteral("joe"),  QStringLiteral("jed"),
      QStringLiteral("ne"),    QStringLiteral("mg"),   QStringLiteral("hx"),
      QStringLiteral("helix"), QStringLiteral("kak"),  QStringLiteral("ed")};
  return kTerminalEditors.contains(QFileInfo(program).fileName());
}

EditorStart open_in_editor(const QString& file, std::size_t line) {
  const std::optional<EditorCommand> command =
      editor_command(qEnvironmentVariable("VISUAL"), qEnvironmentVariable("EDITOR"), file, line);
  if (!command) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file)) ? EditorStart::started
                                                                : EditorStart::failed;
  }
  if (!needs_terminal(command->program)) {
    return QProcess::startDetached(command->program, command->arguments) ? EditorStart::started
                                                                         : EditorStart::failed;
  }
  const std::optional<EditorCommand> terminal =
      in_terminal(*command, qEnvironmentVariable("TERMINAL"),
                  [](const QString& name) { return QStandardPaths::findExecutable(name); });
  if (!terminal) return EditorStart::no_terminal;
  return QProcess::startDetached(terminal->program, terminal->arguments) ? EditorStart::started
                                                                         : EditorStart::failed;
}

}  // namespace korva
