// Prompts for tests: records every text shown or asked, and answers questions from a script.
// A question beyond the script takes its default answer and is counted as unscripted, so a
// test can tell an unexpected question from an expected one.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/prompts.h"

namespace ztlive {

class ScriptedPrompts : public Prompts {
 public:
  struct Entry {
    bool isQuestion = false;
    std::string text;
    std::string caption;
    PromptIcon icon = PromptIcon::None;
    PromptButtons buttons = PromptButtons::Ok;
    PromptAnswer answer = PromptAnswer::Ok;  // what was answered (OK for a shown message)
  };

  // Queue the answer for the next question.
  void Script(PromptAnswer answer) { m_script.push_back(answer); }

  using Prompts::Ask;
  void Show(std::string_view text, std::string_view caption, PromptIcon icon) override;
  PromptAnswer Ask(std::string_view text, std::string_view caption, PromptButtons buttons,
                   PromptIcon icon, PromptAnswer defaultAnswer) override;

  const std::vector<Entry>& Entries() const { return m_entries; }
  // The texts in order, messages and questions alike.
  std::vector<std::string> Texts() const;
  size_t UnscriptedQuestions() const { return m_unscripted; }
  size_t ScriptLeft() const { return m_script.size(); }
  void Clear();

 private:
  std::deque<PromptAnswer> m_script;
  std::vector<Entry> m_entries;
  size_t m_unscripted = 0;
};

}  // namespace ztlive
