#include "platform/ui.h"

#include <gtest/gtest.h>

namespace ui = platform::ui;

namespace {

TEST(Ui, DefaultServiceAnswersWithTheDefaultButton) {
  ui::Install(nullptr);
  struct Case {
    ui::Buttons buttons;
    int defaultButton;
    ui::Answer expected;
  } cases[] = {
      {ui::Buttons::Ok, 0, ui::Answer::Ok},           {ui::Buttons::YesNo, 1, ui::Answer::No},
      {ui::Buttons::YesNoCancel, 2, ui::Answer::Cancel}, {ui::Buttons::RetryCancel, 0, ui::Answer::Retry},
      {ui::Buttons::AbortRetryIgnore, 2, ui::Answer::Ignore}, {ui::Buttons::OkCancel, 5, ui::Answer::Ok},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ui::ShowMessage("text", "caption", c.buttons, ui::Icon::Question, c.defaultButton), c.expected);
  EXPECT_FALSE(ui::Current().FileDialog({}).accepted);
}

TEST(Ui, ScriptedAnswersInOrderAndRecordsEveryCall) {
  auto scripted = std::make_shared<ui::ScriptedUi>();
  scripted->answers = {ui::Answer::Yes, ui::Answer::Cancel};
  scripted->files.push_back({true, "/tmp/A.TXT", 2});
  std::vector<std::string> seen;
  scripted->onMessage = [&](const ui::MessageBoxRequest& r) { seen.push_back(r.text); };
  ui::Install(scripted);

  EXPECT_EQ(ui::ShowMessage("Save changes?", "Stashwell", ui::Buttons::YesNoCancel), ui::Answer::Yes);
  {
    ui::BusyCursor busy;
    ui::BusyCursor nested;
    EXPECT_EQ(scripted->busyDepth, 2);
  }
  EXPECT_EQ(scripted->busyDepth, 0);
  ui::FileDialogRequest open;
  open.title = "Open";
  ui::FileDialogResult chosen = ui::Current().FileDialog(open);
  EXPECT_TRUE(chosen.accepted);
  EXPECT_EQ(chosen.fileName, "/tmp/A.TXT");
  EXPECT_EQ(ui::ShowMessage("Really?", "Delete", ui::Buttons::OkCancel, ui::Icon::Warning, 1, true),
            ui::Answer::Cancel);
  ui::Current().Help({"KELDRO.HLP", ui::HelpCommand::Keyword, "Search Window", 0});

  EXPECT_EQ(scripted->MessageCaptions(), (std::vector<std::string>{"Stashwell", "Delete"}));
  EXPECT_EQ(scripted->MessageTexts(), seen);
  ASSERT_EQ(scripted->calls.size(), 4u);
  EXPECT_TRUE(scripted->calls[2].message.beep);
  EXPECT_EQ(scripted->calls[3].help.keyword, "Search Window");
  EXPECT_TRUE(scripted->unexpected.empty());
  ui::Install(nullptr);
}

TEST(Ui, UnscriptedDialogsAreRecordedAsUnexpected) {
  auto scripted = std::make_shared<ui::ScriptedUi>();
  std::vector<std::string> reported;
  scripted->onUnexpected = [&](const std::string& what) { reported.push_back(what); };
  ui::Install(scripted);
  EXPECT_EQ(ui::ShowMessage("Overwrite?", "Export", ui::Buttons::YesNo, ui::Icon::Question, 1), ui::Answer::No);
  EXPECT_FALSE(ui::Current().FileDialog({}).accepted);
  EXPECT_EQ(ui::Current().BrowseDirectory("Folder", "/"), "");
  EXPECT_FALSE(ui::Current().ColorDialog(0xFF).accepted);
  EXPECT_EQ(scripted->unexpected.size(), 4u);
  EXPECT_EQ(reported, scripted->unexpected);
  EXPECT_NE(scripted->unexpected[0].find("Overwrite?"), std::string::npos);
  ui::Install(nullptr);
}

}  // namespace
