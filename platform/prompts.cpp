#include "platform/prompts.h"

namespace ztlive {

PromptAnswer Prompts::FirstAnswer(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::Ok:
    case PromptButtons::OkCancel:
      return PromptAnswer::Ok;
    case PromptButtons::YesNo:
    case PromptButtons::YesNoCancel:
      return PromptAnswer::Yes;
  }
  return PromptAnswer::Ok;
}

bool Prompts::Offers(PromptButtons buttons, PromptAnswer answer) {
  switch (buttons) {
    case PromptButtons::Ok:
      return answer == PromptAnswer::Ok;
    case PromptButtons::OkCancel:
      return answer == PromptAnswer::Ok || answer == PromptAnswer::Cancel;
    case PromptButtons::YesNo:
      return answer == PromptAnswer::Yes || answer == PromptAnswer::No;
    case PromptButtons::YesNoCancel:
      return answer != PromptAnswer::Ok;
  }
  return false;
}

std::string_view Prompts::AnswerName(PromptAnswer answer) {
  switch (answer) {
    case PromptAnswer::Ok:
      return "OK";
    case PromptAnswer::Cancel:
      return "Cancel";
    case PromptAnswer::Yes:
      return "Yes";
    case PromptAnswer::No:
      return "No";
  }
  return "";
}

}  // namespace ztlive
