#include "filters/framework/preset_name_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "filters/framework/preset_store.h"
#include "platform/prompts.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {
QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
}  // namespace

PresetNameDialog::PresetNameDialog(QWidget* parent) : QDialog(parent), m_name(new QLineEdit(this)) {
  setWindowTitle(Text(StringText(StringId::kCaptionPresetName)));
  setModal(true);
  auto* prompt = new QLabel(Text(StringText(StringId::kPresetNamePrompt)), this);
  prompt->setBuddy(m_name);
  m_name->setMaxLength(static_cast<int>(kPresetNameMaxChars));
  m_name->setMinimumWidth(m_name->fontMetrics().averageCharWidth() * 32);

  auto* ok = new QPushButton(Text(Prompts::AnswerName(PromptAnswer::Ok)), this);
  auto* cancel = new QPushButton(Text(Prompts::AnswerName(PromptAnswer::Cancel)), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* column = new QVBoxLayout(this);
  column->addWidget(prompt);
  column->addWidget(m_name);
  column->addLayout(buttons);
  setFixedSize(sizeHint());
}

bool PresetNameDialog::AskPresetName(std::string& name) {
  m_name->setText(QString::fromStdString(name));
  m_name->selectAll();
  m_name->setFocus(Qt::OtherFocusReason);
  if (exec() != QDialog::Accepted) return false;
  name = m_name->text().toStdString();
  return true;
}

}  // namespace ztlive
