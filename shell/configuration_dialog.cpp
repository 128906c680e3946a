#include "shell/configuration_dialog.h"

#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <string>
#include <utility>

#include "shell/shown_line.h"
#include "system/text_encoding.h"

namespace korva {
namespace {

// A field's list holds the index of each setting; this stands for "leave the
// erased bits", offered when no setting names them.
constexpr int kErasedBits = -1;
constexpr int kClosedListChars = 40;

QString shown(const std::string& cp932) {
  return QString::fromStdString(cp932_to_utf8(cp932));
}

QString hex4(std::uint32_t value) {
  return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

void fill_settings(QComboBox* box, const ConfigWord& word, const ConfigField& field) {
  const ConfigSetting* erased = field.erased(word.blank);
  if (erased == nullptr) box->addItem(QStringLiteral("(erased bits)"), kErasedBits);
  for (std::size_t i = 0; i < field.settings.size(); ++i) {
    const ConfigSetting& setting = field.settings[i];
    QString text = shown(setting.name);
    if (&setting == erased) text += QStringLiteral(" (erased)");
    if (!setting.description.empty())
      text += QStringLiteral(" \u2014 ") + shown(setting.description);
    box->addItem(text, static_cast<int>(i));
    if (&setting == erased) box->setCurrentIndex(box->count() - 1);
  }
}

}  // namespace

ConfigurationDialog::ConfigurationDialog(ChipFacts chip, QWidget* parent)
    : QDialog(parent), chip_(std::move(chip)) {
  setWindowTitle(QStringLiteral("Configuration of %1").arg(shown(chip_.name)));
  auto* fields = new QWidget;
  auto* fields_layout = new QVBoxLayout(fields);
  for (const ConfigWord& word : chip_.config_words) {
    auto* group = new QGroupBox(QStringLiteral("%1 at %2 (erased %3)")
                                    .arg(shown(word.name), hex4(word.address), hex4(word.blank)));
    auto* form = new QFormLayout(group);
    for (const ConfigField& field : word.fields) {
      auto* box = new QComboBox;
      box->setObjectName(shown(field.name));
      // Long descriptions are cut in the closed list, whole in the open one.
      box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
      box->setMinimumContentsLength(kClosedListChars);
      fill_settings(box, word, field);
      form->addRow(shown(field.name), box);
      fields_.push_back(FieldBox{&word, &field, box});
      connect(box, &QComboBox::currentIndexChanged, this, [this] { show_lines(); });
    }
    fields_layout->addWidget(group);
  }
  fields_layout->addStretch();
  auto* scroll = new QScrollArea;
  scroll->setWidget(fields);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  lines_view_ = new QPlainTextEdit;
  lines_view_->setObjectName(QStringLiteral("config_lines"));
  lines_view_->setReadOnly(true);
  lines_view_->setFont(code_font());
  lines_view_->setLineWrapMode(QPlainTextEdit::NoWrap);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
  copy->setObjectName(QStringLiteral("copy"));
  connect(copy, &QPushButton::clicked, this,
          [this] { QGuiApplication::clipboard()->setText(lines_view_->toPlainText()); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(scroll, 3);
  layout->addWidget(lines_view_, 2);
  layout->addWidget(buttons);
  resize(640, 680);
  show_lines();
}

QComboBox* ConfigurationDialog::field_box(const QString& field) const {
  for (const FieldBox& entry : fields_) {
    if (entry.box->objectName() == field) return entry.box;
  }
  return nullptr;
}

std::vector<ConfigChoice> ConfigurationDialog::choices() const {
  std::vector<ConfigChoice> chosen;
  for (const FieldBox& entry : fields_) {
    const int index = entry.box->currentData().toInt();
    if (index == kErasedBits) continue;
    const ConfigSetting& setting = entry.field->settings[static_cast<std::size_t>(index)];
    if (&setting == entry.field->erased(entry.word->blank)) continue;
    chosen.push_back(ConfigChoice{entry.field->name, setting.name});
  }
  return chosen;
}

QString ConfigurationDialog::lines() const {
  return lines_;
}

void ConfigurationDialog::show_lines() {
  const Expected<std::vector<ConfiguredWord>> words = configure_chip(chip_, choices());
  lines_ = words ? shown(format_config_lines(chip_, *words)) : shown(words.message());
  QString text = lines_;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  lines_view_->setPlainText(text);
}

}  // namespace korva
