// The record editor and the pick-list editor, opened through the main
// window's commands offscreen, typed into, and answered through the
// scripted message boxes.
#include "tmyedit.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <functional>
#include <memory>

#include "core/display_formats.h"
#include "framework/dbtables.h"
#include "mask_edit.h"
#include "platform/ui.h"
#include "temp_root.h"
#include "tmain.h"
#include "tmyeditbox.h"
#include "window_test.h"
#include "shot_path.h"

namespace keldro {
namespace {

namespace fs = std::filesystem;
using platform::ui::Answer;
using platform::ui::ScriptedUi;
using testing_support::TempRoot;

QStringList ComboItems(const QComboBox* c) {
  QStringList items;
  for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
  return items;
}

QStringList ListItems(const QListWidget* l) {
  QStringList items;
  for (int i = 0; i < l->count(); ++i) items << l->item(i)->text();
  return items;
}

class TMyEditTest : public WindowTest {
 protected:
  void TearDown() override {
    main.reset();
    WindowTest::TearDown();
    EditMode = 0;
    BrowseMode = false;
  }

  void Start(std::vector<std::string> arguments = {"keldro"}) {
    main = std::make_unique<TMain>(TMain::StartOptions{std::move(arguments), QSize(1280, 1024)});
    ASSERT_FALSE(main->Terminated());
    main->show();
    // The first activation's tip of the day comes and goes (the watcher
    // closes it) before any command runs.
    main->activateWindow();
    QApplication::processEvents();
    QApplication::processEvents();
    edit = main->MyEdit;
    ASSERT_NE(edit, nullptr);
  }

  void AddRecord(const std::string& item, const std::string& brand = "", int quantity = 1) {
    main->MyTable.Append();
    main->MyTable.FieldByName("Item")->SetAsString(item);
    main->MyTable.FieldByName("Brand")->SetAsString(brand);
    main->MyTable.FieldByName("Quantity")->SetAsInteger(quantity);
    main->MyTable.FieldByName("Cost")->SetAsFloat(12.5);
    main->MyTable.FieldByName("Warranty")->SetAsString("Yes");
    main->MyTable.FieldByName("PurchDate")->SetAsDateTime(framework::EncodeDate(1995, 12, 31));
    main->MyTable.Post();
  }
  std::string Field(const char* name) const { return main->MyTable.FieldByName(name)->AsString(); }

  // Types into an entry the way the keyboard does.
  static void Type(QWidget* w, const QString& text) {
    if (auto* c = qobject_cast<QComboBox*>(w)) w = c->lineEdit();
    QTest::keyClicks(w, text);
  }
  static void Replace(QWidget* w, const QString& text) {
    if (auto* c = qobject_cast<QComboBox*>(w)) w = c->lineEdit();
    if (auto* m = qobject_cast<TMaskEdit*>(w)) {
      m->ClearEntry();
    } else {
      qobject_cast<QLineEdit*>(w)->clear();
    }
    QTest::keyClicks(w, text);
  }

  std::unique_ptr<TMain> main;
  TMyEdit* edit = nullptr;
};

TEST_F(TMyEditTest, AddTypesARecordAndUpdateAndExitStoresItWithTheNewBrand) {
  TempRoot::WriteFile(Program("BRAND.LST"), "Acme\r\n");
  Start();
  EXPECT_EQ(main->PickLists[0], (std::vector<std::string>{"Acme"}));
  WhileModal([&] { main->MenuAdd->trigger(); },
             [&] {
               EXPECT_EQ(EditMode, 1);
               EXPECT_EQ(edit->windowTitle(), "Edit");
               EXPECT_EQ(edit->Quantity->text(), "1");
               for (QLineEdit* money : {edit->Cost, edit->Value, edit->RepCost}) EXPECT_EQ(money->text(), "0");
               EXPECT_EQ(edit->focusWidget(), edit->Item);
               EXPECT_EQ(edit->MyTabbedNoteBook->currentIndex(), 0);
               EXPECT_EQ(ComboItems(edit->Brand), QStringList{"Acme"});
               Type(edit->Item, "Hammer");
               QTest::keyClick(edit->Item, Qt::Key_Return);
               EXPECT_EQ(edit->focusWidget(), edit->Brand);
               Type(edit->Brand, "acme");
               edit->MenuUpdateExit->trigger();
             });
  EXPECT_TRUE(ui->MessageTexts().empty());
  ASSERT_EQ(main->MyTable.RecordCount(), 1);
  EXPECT_EQ(main->CountLabel->text(), "1");
  EXPECT_EQ(Field("Item"), "Hammer");
  EXPECT_EQ(Field("Brand"), "acme");
  EXPECT_EQ(main->MyTable.FieldByName("Quantity")->AsInteger(), 1);
  EXPECT_EQ(main->MyTable.FieldByName("Cost")->AsFloat(), 0);
  EXPECT_EQ(Field("Warranty"), "No");
  EXPECT_TRUE(main->MyTable.FieldByName("PurchDate")->IsNull());
  EXPECT_EQ(TempRoot::ReadFile(Program("BRAND.LST")), "Acme\r\nacme\r\n");
  EXPECT_EQ(main->PickLists[0], (std::vector<std::string>{"Acme", "acme"}));
  EXPECT_EQ(EditMode, 2);
}

TEST_F(TMyEditTest, EditAndDoubleClickRewriteTheCurrentRecordAndCopyAddsOne) {
  Start();
  AddRecord("Drill", "Bosch", 2);
  main->MyTable.First();
  WhileModal([&] { main->MenuEdit->trigger(); },
             [&] {
               EXPECT_EQ(edit->Item->text(), "Drill");
               EXPECT_EQ(edit->Brand->currentText(), "Bosch");
               EXPECT_EQ(edit->Quantity->text(), "2");
               EXPECT_EQ(edit->Cost->text(), "12.50");
               EXPECT_EQ(edit->PurchDate->EditText(), "12/31/1995");
               EXPECT_TRUE(edit->Warranty->isChecked());
               EXPECT_EQ(edit->WorthItem->text(), "Item: Drill");
               EXPECT_EQ(edit->TotCostLabel->text(), "25.00 ");
               Replace(edit->Model, "GSB 18");
               edit->UpdateExitButton->click();
             });
  EXPECT_EQ(main->MyTable.RecordCount(), 1);
  EXPECT_EQ(Field("Model"), "GSB 18");
  EXPECT_EQ(Field("Item"), "Drill");

  WhileModal([&] { main->ViewerGridDblClick(); },
             [&] {
               EXPECT_EQ(EditMode, 2);
               EXPECT_EQ(edit->Model->text(), "GSB 18");
               Replace(edit->Serial, "S1");
               edit->MenuUpdateExit->trigger();
             });
  EXPECT_EQ(main->MyTable.RecordCount(), 1);
  EXPECT_EQ(Field("Serial"), "S1");

  WhileModal([&] { main->MenuCopy->trigger(); },
             [&] {
               EXPECT_EQ(EditMode, 3);
               EXPECT_EQ(edit->Item->text(), "Drill");
               edit->MenuUpdateExit->trigger();
             });
  EXPECT_EQ(main->MyTable.RecordCount(), 2);
  EXPECT_EQ(main->CountLabel->text(), "2");
}

TEST_F(TMyEditTest, TwoUpdatesInAddModeWriteOneRecordAndEmptyNumbersStoreZero) {
  Start();
  WhileModal([&] { main->SpeedAdd->click(); },
             [&] {
               Type(edit->Item, "First");
               edit->Cost->clear();
               edit->Quantity->clear();
               // The menu's shortcut, while an entry has the focus.
               edit->activateWindow();
               ASSERT_TRUE(QTest::qWaitForWindowActive(edit));
               QTest::keyClick(edit->Item, Qt::Key_R, Qt::ControlModifier);
               EXPECT_EQ(EditMode, 2);
               Replace(edit->Item, "Second");
               QTest::keyClick(edit->Item, Qt::Key_R, Qt::ControlModifier);
               edit->CancelButton->click();  // nothing changed since the update: no question
             });
  EXPECT_TRUE(ui->MessageTexts().empty());
  ASSERT_EQ(main->MyTable.RecordCount(), 1);
  EXPECT_EQ(Field("Item"), "Second");
  EXPECT_EQ(main->MyTable.FieldByName("Quantity")->AsInteger(), 0);
  EXPECT_EQ(main->MyTable.FieldByName("Cost")->AsFloat(), 0);
}

TEST_F(TMyEditTest, DatesAreTypedThroughTheMaskAndAnInvalidOneIsReportedOnItsPage) {
  Start();
  ASSERT_EQ(Settings.dateFormat, 1);
  WhileModal([&] { main->MenuAdd->trigger(); },
             [&] {
               Type(edit->Item, "Clock");
               Type(edit->PurchDate, "12311995");
               EXPECT_EQ(edit->PurchDate->text(), "12/31/1995");
               edit->MenuUpdateExit->trigger();
             });
  ASSERT_EQ(main->MyTable.RecordCount(), 1);
  EXPECT_EQ(main->MyTable.FieldByName("PurchDate")->AsDateTime(), framework::EncodeDate(1995, 12, 31));
  EXPECT_TRUE(main->MyTable.FieldByName("WarDate")->IsNull());

  ui->answers = {Answer::Ok, Answer::Yes};
  WhileModal([&] { main->MenuAdd->trigger(); },
             [&] {
               EXPECT_EQ(edit->PurchDate->text(), "__/__/____");
               Type(edit->PurchDate, "13451999");
               edit->MenuUpdateExit->trigger();
               EXPECT_TRUE(edit->isVisible());
               EXPECT_EQ(edit->MyTabbedNoteBook->currentIndex(), 2);
               EXPECT_EQ(edit->focusWidget(), edit->PurchDate);
               edit->CancelButton->click();
             });
  EXPECT_EQ(main->MyTable.RecordCount(), 1);
  ASSERT_EQ(ui->calls.size(), 3u);
  EXPECT_EQ(ui->calls[0].message.text, "Invalid purchase date specified.  Please correct.");
  EXPECT_EQ(ui->calls[0].message.caption, "Error");
  EXPECT_EQ(ui->calls[1].kind, ScriptedUi::Call::kBeep);
  const platform::ui::MessageBoxRequest& exit = ui->calls[2].message;
  EXPECT_EQ(exit.text, "Data has changed.  Do you want to exit without updating?");
  EXPECT_EQ(exit.caption, "Warning");
  EXPECT_EQ(exit.buttons, platform::ui::Buttons::YesNo);
  EXPECT_EQ(exit.defaultButton, 1);
}

TEST_F(TMyEditTest, EveryEntryCheckOfAnUpdateShowsItsMessageOnItsPage) {
  Start();
  struct Case {
    QWidget* entry;
    const char* text;
    const char* message;
    int page;
  };
  const Case cases[] = {
      {edit->WarDate, "02301999", "Invalid warranty date specified.  Please correct.", 2},
      {edit->Cost, "abc", "Invalid cost specified.  Please correct.", 1},
      {edit->Value, "1..2", "Invalid value specified.  Please correct.", 1},
      {edit->RepCost, "x", "Invalid replacement cost specified.  Please correct.", 1},
      {edit->Quantity, "1.5", "Invalid quantity specified.  Please correct.", 1},
      // Too large for its N(12,2) field: refused before the record is opened.
      {edit->Cost, "1234567890", "Invalid cost specified.  Please correct.", 1},
  };
  for (const Case& c : cases) {
    ui->calls.clear();
    ui->answers = {Answer::Ok, Answer::Yes};
    WhileModal([&] { main->MenuAdd->trigger(); },
               [&] {
                 Replace(c.entry, c.text);
                 edit->UpdateButton->click();
                 EXPECT_EQ(edit->MyTabbedNoteBook->currentIndex(), c.page) << c.message;
                 EXPECT_EQ(edit->focusWidget(), c.entry) << c.message;
                 // Text that does not convert stays as typed when left.
                 if (auto* e = qobject_cast<QLineEdit*>(c.entry); e && c.page == 1) {
                   edit->Item->setFocus();
                   EXPECT_EQ(e->text(), c.text);
                 }
                 edit->DoExit();
               });
    ASSERT_FALSE(ui->MessageTexts().empty());
    EXPECT_EQ(ui->MessageTexts()[0], c.message);
    EXPECT_EQ(ui->MessageCaptions()[0], "Error");
  }
  EXPECT_EQ(main->MyTable.RecordCount(), 0);
}

TEST_F(TMyEditTest, ARefusedPostKeepsTheValuesAndTheModeAndTheNextUpdateInsertsOnce) {
  Start();
  AddRecord("Existing");
  bool refuse = true;
  main->MyTable.BeforePost = [&refuse](framework::TDataSet&) {
    if (refuse) throw framework::EDatabaseError("Disk refused the record.");
  };
  ui->answers = {Answer::Ok};
  WhileModal([&] { main->MenuAdd->trigger(); },
             [&] {
               Type(edit->Item, "Saw");
               edit->UpdateButton->click();
               EXPECT_EQ(EditMode, 1);
               EXPECT_EQ(edit->Item->text(), "Saw");
               EXPECT_EQ(main->MyTable.State(), framework::dsBrowse);
               refuse = false;
               edit->UpdateExitButton->click();
             });
  main->MyTable.BeforePost = nullptr;
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{"Disk refused the record."});
  ASSERT_EQ(main->MyTable.RecordCount(), 2);
  std::vector<std::string> items;
  for (main->MyTable.First(); !main->MyTable.Eof(); main->MyTable.Next()) items.push_back(Field("Item"));
  std::sort(items.begin(), items.end());
  EXPECT_EQ(items, (std::vector<std::string>{"Existing", "Saw"}));
}

TEST_F(TMyEditTest, MovingAndNewRecordsAskTheirQuestionsInTheirModes) {
  Start();
  AddRecord("A");
  AddRecord("B");
  main->MyTable.First();
  WhileModal([&] { main->MenuAdd->trigger(); },
             [&] {
               // Add mode: the shown values are not a record yet.
               ui->answers = {Answer::Cancel};
               edit->NextButton->click();
               EXPECT_EQ(EditMode, 1);
               EXPECT_EQ(edit->Item->text(), "");
               ui->answers = {Answer::No};
               edit->MenuPrevious->trigger();
               EXPECT_EQ(EditMode, 2);
               const QString first = edit->Item->text();
               // Edit mode, unchanged: no question; Next on the last record reloads it.
               edit->NextButton->click();
               const QString second = edit->Item->text();
               EXPECT_NE(first, second);
               edit->NextButton->click();
               EXPECT_EQ(edit->Item->text(), second);
               // Changed: the question, and No moves on without saving.
               Replace(edit->Model, "changed");
               ui->answers = {Answer::No};
               edit->PrevButton->click();
               EXPECT_EQ(edit->Item->text(), first);
               Replace(edit->Model, "again");
               ui->answers = {Answer::Cancel};
               edit->MenuNew->trigger();
               EXPECT_EQ(edit->Model->text(), "again");
               ui->answers = {Answer::No};
               edit->MenuNew->trigger();
               EXPECT_EQ(edit->windowTitle(), "Edit (New Record)");
               EXPECT_EQ(EditMode, 1);
               EXPECT_EQ(edit->Item->text(), "");
               Type(edit->Item, "Copied");
               ui->answers = {Answer::No};
               edit->MenuCopyRecord->trigger();
               EXPECT_EQ(edit->windowTitle(), "Edit (New Copied Record)");
               EXPECT_EQ(edit->Item->text(), "Copied");
               edit->MenuUpdateExit->trigger();
             });
  const std::vector<std::string> expected{
      "This record has not been updated yet.  Update this record before moving to the next record?",
      "This record has not been updated yet.  Update this record before moving to the previous record?",
      "Data has changed.  Update this record before moving to the previous record?",
      "Data has changed.  Update this record before creating new one?",
      "Data has changed.  Update this record before creating new one?",
      "Data has changed.  Update this record before creating new one with the current data?"};
  EXPECT_EQ(ui->MessageTexts(), expected);
  for (const ScriptedUi::Call& c : ui->calls) {
    if (c.kind != ScriptedUi::Call::kMessage) continue;
    EXPECT_EQ(c.message.caption, "Warning");
    EXPECT_EQ(c.message.buttons, platform::ui::Buttons::YesNoCancel);
    EXPECT_EQ(c.message.defaultButton, 1);
  }
  EXPECT_EQ(main->MyTable.RecordCount(), 3);
  EXPECT_EQ(Field("Item"), "Copied");
}

TEST_F(TMyEditTest, EnterWalksThePagesAndFromTheLastEntryReturnsToItem) {
  Start();
  WhileModal([&] { main->MenuAdd->trigger(); },
             [&] {
               edit->Item->setFocus();
               int pageChanges = 0;
               int lastPage = 0;
               for (int i = 0; i < kEditorEntryCount; ++i) {
                 QWidget* f = edit->focusWidget();
                 QTest::keyClick(f, Qt::Key_Return);
                 if (edit->MyTabbedNoteBook->currentIndex() != lastPage) ++pageChanges;
                 lastPage = edit->MyTabbedNoteBook->currentIndex();
                 if (i == eUserDef3) {
                   EXPECT_EQ(edit->focusWidget(), edit->UserDef4);
                 }
               }
               EXPECT_EQ(pageChanges, 4);
               EXPECT_EQ(edit->MyTabbedNoteBook->currentIndex(), 0);
               EXPECT_EQ(edit->focusWidget(), edit->Item);
               // Enter on a button is swallowed: it neither presses it nor moves.
               QTest::keyClick(edit->ClearButton, Qt::Key_Return);
               EXPECT_TRUE(edit->isVisible());
               edit->DoExit();
             });
}

TEST_F(TMyEditTest, ClipboardItemsAndHelpActOnTheFocusedEntry) {
  Start();
  WhileModal([&] { main->MenuAdd->trigger(); },
             [&] {
               Type(edit->Item, "Vase");
               edit->Item->selectAll();
               edit->MenuCut->trigger();
               EXPECT_EQ(edit->Item->text(), "");
               edit->Brand->setFocus();
               edit->MenuPaste->trigger();
               EXPECT_EQ(edit->Brand->currentText(), "Vase");
               edit->PurchDate->setFocus();
               edit->MenuPaste->trigger();  // letters do not go into a date
               EXPECT_EQ(edit->PurchDate->EditText(), "  /  /    ");
               edit->PurchDate->SetEditText("01/02/2003");
               edit->PurchDate->setSelection(0, 3);
               edit->MenuDelete->trigger();
               EXPECT_EQ(edit->PurchDate->EditText(), "  /02/2003");
               edit->MenuHelp->trigger();
               edit->MenuClear->trigger();
               edit->DoExit();
             });
  ASSERT_FALSE(ui->calls.empty());
  const ScriptedUi::Call& help = ui->calls.back();
  EXPECT_EQ(help.kind, ScriptedUi::Call::kHelp);
  EXPECT_EQ(help.help.keyword, "Input Window");
  EXPECT_EQ(fs::path(help.help.file).filename(), "KELDRO.HLP");
}

TEST_F(TMyEditTest, EveryMenuShortcutWinsOverTheFocusedEntrysOwnKey) {
  Start();
  AddRecord("Hammer");
  AddRecord("Lamp");
  // Each key pressed with the cursor inside the Item entry runs its menu
  // item, and nothing else; the entry's own binding of the key (Ctrl+U
  // empties the line, Ctrl+H deletes a character, Ctrl+E goes to the end)
  // never runs. `item` is the entry's text afterwards.
  main->MyTable.First();
  const std::string first = Field("Item");
  main->MyTable.Last();
  const std::string last = Field("Item");
  enum Shows { kLast, kFirst, kEmpty };
  const struct {
    const char* key;
    QAction* TMyEdit::*action;
    Shows item;
    bool closes;
  } cases[] = {
      {"Ctrl+E", &TMyEdit::MenuNew, kEmpty, false},          {"Ctrl+Y", &TMyEdit::MenuCopyRecord, kLast, false},
      {"Ctrl+L", &TMyEdit::MenuClear, kEmpty, false},        {"Ctrl+R", &TMyEdit::MenuUpdate, kLast, false},
      {"Ctrl+U", &TMyEdit::MenuUpdateExit, kLast, true},     {"Ctrl+P", &TMyEdit::MenuPrevious, kFirst, false},
      {"Ctrl+N", &TMyEdit::MenuNext, kLast, false},          {"Ctrl+X", &TMyEdit::MenuCut, kLast, false},
      {"Ctrl+C", &TMyEdit::MenuCopy, kLast, false},          {"Ctrl+V", &TMyEdit::MenuPaste, kLast, false},
      {"Ctrl+D", &TMyEdit::MenuDelete, kLast, false},        {"Ctrl+H", &TMyEdit::MenuHelp, kLast, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    main->MyTable.Last();
    QApplication::clipboard()->clear();
    std::map<QAction*, int> fired;
    bool closed = true;
    WhileModal([&] { main->MenuEdit->trigger(); },
               [&] {
                 std::vector<QMetaObject::Connection> spies;
                 for (QAction* a : edit->MainMenu->findChildren<QAction*>())
                   spies.push_back(QObject::connect(a, &QAction::triggered, [&fired, a] { ++fired[a]; }));
                 // A window's shortcuts work once it is the active window.
                 edit->activateWindow();
                 ASSERT_TRUE(QTest::qWaitForWindowActive(edit));
                 edit->Item->setFocus();
                 edit->Item->setCursorPosition(2);
                 QTest::keySequence(edit->Item, QKeySequence(c.key));
                 for (const auto& spy : spies) QObject::disconnect(spy);
                 closed = !edit->isVisible();
                 EXPECT_EQ(edit->Item->text().toStdString(), c.item == kEmpty ? "" : c.item == kFirst ? first : last);
                 if (closed) return;
                 if (edit->ValuesChanged()) ui->answers.push_back(Answer::Yes);  // exit without updating
                 edit->reject();
               });
    EXPECT_EQ(fired, (std::map<QAction*, int>{{edit->*c.action, 1}}));
    EXPECT_EQ(closed, c.closes);
  }
  EXPECT_TRUE(ui->unexpected.empty());
}

TEST_F(TMyEditTest, BrowseOnlyModeDisablesChangesAndNeverAsks) {
  Start({"keldro", "/browse"});
  AddRecord("Lamp");
  WhileModal([&] { main->MenuEdit->trigger(); },
             [&] {
               for (QAction* a : {edit->MenuNew, edit->MenuClear, edit->MenuUpdate, edit->MenuUpdateExit,
                                  edit->MenuCut, edit->MenuCopy, edit->MenuPaste, edit->MenuDelete})
                 EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
               for (QPushButton* b : {edit->UpdateExitButton, edit->UpdateButton, edit->ClearButton})
                 EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
               EXPECT_TRUE(edit->NextButton->isEnabled());
               Replace(edit->Item, "changed");
               edit->NextButton->click();
               Replace(edit->Item, "changed");
               // Copy Record stays offered, but nothing it leads to writes.
               edit->MenuCopyRecord->trigger();
               EXPECT_EQ(edit->windowTitle(), "Edit (New Copied Record)");
               EXPECT_FALSE(edit->DoUpdate());
               edit->CancelButton->click();
             });
  EXPECT_TRUE(ui->MessageTexts().empty());
  EXPECT_EQ(main->MyTable.RecordCount(), 1);
  EXPECT_EQ(Field("Item"), "Lamp");
}

TEST_F(TMyEditTest, ListMaintenanceEditsAListAndOkWritesEveryListFile) {
  TempRoot::WriteFile(Program("BOUGHT.LST"), "Mart\nbazaar\n");
  TempRoot::WriteFile(Program("OWNER.LST"), "Me\r\n");
  Start();
  QAction* bought = main->MenuListMaintenance->findChild<QAction*>("MenuList3");
  ASSERT_NE(bought, nullptr);
  EXPECT_EQ(bought->text(), "Purchased From");
  ui->answers = {Answer::Yes};
  WhileModal([&] { bought->trigger(); },
             [&] {
               auto* box = qobject_cast<TMyEditBox*>(QApplication::activeModalWidget());
               ASSERT_NE(box, nullptr);
               EXPECT_EQ(box->windowTitle(), "Edit \"Purchased From\" List");
               EXPECT_EQ(box->AddInfo->maxLength(), 40);
               EXPECT_EQ(box->TheList->currentRow(), 0);
               EXPECT_EQ(ListItems(box->TheList), (QStringList{"Mart", "bazaar"}));
               box->AddInfo->setText("  Zed  ");
               box->AddButton->click();
               box->AddInfo->setText("   ");
               box->AddButton->click();
               EXPECT_EQ(ListItems(box->TheList), (QStringList{"Mart", "bazaar", "Zed"}));
               box->AddInfo->setText("Aardvark");
               box->AddButton->click();
               box->TheList->setCurrentRow(3);
               box->DeleteButton->click();
               EXPECT_EQ(box->TheList->currentRow(), 2);
               box->SortButton->click();
               EXPECT_EQ(ListItems(box->TheList), (QStringList{"bazaar", "Mart", "Zed"}));
               box->OkButton->click();
             });
  EXPECT_EQ(ui->MessageTexts(),
            std::vector<std::string>{"Are you sure you want to sort the data?  Sorting cannot be undone."});
  EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Confirm"});
  EXPECT_EQ(ComboItems(edit->Bought), (QStringList{"bazaar", "Mart", "Zed"}));
  EXPECT_EQ(main->PickLists[2], (std::vector<std::string>{"bazaar", "Mart", "Zed"}));
  EXPECT_EQ(TempRoot::ReadFile(Program("BOUGHT.LST")), "bazaar\r\nMart\r\nZed\r\n");
  EXPECT_EQ(TempRoot::ReadFile(Program("OWNER.LST")), "Me\r\n");
  for (std::string_view f : kPickListFiles) EXPECT_TRUE(fs::exists(Program(std::string(f)))) << f;
}

TEST_F(TMyEditTest, ListMaintenanceCancelLeavesCombosAndFilesAndCategoryTakesTwenty) {
  TempRoot::WriteFile(Program("CATEGORY.LST"), "Tools\nGarden\n");
  Start();
  QAction* category = main->MenuListMaintenance->findChild<QAction*>("MenuList4");
  ASSERT_NE(category, nullptr);
  WhileModal([&] { category->trigger(); },
             [&] {
               auto* box = qobject_cast<TMyEditBox*>(QApplication::activeModalWidget());
               ASSERT_NE(box, nullptr);
               EXPECT_EQ(box->AddInfo->maxLength(), 20);
               box->TheList->setCurrentRow(0);
               box->DeleteButton->click();
               box->CancelButton->click();
             });
  EXPECT_EQ(ComboItems(edit->Category), (QStringList{"Tools", "Garden"}));
  EXPECT_EQ(TempRoot::ReadFile(Program("CATEGORY.LST")), "Tools\nGarden\n");
  EXPECT_FALSE(fs::exists(Program("BRAND.LST")));
}

// The editor's pages, the list editor: rendered at two scales in the edit
// colours "Midnight Black", into the test pictures folder.
TEST_F(TMyEditTest, WindowsRenderInMidnightBlackAtBothScales) {
  TempRoot::WriteFile(Program("BRAND.LST"), "Acme\r\nBosch\r\n");
  Start();
  Settings.colors[1] = MidnightBlack();
  Settings.colors[4] = MidnightBlack();
  AddRecord("Cordless drill", "Bosch", 2);
  for (double scale : {1.0, 1.6}) {
    ScaleFactor = scale;
    WhileModal([&] { main->MenuEdit->trigger(); },
               [&] {
                 // Shown a second time, after its pages were turned: the
                 // design geometry still belongs to the same controls.
                 EXPECT_EQ(edit->width(), qRound(560 * scale));
                 EXPECT_EQ(edit->Quantity->geometry(), QRect(qRound(130 * scale), qRound(40 * scale),
                                                             qRound(120 * scale), qRound(22 * scale)));
                 const QPalette p = edit->Item->palette();
                 EXPECT_EQ(p.color(QPalette::Base), QColor(127, 127, 127));
                 EXPECT_EQ(edit->palette().color(QPalette::Window), QColor(0, 0, 0));
                 EXPECT_EQ(edit->TotLabel->palette().color(QPalette::WindowText), QColor(192, 192, 192));
                 EXPECT_EQ(edit->Warranty->palette().color(edit->Warranty->backgroundRole()), QColor(0, 0, 0));
                 EXPECT_TRUE(edit->MainMenu->isVisible());
                 EXPECT_GE(edit->MainMenu->height(), 20);
                 EXPECT_EQ(edit->FieldLabels[eItem]->palette().color(QPalette::WindowText), QColor(255, 255, 255));
                 for (int page = 0; page < 4; ++page) {
                   edit->MyTabbedNoteBook->setCurrentIndex(page);
                   edit->grab().save(QString::fromStdString(testing_support::ShotPath(QString("edit-page%1-%2.png").arg(page).arg(scale).toStdString())));
                 }
                 edit->DoExit();
               });
    WhileModal([&] { main->MenuListMaintenance->findChild<QAction*>("MenuList1")->trigger(); },
               [&] {
                 auto* box = qobject_cast<TMyEditBox*>(QApplication::activeModalWidget());
                 ASSERT_NE(box, nullptr);
                 EXPECT_EQ(box->TheList->palette().color(QPalette::Base), QColor(127, 127, 127));
                 box->grab().save(QString::fromStdString(testing_support::ShotPath(QString("listeditor-%1.png").arg(scale).toStdString())));
                 box->CancelButton->click();
               });
  }
  ScaleFactor = 1.0;
}

}  // namespace
}  // namespace keldro
