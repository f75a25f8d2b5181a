// Locate and Find Next through the main window's commands: the dialog, what
// the component keeps between commands, and the record the table stands on.
#include "tmylocate.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstdlib>
#include <memory>

#include "framework/sysutils.h"
#include "tmain.h"
#include "window_test.h"
#include "shot_path.h"

namespace keldro {
namespace {

using platform::ui::Answer;

class TMyLocateTest : public WindowTest {
 protected:
  void TearDown() override {
    main.reset();
    WindowTest::TearDown();
    ScaleFactor = 1.0;
  }

  void Start(const std::vector<std::string>& items) {
    main = std::make_unique<TMain>(TMain::StartOptions{{"keldro"}, QSize(1280, 1024)});
    ASSERT_FALSE(main->Terminated());
    main->show();
    // The first activation's tip of the day comes and goes (the watcher
    // closes it) before any command runs.
    main->activateWindow();
    QApplication::processEvents();
    QApplication::processEvents();
    int day = 0;
    for (const std::string& item : items) {
      main->MyTable.Append();
      main->MyTable.FieldByName("Item")->SetAsString(item);
      main->MyTable.FieldByName("PurchDate")->SetAsDateTime(framework::EncodeDate(1995, 12, 1) + day++);
      main->MyTable.Post();
    }
    main->MyTable.First();
  }
  std::string Current() { return main->MyTable.FieldByName("Item")->AsString(); }
  TMyLocateDlg* Dialog() { return qobject_cast<TMyLocateDlg*>(QApplication::activeModalWidget()); }
  void Locate(const std::function<void(TMyLocateDlg&)>& inside) {
    WhileModal([&] { main->MenuLocate->trigger(); },
               [&] {
                 TMyLocateDlg* d = Dialog();
                 ASSERT_NE(d, nullptr);
                 inside(*d);
               });
  }
  static void ChooseField(TMyLocateDlg& d, const QString& label) {
    const int i = d.FieldNameComboBox->findText(label, Qt::MatchFixedString);
    ASSERT_GE(i, 0) << label.toStdString();
    d.FieldNameComboBox->setCurrentIndex(i);
  }

  std::unique_ptr<TMain> main;
};

TEST_F(TMyLocateTest, LocateThenFindNextUntilThereIsNoMore) {
  Start({"Anvil", "Hammer", "Hammock"});
  Locate([&](TMyLocateDlg& d) {
    EXPECT_EQ(d.windowTitle(), "Locate Field Value");
    EXPECT_TRUE(d.PartialMatchStartBtn->isChecked());
    EXPECT_FALSE(d.CaseSensitiveCheckBox->isChecked());
    ChooseField(d, "Item");
    QTest::keyClicks(d.SearchValue, "ham");
    d.NextButton->click();
  });
  EXPECT_EQ(Current(), "Hammer");
  main->MenuLocateNext->trigger();
  EXPECT_EQ(Current(), "Hammock");
  ui->answers = {Answer::Ok};
  main->MenuLocateNext->trigger();
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{"No more matches found"}));
  EXPECT_EQ(Current(), "Hammock");
  // First searches from the top again.
  Locate([&](TMyLocateDlg& d) {
    EXPECT_EQ(d.SearchValue->text(), "ham");
    d.FirstButton->click();
  });
  EXPECT_EQ(Current(), "Hammer");
}

TEST_F(TMyLocateTest, FindNextBeforeAnyLocateOpensTheDialogAndCancelKeepsTheChoices) {
  Start({"Anvil", "Hammer"});
  WhileModal([&] { main->MenuLocateNext->trigger(); },
             [&] {
               TMyLocateDlg* d = Dialog();
               ASSERT_NE(d, nullptr);
               EXPECT_EQ(d->windowTitle(), "Locate Field Value");
               EXPECT_TRUE(d->NextButton->isDefault());
               EXPECT_FALSE(d->FirstButton->isDefault());
               ChooseField(*d, "Item");
               QTest::keyClicks(d->SearchValue, "mer");
               d->ExactMatchBtn->setChecked(true);
               d->CaseSensitiveCheckBox->setChecked(true);
               d->BitBtn1->click();
             });
  EXPECT_EQ(Current(), "Anvil");
  TMyLocateDialog& c = *main->MyLocateDialog;
  EXPECT_EQ(c.FieldValue, "mer");
  EXPECT_EQ(c.SearchField, "ITEM");
  EXPECT_EQ(c.MatchType, mtExactMatch);
  EXPECT_TRUE(c.CaseSensitive);
  Locate([&](TMyLocateDlg& d) {
    EXPECT_EQ(d.SearchValue->text(), "mer");
    EXPECT_TRUE(d.ExactMatchBtn->isChecked());
    EXPECT_TRUE(d.CaseSensitiveCheckBox->isChecked());
    EXPECT_EQ(d.FieldNameComboBox->currentText().toUpper(), "ITEM");
    // Choosing a field starts a new value.
    d.FieldNameComboBox->activated(d.FieldNameComboBox->currentIndex());
    EXPECT_EQ(d.SearchValue->text(), "");
    d.BitBtn1->click();
  });
  // A value that is not found: the dialog stays with its message.
  ui->answers = {Answer::Ok};
  Locate([&](TMyLocateDlg& d) {
    d.PartialMatchAnyBtn->setChecked(true);
    d.CaseSensitiveCheckBox->setChecked(false);
    QTest::keyClicks(d.SearchValue, "saw");
    d.FirstButton->click();
    EXPECT_TRUE(d.isVisible());
    d.BitBtn1->click();
  });
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{"No matches found"}));
}

TEST_F(TMyLocateTest, LabelsDatesAndLongValues) {
  Start({"Anvil", "Hammer", "Hammock"});
  main->MyTable.FieldByName("PurchDate")->SetDisplayLabel("Purchase~Date");
  const std::string typed = framework::DateToStr(framework::EncodeDate(1995, 12, 2));
  Locate([&](TMyLocateDlg& d) {
    EXPECT_GE(d.FieldNameComboBox->findText("Purchase Date"), 0);
    EXPECT_EQ(d.FieldNameFromLabel("Purchase~Date"), "PURCHDATE");
    ChooseField(d, "Purchase Date");
    d.ExactMatchBtn->setChecked(true);
    QTest::keyClicks(d.SearchValue, QString::fromStdString(typed));
    d.FirstButton->click();
  });
  EXPECT_EQ(Current(), "Hammer");
  EXPECT_EQ(main->MyLocateDialog->SearchField, "PURCHDATE");

  // 255 characters are kept whole, more are cut.
  Locate([&](TMyLocateDlg& d) {
    ChooseField(d, "Item");
    QTest::keyClicks(d.SearchValue, QString(300, 'h'));
    EXPECT_EQ(d.SearchValue->text().size(), 255);
    d.BitBtn1->click();
  });
  EXPECT_EQ(main->MyLocateDialog->FieldValue, std::string(255, 'h'));
}

// The dialog in the configure colours at two scales, into the test pictures
// folder.
TEST_F(TMyLocateTest, DialogRendersAtBothScales) {
  Start({"Anvil"});
  Settings.colors[4] = MidnightBlack();
  for (double scale : {1.0, 1.6}) {
    ScaleFactor = scale;
    Locate([&](TMyLocateDlg& d) {
      EXPECT_EQ(d.width(), qRound(420 * scale));
      EXPECT_EQ(d.palette().color(QPalette::Window), QColor(0, 0, 0));
      EXPECT_EQ(d.SearchValue->palette().color(QPalette::Base), QColor(127, 127, 127));
      EXPECT_EQ(d.SearchTypeGroup->palette().color(QPalette::WindowText), QColor(255, 255, 255));
      ChooseField(d, "Item");
      QTest::keyClicks(d.SearchValue, "ham");
      d.grab().save(QString::fromStdString(testing_support::ShotPath(QString("locate-%1.png").arg(scale).toStdString())));
      d.BitBtn1->click();
    });
  }
}

}  // namespace
}  // namespace keldro
