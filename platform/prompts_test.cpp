#include "platform/console_prompts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/scripted_prompts.h"

namespace ztlive {
namespace {

using Policy = ConsolePrompts::Policy;

TEST(ConsolePrompts, FlagsAnswerEveryKindOfQuestion) {
  EXPECT_EQ(ConsolePrompts::Answer(Policy::Yes, PromptButtons::YesNo, PromptAnswer::No), PromptAnswer::Yes);
  EXPECT_EQ(ConsolePrompts::Answer(Policy::Yes, PromptButtons::OkCancel, PromptAnswer::Cancel), PromptAnswer::Ok);
  EXPECT_EQ(ConsolePrompts::Answer(Policy::No, PromptButtons::YesNoCancel, PromptAnswer::Yes), PromptAnswer::No);
  EXPECT_EQ(ConsolePrompts::Answer(Policy::No, PromptButtons::OkCancel, PromptAnswer::Ok), PromptAnswer::Cancel);
  EXPECT_EQ(ConsolePrompts::Answer(Policy::No, PromptButtons::Ok, PromptAnswer::Ok), PromptAnswer::Ok);
  EXPECT_EQ(ConsolePrompts::Answer(Policy::Default, PromptButtons::YesNo, PromptAnswer::No), PromptAnswer::No);
  EXPECT_EQ(ConsolePrompts::Answer(Policy::Default, PromptButtons::YesNoCancel, PromptAnswer::Cancel),
            PromptAnswer::Cancel);
  // A default that is not one of the buttons falls back to the first button.
  EXPECT_EQ(ConsolePrompts::Answer(Policy::Default, PromptButtons::YesNo, PromptAnswer::Ok), PromptAnswer::Yes);
}

TEST(ConsolePrompts, TextsGoToTheStreamWithCaptionAndAnswer) {
  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  ConsolePrompts prompts(Policy::No, stream);
  prompts.Show("The Default Settings cannot be deleted.", "", PromptIcon::Warning);
  const PromptAnswer answer = prompts.Ask("The preset Loud already exists. Do you want to overwrite it?",
                                          "Setting Exists", PromptButtons::YesNo, PromptIcon::Question);
  EXPECT_EQ(answer, PromptAnswer::No);

  std::rewind(stream);
  std::string printed;
  char chunk[256];
  while (std::fgets(chunk, sizeof chunk, stream)) printed += chunk;
  std::fclose(stream);
  EXPECT_EQ(printed,
            "warning: The Default Settings cannot be deleted.\n"
            "Setting Exists: The preset Loud already exists. Do you want to overwrite it?\n"
            "  -> No (--no)\n");
}

TEST(ScriptedPrompts, RecordsEveryTextAndCountsQuestionsBeyondTheScript) {
  ScriptedPrompts prompts;
  prompts.Script(PromptAnswer::No);
  prompts.Show("first", "Caption", PromptIcon::Error);
  EXPECT_EQ(prompts.Ask("second", "Delete preset", PromptButtons::YesNo, PromptIcon::Question), PromptAnswer::No);
  EXPECT_EQ(prompts.Ask("third", "", PromptButtons::OkCancel, PromptIcon::None, PromptAnswer::Cancel),
            PromptAnswer::Cancel);
  EXPECT_EQ(prompts.UnscriptedQuestions(), 1u);
  EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{"first", "second", "third"}));
  ASSERT_EQ(prompts.Entries().size(), 3u);
  EXPECT_FALSE(prompts.Entries()[0].isQuestion);
  EXPECT_EQ(prompts.Entries()[1].caption, "Delete preset");
  EXPECT_EQ(prompts.Entries()[1].icon, PromptIcon::Question);
}

}  // namespace
}  // namespace ztlive
