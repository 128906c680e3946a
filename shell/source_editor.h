// Opens a source file at a line in the user's editor: $VISUAL, else
// $EDITOR, given +LINE and the file; without either, the desktop's handler
// for the file.
#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <optional>

namespace korva {

struct EditorCommand {
  QString program;
  QStringList arguments;
};

// The command for the editor named by `visual` or else `editor` (each may
// carry options of its own, "code --wait"); nothing when both are blank.
// A line of 0 (unknown) gives no +LINE.
std::optional<EditorCommand> editor_command(const QString& visual, const QString& editor,
                                            const QString& file, std::size_t line);

// Whether the editor program works only inside a terminal (vi, nano ...).
bool needs_terminal(const QString& program);

// The editor's command run inside the first terminal that `find` (given a
// program name, its path or empty) finds: `preferred` (the user's
// $TERMINAL) first, then the system's default terminal and xterm. Nothing
// when none is there.
template <typename Find>
std::optional<EditorCommand> in_terminal(const EditorCommand& editor, const QString& preferred,
                                         Find find) {
  QStringList candidates;
  if (!preferred.trimmed().isEmpty()) candidates << preferred.trimmed();
  candidates << QStringLiteral("x-terminal-emulator") << QStringLiteral("xterm");
  for (const QString& candidate : candidates) {
    const QString path = find(candidate);
    if (path.isEmpty()) continue;
    return EditorCommand{path,
                         QStringList{QStringLiteral("-e"), editor.program} + editor.arguments};
  }
  return std::nullopt;
}

enum class EditorStart { started, no_terminal, failed };

// Starts the editor (or the desktop's handler) and returns at once. An
// editor that needs a terminal is started in one; without a terminal the
// result says so.
EditorStart open_in_editor(const QString& file, std::size_t line);

}  // namespace korva
