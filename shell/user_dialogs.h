// What the window asks of the person in front of it: a file to open, a file
// to save, and message boxes. The window talks only to this interface, so
// that its commands can be driven without a person (the tests answer the
// dialogs themselves).
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class QWidget;

namespace korva {

struct ChipFacts;

// A file chosen in a dialog: its full path and its name without directory.
struct ChosenFile {
  QString path;
  QString title;
};

// The buttons of a question, and the one pressed.
// yes_no_default_no: a question whose Yes loses what the user has (files
// replaced), so that Enter answers No.
enum class Choices { yes_no, yes_no_cancel, yes_no_default_no };
enum class Reply { yes, no, cancel };

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;

  // An open dialog, which takes a name that does not exist too (the window
  // asks before creating it). `initial_text` is what the file-name box starts with
  // ("*.amk", "*.as;*.inc"); `initial_directory` is where it starts, or
  // empty for the system's default. Nothing when cancelled.
  virtual std::optional<ChosenFile> choose_file_to_open(QWidget* owner, const QString& initial_text,
                                                        const QString& initial_directory) = 0;

  // An open dialog where several existing files may be chosen at once, in
  // the order given; empty when cancelled.
  virtual std::vector<ChosenFile> choose_files_to_open(QWidget* owner, const QString& initial_text,
                                                       const QString& initial_directory) = 0;

  // A save dialog that asks before overwriting. `initial_text` may start
  // with a directory ("/work/*.amk"), where the dialog then starts.
  virtual std::optional<ChosenFile> choose_file_to_save(QWidget* owner,
                                                        const QString& initial_text) = 0;

  // A message box with one OK button; returns once it is closed.
  virtual void show_message(QWidget* owner, const QString& text, const QString& caption) = 0;

  // A question box; closing it without a button counts as the last choice
  // (no, or cancel).
  virtual Reply ask(QWidget* owner, const QString& text, const QString& caption,
                    Choices choices) = 0;

  // A list to choose one of `items` from, `current` (an index, or -1)
  // selected at first; nothing when cancelled, as without such a dialog.
  virtual std::optional<QString> choose_item(QWidget* /*owner*/, const QString& /*caption*/,
                                             const QString& /*label*/, const QStringList& /*items*/,
                                             int /*current*/) {
    return std::nullopt;
  }

  // The configuration dialog of the chip; returns once it is closed. A
  // stand-in without it shows nothing.
  virtual void show_configuration(QWidget* /*owner*/, const ChipFacts& /*chip*/) {}
};

// The initial text of a dialog taken apart: the directory in front of its
// last separator (empty without one) and its ';'-separated name patterns.
struct InitialText {
  QString directory;
  QStringList patterns;
};
InitialText split_initial_text(const QString& text);

// The dialogs of the platform, owned by the given window.
class QtUserDialogs : public UserDialogs {
 public:
  std::optional<ChosenFile> choose_file_to_open(QWidget* owner, const QString& initial_text,
                                                const QString& initial_directory) override;
  std::vector<ChosenFile> choose_files_to_open(QWidget* owner, const QString& initial_text,
                                               const QString& initial_directory) override;
  std::optional<ChosenFile> choose_file_to_save(QWidget* owner,
                                                const QString& initial_text) override;
  void show_message(QWidget* owner, const QString& text, const QString& caption) override;
  Reply ask(QWidget* owner, const QString& text, const QString& caption, Choices choices) override;
  std::optional<QString> choose_item(QWidget* owner, const QString& caption, const QString& label,
                                     const QStringList& items, int current) override;
  void show_configuration(QWidget* owner, const ChipFacts& chip) override;
};

}  // namespace korva
