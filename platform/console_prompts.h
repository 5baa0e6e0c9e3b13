// Prompts for the command line: every text goes to a stream (stderr), and questions are
// answered from the --yes / --no flags, or with the question's default answer.
#pragma once

#include <cstdio>

#include "platform/prompts.h"

namespace ztlive {

class ConsolePrompts : public Prompts {
 public:
  enum class Policy { Default, Yes, No };

  explicit ConsolePrompts(Policy policy, std::FILE* stream = stderr)
      : m_policy(policy), m_stream(stream) {}

  using Prompts::Ask;
  void Show(std::string_view text, std::string_view caption, PromptIcon icon) override;
  PromptAnswer Ask(std::string_view text, std::string_view caption, PromptButtons buttons,
                   PromptIcon icon, PromptAnswer defaultAnswer) override;

  // The answer this policy gives to a question with these buttons.
  static PromptAnswer Answer(Policy policy, PromptButtons buttons, PromptAnswer defaultAnswer);

 private:
  void Print(std::string_view text, std::string_view caption, PromptIcon icon);

  Policy m_policy;
  std::FILE* m_stream;
};

}  // namespace ztlive
