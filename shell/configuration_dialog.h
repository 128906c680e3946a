// The configuration words of a chip chosen field by field: a list of
// settings per field (its erased setting selected at first), the lines that
// put the words in a program, and a button that copies them.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "chip/chip_config.h"
#include "chip/chip_facts.h"

class QComboBox;
class QPlainTextEdit;

namespace korva {

class ConfigurationDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ConfigurationDialog(ChipFacts chip, QWidget* parent = nullptr);

  // The list of a field's settings, named after the field; null for a field
  // the chip does not have.
  QComboBox* field_box(const QString& field) const;
  // The fields set to other than their erased setting, in the chip's order.
  std::vector<ConfigChoice> choices() const;
  // The lines shown (CP932 is plain ASCII here), line ends as written.
  QString lines() const;

 private:
  struct FieldBox {
    const ConfigWord* word = nullptr;
    const ConfigField* field = nullptr;
    QComboBox* box = nullptr;
  };
  void show_lines();

  ChipFacts chip_;
  std::vector<FieldBox> fields_;
  QPlainTextEdit* lines_view_ = nullptr;
  QString lines_;
};

}  // namespace korva
