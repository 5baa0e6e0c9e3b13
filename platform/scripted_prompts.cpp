#include "platform/scripted_prompts.h"

namespace ztlive {

void ScriptedPrompts::Show(std::string_view text, std::string_view caption, PromptIcon icon) {
  m_entries.push_back({false, std::string(text), std::string(caption), icon, PromptButtons::Ok,
                       PromptAnswer::Ok});
}

PromptAnswer ScriptedPrompts::Ask(std::string_view text, std::string_view caption,
                                  PromptButtons buttons, PromptIcon icon,
                                  PromptAnswer defaultAnswer) {
  PromptAnswer answer = defaultAnswer;
  if (m_script.empty()) {
    ++m_unscripted;
  } else {
    answer = m_script.front();
    m_script.pop_front();
  }
  m_entries.push_back(
      {true, std::string(text), std::string(caption), icon, buttons, answer});
  return answer;
}

std::vector<std::string> ScriptedPrompts::Texts() const {
  std::vector<std::string> texts;
  texts.reserve(m_entries.size());
  for (const Entry& entry : m_entries) texts.push_back(entry.text);
  return texts;
}

void ScriptedPrompts::Clear() {
  m_script.clear();
  m_entries.clear();
  m_unscripted = 0;
}

}  // namespace ztlive
