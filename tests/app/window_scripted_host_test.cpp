// The scripted host other tests rely on: answers, recording, typing with a
// text limit, and the script running out.
#include <gtest/gtest.h>

#include "app/resources/dialog_templates.h"
#include "platform/core/clock.h"
#include "tests/support/scripted_host.h"

namespace {

using platform::ui::Answer;
using platform::ui::Buttons;

class Recorder : public platform::ui::DialogEvents {
 public:
  bool OnInitDialog() override { return true; }
  void OnCommand(int id) override { commands.push_back(id); }
  void OnTextLimit(int id) override { limits.push_back(id); }
  std::vector<int> commands, limits;
};

TEST(ScriptedHost, AnswersQueuedThenDefaultAndOkOnlyBoxesTakeNoAnswer) {
  test_support::ScriptedHost host;
  host.QueueAnswer(Answer::Cancel);
  host.SetDefaultAnswer(Answer::Ok);
  EXPECT_EQ(platform::ui::ShowMessage("note", "C"), Answer::Ok);  // OK only: queue untouched
  EXPECT_EQ(platform::ui::ShowMessage("first?", "C", Buttons::OkCancel), Answer::Cancel);
  EXPECT_EQ(platform::ui::ShowMessage("second?", "C", Buttons::OkCancel, platform::ui::Icon::Question, 1),
            Answer::Ok);
  ASSERT_EQ(host.Messages().size(), 3u);
  EXPECT_EQ(host.Messages()[2].defaultButton, 1);
  EXPECT_EQ(host.Messages()[2].icon, platform::ui::Icon::Question);
  EXPECT_EQ(host.Messages()[0].ownerTemplate, 0);
  ASSERT_NE(host.FindMessage("first"), nullptr);
  EXPECT_EQ(host.FindMessage("first")->answer, Answer::Cancel);
  EXPECT_EQ(host.FindMessage("absent"), nullptr);
}

TEST(ScriptedHost, TypingPastTheLimitRaisesTextLimitAndTheScriptEndsWithCancel) {
  test_support::ScriptedHost host;
  Recorder events;
  auto w = host.CreateDialog(resources::SerialDialogTemplate(), events, nullptr);
  w->SetTextLimit(resources::IDC_SERIAL_EDIT, 4);
  host.ScriptFor(resources::kSerialDialog).Type(resources::IDC_SERIAL_EDIT, "12a345");
  EXPECT_EQ(w->RunModal(), 2);
  EXPECT_EQ(w->GetText(resources::IDC_SERIAL_EDIT), "1234");  // the letter is refused
  EXPECT_EQ(events.limits, std::vector<int>{resources::IDC_SERIAL_EDIT});
  EXPECT_EQ(events.commands, std::vector<int>{2});  // the host closed it as a user would
  EXPECT_TRUE(host.Last(resources::kSerialDialog)->ended);
}

}  // namespace
