#include "platform/console_prompts.h"

#include <cctype>
#include <string>

namespace ztlive {

namespace {

std::string_view IconLabel(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::Warning:
      return "warning";
    case PromptIcon::Error:
      return "error";
    default:
      return "";
  }
}

std::string_view PolicySource(ConsolePrompts::Policy policy) {
  switch (policy) {
    case ConsolePrompts::Policy::Yes:
      return "--yes";
    case ConsolePrompts::Policy::No:
      return "--no";
    case ConsolePrompts::Policy::Default:
      return "default";
  }
  return "";
}

// True when the text already opens with the label ("ERROR: ..." under the label "error").
bool OpensWithLabel(std::string_view text, std::string_view label) {
  if (label.empty() || text.size() <= label.size() || text[label.size()] != ':') return false;
  for (size_t i = 0; i < label.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != label[i]) return false;
  return true;
}

}  // namespace

PromptAnswer ConsolePrompts::Answer(Policy policy, PromptButtons buttons,
                                    PromptAnswer defaultAnswer) {
  if (!Offers(buttons, defaultAnswer)) defaultAnswer = FirstAnswer(buttons);
  switch (policy) {
    case Policy::Yes:
      return (buttons == PromptButtons::Ok || buttons == PromptButtons::OkCancel)
                 ? PromptAnswer::Ok
                 : PromptAnswer::Yes;
    case Policy::No:
      if (buttons == PromptButtons::Ok) return PromptAnswer::Ok;
      return buttons == PromptButtons::OkCancel ? PromptAnswer::Cancel : PromptAnswer::No;
    case Policy::Default:
      return defaultAnswer;
  }
  return defaultAnswer;
}

void ConsolePrompts::Print(std::string_view text, std::string_view caption, PromptIcon icon) {
  std::string line;
  const std::string_view label = IconLabel(icon);
  if (!label.empty() && !OpensWithLabel(text, label)) line.append(label).append(": ");
  if (!caption.empty()) line.append(caption).append(": ");
  line.append(text);
  std::fprintf(m_stream, "%s\n", line.c_str());
}

void ConsolePrompts::Show(std::string_view text, std::string_view caption, PromptIcon icon) {
  Print(text, caption, icon);
}

PromptAnswer ConsolePrompts::Ask(std::string_view text, std::string_view caption,
                                 PromptButtons buttons, PromptIcon icon,
                                 PromptAnswer defaultAnswer) {
  Print(text, caption, icon);
  const PromptAnswer answer = Answer(m_policy, buttons, defaultAnswer);
  const std::string name(AnswerName(answer));
  const std::string source(PolicySource(m_policy));
  std::fprintf(m_stream, "  -> %s (%s)\n", name.c_str(), source.c_str());
  return answer;
}

}  // namespace ztlive
