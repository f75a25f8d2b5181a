// The show sequence every modal window takes from TDialog, on a small window
// of our own: the order of its steps, when it runs again, the design shared
// by every instance, and the screen it centres on.
#include "tdialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QScreen>

#include <string>
#include <vector>

#include "app_state.h"

namespace keldro {
namespace {

class Probe : public TDialog {
 public:
  Probe(QSize screen, int buttonLeft, bool shared = false) : TDialog(nullptr, screen, 5) {
    resize(200, 100);
    button = new QPushButton("OK", this);
    button->setObjectName("OkButton");
    button->setGeometry(buttonLeft, 10, 80, 25);
    if (shared)
      SaveSharedDesign<Probe>();
    else
      SaveDesign();
  }
  using TDialog::ShowOnlyOnce;
  using TDialog::ShowOnlyWhenOpened;
  using TDialog::UseOwnScreenWhenUnset;

  QPushButton* button = nullptr;
  std::vector<std::string> steps;

 protected:
  void FormPlaced() override { steps.push_back("placed at " + std::to_string(button->x())); }
  void SetColors() override {
    steps.push_back("colours");
    TDialog::SetColors();
  }
  void FormShow() override { steps.push_back("shown"); }
};

class TDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "tdialog_test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
  void SetUp() override { ScaleFactor = 1.5; }
  void TearDown() override { ScaleFactor = 1.0; }
};

TEST_F(TDialogTest, TheWindowIsPlacedThenPaintedThenHandedOver) {
  Probe p({1024, 768}, 10);
  p.show();
  // The hook between the steps sees the scaled design geometry.
  EXPECT_EQ(p.steps, (std::vector<std::string>{"placed at 15", "colours", "shown"}));
  EXPECT_EQ(p.size(), QSize(300, 150));
}

TEST_F(TDialogTest, EachRuleSaysWhichShowsPutTheDesignBack) {
  struct Case {
    const char* rule;
    void (*apply)(Probe&);
    int leftAfterSecondShow;
  };
  const Case cases[] = {
      {"every show", [](Probe&) {}, 15},
      {"shows the program makes", [](Probe& p) { p.ShowOnlyWhenOpened(); }, 15},
      {"the first show only", [](Probe& p) { p.ShowOnlyOnce(); }, 70},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    Probe p({1024, 768}, 10);
    c.apply(p);
    p.show();
    p.button->move(70, 10);  // as a window closing over it might leave it
    p.hide();
    p.show();
    EXPECT_EQ(p.button->x(), c.leftAfterSecondShow);
  }
}

TEST_F(TDialogTest, ASharedDesignIsRecordedByTheFirstInstanceOnly) {
  Probe first({1024, 768}, 10, true);
  Probe second({1024, 768}, 40, true);
  second.show();
  EXPECT_EQ(second.button->x(), 15);
  // Each instance of its own keeps its own design.
  Probe own({1024, 768}, 40);
  own.show();
  EXPECT_EQ(own.button->x(), 60);
}

TEST_F(TDialogTest, AnUnsetScreenIsTheOneTheWindowStandsOnWhenAllowed) {
  Probe given({1024, 768}, 10);
  given.show();
  Probe own(QSize(), 10);
  own.UseOwnScreenWhenUnset();
  own.show();
  ASSERT_NE(own.screen(), nullptr);
  Probe stated(own.screen()->size(), 10);
  stated.show();
  EXPECT_EQ(own.pos(), stated.pos());
  if (own.screen()->size() != QSize(1024, 768)) {
    EXPECT_NE(own.pos(), given.pos());
  }
}

}  // namespace
}  // namespace keldro
