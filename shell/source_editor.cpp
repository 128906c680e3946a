#include "shell/source_editor.h"

#include <QDesktopServices>
#include <QProcess>
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

bool open_in_editor(const QString& file, std::size_t line) {
  const std::optional<EditorCommand> command =
      editor_command(qEnvironmentVariable("VISUAL"), qEnvironmentVariable("EDITOR"), file, line);
  if (command) return QProcess::startDetached(command->program, command->arguments);
  return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

}  // namespace korva
