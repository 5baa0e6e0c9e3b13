#include "app/qt_prompts.h"

#include <QApplication>
#include <QMessageBox>

namespace ztlive {

namespace {

QMessageBox::Icon BoxIcon(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::Information: return QMessageBox::Information;
    case PromptIcon::Warning: return QMessageBox::Warning;
    case PromptIcon::Error: return QMessageBox::Critical;
    case PromptIcon::Question: return QMessageBox::Question;
    case PromptIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton BoxButton(PromptAnswer answer) {
  switch (answer) {
    case PromptAnswer::Ok: return QMessageBox::Ok;
    case PromptAnswer::Cancel: return QMessageBox::Cancel;
    case PromptAnswer::Yes: return QMessageBox::Yes;
    case PromptAnswer::No: return QMessageBox::No;
  }
  return QMessageBox::Ok;
}

QMessageBox::StandardButtons BoxButtons(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::Ok: return QMessageBox::Ok;
    case PromptButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case PromptButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case PromptButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

// A box without a caption of its own carries the program's name.
QString Caption(std::string_view caption) {
  return caption.empty() ? QApplication::applicationDisplayName()
                         : QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void QtPrompts::Show(std::string_view text, std::string_view caption, PromptIcon icon) {
  QMessageBox box(BoxIcon(icon), Caption(caption), Text(text), QMessageBox::Ok, m_parent);
  box.exec();
}

PromptAnswer QtPrompts::Ask(std::string_view text, std::string_view caption, PromptButtons buttons, PromptIcon icon,
                            PromptAnswer defaultAnswer) {
  QMessageBox box(BoxIcon(icon), Caption(caption), Text(text), BoxButtons(buttons), m_parent);
  box.setDefaultButton(BoxButton(defaultAnswer));
  switch (box.exec()) {
    case QMessageBox::Yes: return PromptAnswer::Yes;
    case QMessageBox::No: return PromptAnswer::No;
    case QMessageBox::Cancel: return PromptAnswer::Cancel;
    case QMessageBox::Ok: return PromptAnswer::Ok;
    default: break;
  }
  // Closed without a button (Escape on a box without Cancel): the box's escape answer.
  return Offers(buttons, PromptAnswer::Cancel) ? PromptAnswer::Cancel
         : Offers(buttons, PromptAnswer::No)   ? PromptAnswer::No
                                               : PromptAnswer::Ok;
}

}  // namespace ztlive
