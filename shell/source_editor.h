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

// Starts the editor (or the desktop's handler) and returns at once; false
// when nothing could be started.
bool open_in_editor(const QString& file, std::size_t line);

}  // namespace korva
