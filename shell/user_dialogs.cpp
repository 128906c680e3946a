#include "shell/user_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

#include "shell/configuration_dialog.h"

namespace korva {
namespace {

// Every dialog proposes "amk" as the extension of a name typed without one.
constexpr const char* kDefaultSuffix = "amk";

void prepare(QFileDialog& dialog, const QString& initial_text, const QString& initial_directory) {
  const InitialText initial = split_initial_text(initial_text);
  const QString directory = initial_directory.isEmpty() ? initial.directory : initial_directory;
  if (!directory.isEmpty()) dialog.setDirectory(directory);
  dialog.setDefaultSuffix(QString::fromLatin1(kDefaultSuffix));
  QStringList filters;
  if (!initial.patterns.isEmpty()) filters << initial.patterns.join(QLatin1Char(' '));
  filters << QStringLiteral("*");
  dialog.setNameFilters(filters);
}

std::vector<ChosenFile> run_for_all(QFileDialog& dialog) {
  std::vector<ChosenFile> chosen;
  if (dialog.exec() != QDialog::Accepted) return chosen;
  for (const QString& file : dialog.selectedFiles()) {
    if (file.isEmpty()) continue;
    const QString path = QFileInfo(file).absoluteFilePath();
    chosen.push_back(ChosenFile{path, QFileInfo(path).fileName()});
  }
  return chosen;
}

std::optional<ChosenFile> run(QFileDialog& dialog) {
  std::vector<ChosenFile> chosen = run_for_all(dialog);
  if (chosen.empty()) return std::nullopt;
  return chosen.front();
}

}  // namespace

InitialText split_initial_text(const QString& text) {
  InitialText result;
  const qsizetype separator = text.lastIndexOf(QLatin1Char('/'));
  if (separator >= 0) result.directory = text.left(separator + 1);
  const QString names = text.mid(separator + 1);
  for (const QString& pattern : names.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    result.patterns << pattern.trimmed();
  }
  return result;
}

std::optional<ChosenFile> QtUserDialogs::choose_file_to_open(QWidget* owner,
                                                             const QString& initial_text,
                                                             const QString& initial_directory) {
  QFileDialog dialog(owner);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  prepare(dialog, initial_text, initial_directory);
  return run(dialog);
}

std::vector<ChosenFile> QtUserDialogs::choose_files_to_open(QWidget* owner,
                                                            const QString& initial_text,
                                                            const QString& initial_directory) {
  QFileDialog dialog(owner);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  prepare(dialog, initial_text, initial_directory);
  return run_for_all(dialog);
}

std::optional<ChosenFile> QtUserDialogs::choose_file_to_save(QWidget* owner,
                                                             const QString& initial_text) {
  QFileDialog dialog(owner);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  prepare(dialog, initial_text, QString());
  return run(dialog);
}

void QtUserDialogs::show_message(QWidget* owner, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
  box.exec();
}

Reply QtUserDialogs::ask(QWidget* owner, const QString& text, const QString& caption,
                         Choices choices) {
  QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
  if (choices == Choices::yes_no_cancel) buttons |= QMessageBox::Cancel;
  QMessageBox box(QMessageBox::Question, caption, text, buttons, owner);
  box.setEscapeButton(choices == Choices::yes_no_cancel ? QMessageBox::Cancel : QMessageBox::No);
  if (choices == Choices::yes_no_default_no) box.setDefaultButton(QMessageBox::No);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Reply::yes;
    case QMessageBox::No:
      return Reply::no;
    default:
      return choices == Choices::yes_no_cancel ? Reply::cancel : Reply::no;
  }
}

std::optional<QString> QtUserDialogs::choose_item(QWidget* owner, const QString& caption,
                                                  const QString& label, const QStringList& items,
                                                  int current) {
  QInputDialog dialog(owner);
  dialog.setWindowTitle(caption);
  dialog.setLabelText(label);
  dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
  dialog.setComboBoxItems(items);
  if (current >= 0 && current < items.size()) dialog.setTextValue(items[current]);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue();
}

void QtUserDialogs::show_configuration(QWidget* owner, const ChipFacts& chip) {
  ConfigurationDialog dialog(chip, owner);
  dialog.exec();
}

}  // namespace korva
