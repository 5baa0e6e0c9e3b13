// Every message box of the program goes through Prompts: the windows show Qt message boxes,
// the command line prints to stderr and answers from its flags, tests script the answers.
#pragma once

#include <string>
#include <string_view>

namespace ztlive {

enum class PromptIcon { None, Information, Warning, Error, Question };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No };

class Prompts {
 public:
  virtual ~Prompts() = default;
  // A message with an OK button.
  virtual void Show(std::string_view text, std::string_view caption, PromptIcon icon) = 0;
  // A question; defaultAnswer is the answer of the focused button (Enter takes it).
  virtual PromptAnswer Ask(std::string_view text, std::string_view caption, PromptButtons buttons,
                           PromptIcon icon, PromptAnswer defaultAnswer) = 0;
  // A question whose default is its first button (Yes or OK).
  PromptAnswer Ask(std::string_view text, std::string_view caption, PromptButtons buttons,
                   PromptIcon icon) {
    return Ask(text, caption, buttons, icon, FirstAnswer(buttons));
  }

  static PromptAnswer FirstAnswer(PromptButtons buttons);
  // True when the answer is one of the buttons.
  static bool Offers(PromptButtons buttons, PromptAnswer answer);
  // "OK", "Cancel", "Yes", "No".
  static std::string_view AnswerName(PromptAnswer answer);
};

}  // namespace ztlive
