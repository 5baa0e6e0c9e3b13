// The program's message boxes: Prompts shown as Qt message boxes over the main window.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/prompts.h"

namespace ztlive {

class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent = nullptr) : m_parent(parent) {}
  void SetParent(QWidget* parent) { m_parent = parent; }

  using Prompts::Ask;
  void Show(std::string_view text, std::string_view caption, PromptIcon icon) override;
  PromptAnswer Ask(std::string_view text, std::string_view caption, PromptButtons buttons, PromptIcon icon,
                   PromptAnswer defaultAnswer) override;

 private:
  QPointer<QWidget> m_parent;
};

}  // namespace ztlive
