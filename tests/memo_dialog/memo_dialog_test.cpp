// The memo stream over a real memo file, and the memo dialog shown modally
// offscreen with its message boxes scripted.
#include "ix_memo_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "framework/dbtables.h"
#include "platform/ui.h"
#include "temp_root.h"
#include "shot_path.h"

namespace grid {
namespace {

namespace fs = std::filesystem;
using platform::ui::Answer;
using platform::ui::ScriptedUi;
using testing_support::TempRoot;

class MemoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "memo_dialog_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
    framework::TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
  }

  void SetUp() override {
    ui = std::make_shared<ScriptedUi>();
    ui->onUnexpected = [](const std::string& what) { ADD_FAILURE() << "unexpected " << what; };
    platform::ui::Install(ui);
    framework::TTable create;
    create.SetDatabaseName(root.path().string());
    create.SetTableName("NOTES.DBF");
    create.SetTableType(framework::ttDBase);
    create.FieldDefs().Add("ITEM", framework::ftString, 20);
    create.FieldDefs().Add("NOTES", framework::ftMemo);
    create.CreateTable();
    table.SetDatabaseName(root.path().string());
    table.SetTableName("NOTES");
    table.SetTableType(framework::ttDBase);
    table.Open();
    source.SetDataSet(&table);
  }
  void TearDown() override {
    source.SetDataSet(nullptr);
    table.Close();
    platform::ui::Install(nullptr);
  }

  void AddRecord(const std::string& item, const std::string& memo) {
    table.Append();
    table.FieldByName("ITEM")->SetAsString(item);
    table.FieldByName("NOTES")->SetAsString(memo);
    table.Post();
  }
  // The memo as another handle reads it from disk.
  std::string StoredMemo() {
    framework::TTable other;
    other.SetDatabaseName(root.path().string());
    other.SetTableName("NOTES");
    other.SetTableType(framework::ttDBase);
    other.Open();
    other.First();
    return other.FieldByName("NOTES")->AsString();
  }

  // Runs Execute with `inside` while the dialog is up.
  bool ExecuteWith(TixMemoDialog& dialog, const std::function<void(TMemoDialog&)>& inside) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      ran = true;
      auto* form = qobject_cast<TMemoDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(form, nullptr);
      inside(*form);
      if (QApplication::activeModalWidget() == form) {
        ADD_FAILURE() << "the dialog stayed open";
        form->QDialog::done(0);
      }
    });
    const bool result = dialog.Execute();
    EXPECT_TRUE(ran);
    return result;
  }
  TixMemoDialog Dialog() {
    TixMemoDialog d;
    d.DataSource = &source;
    d.DataField = "NOTES";
    return d;
  }

  TempRoot root;
  std::shared_ptr<ScriptedUi> ui;
  framework::TTable table;
  framework::TDataSource source;
};

TEST_F(MemoTest, StreamReadsALongMemoWholeInTwoEngineReadsAndThenEnds) {
  std::string memo(40000, 'x');
  for (size_t i = 0; i < memo.size(); i += 97) memo[i] = static_cast<char>('a' + i % 26);
  AddRecord("long", memo);
  AddRecord("short", "first\r\nsecond");
  table.First();
  {
    TixMemoStream stream(*table.FieldByName("NOTES"));
    std::string buffer(50000, '\0');
    const size_t n = stream.Read(buffer.data(), buffer.size());
    EXPECT_EQ(n, memo.size());
    EXPECT_EQ(buffer.substr(0, n), memo);
    EXPECT_EQ(stream.EngineReads(), 2);
    EXPECT_EQ(stream.Read(buffer.data(), buffer.size()), 0u);
  }
  {
    // In small pieces, each from where the last ended.
    TixMemoStream stream(*table.FieldByName("NOTES"));
    std::string whole;
    char piece[1000];
    while (size_t n = stream.Read(piece, sizeof piece)) whole.append(piece, n);
    EXPECT_EQ(whole, memo);
  }
  table.Next();
  EXPECT_EQ(MemoCellText(*table.FieldByName("NOTES"), kDefaultMemoAttributes | mGridShow), "first");
  EXPECT_EQ(MemoCellText(*table.FieldByName("NOTES"), kDefaultMemoAttributes), "(Memo)");
}

TEST_F(MemoTest, AMemoCellShowsTheFirstLineOfAtMostTheFirst255Bytes) {
  std::string oneLine(1000, 'x');
  for (size_t i = 0; i < oneLine.size(); ++i) oneLine[i] = static_cast<char>('a' + i % 26);
  std::string lateBreak = oneLine.substr(0, 300) + "\nrest";
  struct Case {
    std::string memo, shown;
  } cases[] = {
      {oneLine, oneLine.substr(0, 255)},
      {lateBreak, oneLine.substr(0, 255)},
      {"ab\rcd\nef", "ab"},
      {"line one\n", "line one"},
      {"\r\nsecond", ""},
      {"", ""},
  };
  for (const Case& c : cases) AddRecord("m", c.memo);
  table.First();
  for (const Case& c : cases) {
    EXPECT_EQ(MemoCellText(*table.FieldByName("NOTES"), mGridShow), c.shown) << c.memo;
    table.Next();
  }
  // Only the 255 bytes were taken: the stream goes on from byte 256.
  table.First();
  TixMemoStream stream(*table.FieldByName("NOTES"));
  EXPECT_EQ(MemoFirstLine(stream), oneLine.substr(0, 255));
  std::string rest(2000, '\0');
  rest.resize(stream.Read(rest.data(), rest.size()));
  EXPECT_EQ(rest, oneLine.substr(255));
}

TEST_F(MemoTest, ViewOnlyHasNoCancelAndItsOkCentredUnderTheMemo) {
  AddRecord("a", "read me");
  TixMemoDialog d = Dialog();
  d.MemoAttributes = kDefaultMemoAttributes | mViewOnly;
  d.Caption = "Notes";
  const bool ok = ExecuteWith(d, [](TMemoDialog& form) {
    EXPECT_EQ(form.windowTitle(), "Notes");
    EXPECT_TRUE(form.DBMemo->isReadOnly());
    EXPECT_EQ(form.DBMemo->toPlainText(), "read me");
    EXPECT_FALSE(form.CancelBtn->isVisible());
    EXPECT_TRUE(form.OKBtn->isVisible());
    EXPECT_NEAR(form.OKBtn->geometry().center().x(), form.DBMemo->geometry().center().x(), 1);
    EXPECT_GT(form.OKBtn->y(), form.DBMemo->geometry().bottom());
    form.OKBtn->click();
  });
  EXPECT_TRUE(ok);
}

TEST_F(MemoTest, BoundsPlaceOrSizeTheDialogAndMinusOneKeepsItsOwnSizeCentred) {
  AddRecord("a", "");
  const QSize screen = QGuiApplication::primaryScreen()->size();
  struct Case {
    int left, top;
    QSize size;
    bool centred;
  } cases[] = {
      {-1, 0, QSize(561, 396), true},
      {0, 0, QSize(400, 300), true},
      {10, 20, QSize(400, 300), false},
  };
  for (const Case& c : cases) {
    TixMemoDialog d = Dialog();
    d.DlgLeft = c.left;
    d.DlgTop = c.top;
    d.DlgWidth = 400;
    d.DlgHeight = 300;
    ExecuteWith(d, [&](TMemoDialog& form) {
      EXPECT_EQ(form.size(), c.size) << c.left;
      if (c.centred) {
        const QPoint offset = form.frameGeometry().center() - QRect(QPoint(0, 0), screen).center();
        EXPECT_LE(offset.manhattanLength(), 4) << c.left;
      } else {
        EXPECT_EQ(form.geometry().topLeft(), QPoint(10, 20));
      }
      EXPECT_TRUE(form.CancelBtn->isVisible());
      EXPECT_LT(form.OKBtn->x(), form.CancelBtn->x());
      form.CancelBtn->click();
    });
  }
}

TEST_F(MemoTest, ClosingAfterTypingAsksAndNoKeepsTheDialog) {
  AddRecord("a", "old");
  TixMemoDialog d = Dialog();
  ui->answers = {Answer::No, Answer::Yes};
  const bool ok = ExecuteWith(d, [](TMemoDialog& form) {
    QTest::keyClick(form.DBMemo, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(form.DBMemo, " and new");
    form.close();  // the close box
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.DBMemo->toPlainText(), "old and new");
    form.close();
  });
  EXPECT_FALSE(ok);
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>(2, "Changes have been made!  Are you sure you wish to cancel?")));
  EXPECT_EQ(table.State(), framework::dsBrowse);
  EXPECT_EQ(StoredMemo(), "old");
}

TEST_F(MemoTest, OkAndCtrlEnterPostTheTextAndEscapeWithoutChangesAsksNothing) {
  AddRecord("a", "line one");
  TixMemoDialog d = Dialog();
  EXPECT_TRUE(ExecuteWith(d, [](TMemoDialog& form) {
    QTest::keyClick(form.DBMemo, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(form.DBMemo, Qt::Key_Return);
    QTest::keyClicks(form.DBMemo, "line two");
    form.OKBtn->click();
  }));
  EXPECT_EQ(StoredMemo(), "line one\r\nline two");

  EXPECT_TRUE(ExecuteWith(d, [](TMemoDialog& form) {
    EXPECT_EQ(form.DBMemo->toPlainText(), "line one\nline two");
    QTest::keyClicks(form.DBMemo, "!");
    QTest::keyClick(form.DBMemo, Qt::Key_Return, Qt::ControlModifier);
  }));
  EXPECT_EQ(StoredMemo(), "!line one\r\nline two");

  EXPECT_FALSE(ExecuteWith(d, [](TMemoDialog& form) {
    QTest::keyClick(&form, Qt::Key_Escape);  // at the window: swallowed
    EXPECT_TRUE(form.isVisible());
    QTest::keyClick(form.DBMemo, Qt::Key_Escape);
  }));
  EXPECT_TRUE(ui->MessageTexts().empty());
}

TEST_F(MemoTest, ARefusedPostShowsTheErrorAndKeepsTheDialogWithItsText) {
  AddRecord("a", "kept");
  bool refuse = true;
  table.BeforePost = [&refuse](framework::TDataSet&) {
    if (refuse) throw framework::EDatabaseError("The memo file is full.");
  };
  TixMemoDialog d = Dialog();
  ui->answers = {Answer::Ok};
  const bool ok = ExecuteWith(d, [&](TMemoDialog& form) {
    QTest::keyClicks(form.DBMemo, "typed ");  // at the start
    form.OKBtn->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.DBMemo->toPlainText(), "typed kept");
    refuse = false;
    form.OKBtn->click();
  });
  table.BeforePost = nullptr;
  EXPECT_TRUE(ok);
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{"The memo file is full."});
  EXPECT_EQ(StoredMemo(), "typed kept");
}

// Rendered into the test pictures folder.
TEST_F(MemoTest, DialogRenders) {
  AddRecord("a", "A memo of two lines,\r\nthe second one longer than the first.");
  for (double scale : {1.0, 1.6}) {
    TixMemoDialog d = Dialog();
    d.Caption = "Description";
    d.DlgWidth = static_cast<int>(561 * scale);
    d.DlgHeight = static_cast<int>(396 * scale);
    ExecuteWith(d, [&](TMemoDialog& form) {
      EXPECT_EQ(form.size(), QSize(d.DlgWidth, d.DlgHeight));
      EXPECT_LE(form.CancelBtn->geometry().bottom(), form.height());
      form.grab().save(QString::fromStdString(testing_support::ShotPath(QString("memo-%1.png").arg(scale).toStdString())));
      form.CancelBtn->click();
    });
  }
}

}  // namespace
}  // namespace grid
