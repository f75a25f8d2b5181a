// Export and import through the main window's commands offscreen: the text
// file's exact lines, the dBASE export by value, the round trip, and the
// files an import refuses whole.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app_state.h"
#include "framework/dbtables.h"
#include "framework/sysutils.h"
#include "platform/ui.h"
#include "temp_root.h"
#include "tmain.h"
#include "tmysearch.h"
#include "tmyexport.h"
#include "tmyimport.h"
#include "window_test.h"
#include "shot_path.h"

namespace keldro {
namespace {

namespace fs = std::filesystem;
using platform::ui::Answer;
using platform::ui::FileDialogResult;
using testing_support::TempRoot;

class ImportExportTest : public WindowTest {
 protected:
  void TearDown() override {
    main.reset();
    WindowTest::TearDown();
  }

  void Start() {
    main = std::make_unique<TMain>(TMain::StartOptions{{"keldro"}, QSize(1280, 1024)});
    ASSERT_FALSE(main->Terminated());
    main->show();
    // The first activation's tip of the day comes and goes (the watcher
    // closes it) before any command runs.
    main->activateWindow();
    QApplication::processEvents();
    QApplication::processEvents();
  }

  void AddRecord(const std::string& item, const std::string& brand, double cost, int year = 1995) {
    main->MyTable.Append();
    main->MyTable.FieldByName("Item")->SetAsString(item);
    main->MyTable.FieldByName("Brand")->SetAsString(brand);
    main->MyTable.FieldByName("Quantity")->SetAsInteger(3);
    main->MyTable.FieldByName("Cost")->SetAsFloat(cost);
    main->MyTable.FieldByName("PurchDate")->SetAsDateTime(framework::EncodeDate(year, 12, 31));
    main->MyTable.Post();
  }

  void Choose(const fs::path& file) { ui->files.push_back(FileDialogResult{true, file.string(), 1}); }

  // Export through the menu: `prepare` sets the window up before Start.
  void Export(const fs::path& file, const std::function<void(TMyExport&)>& prepare = {}) {
    Choose(file);
    WhileModal([&] { main->MenuExport->trigger(); },
               [&] {
                 auto* w = qobject_cast<TMyExport*>(QApplication::activeModalWidget());
                 ASSERT_NE(w, nullptr);
                 if (prepare) prepare(*w);
                 ui->answers.push_back(Answer::Ok);  // "Export Complete."
                 w->StartExportButton->click();
               });
  }

  // Import a text file through the chooser; `inside` runs in the mapping window.
  void ImportText(const fs::path& file, const std::function<void(TMyImport&)>& inside) {
    Choose(file);
    WhileModal([&] { main->MenuImport->trigger(); },
               [&] {
                 auto* chooser = qobject_cast<TImportFormat*>(QApplication::activeModalWidget());
                 ASSERT_NE(chooser, nullptr);
                 chooser->AsciiDelimited->setChecked(true);
                 WhileModal([&] { chooser->FileButton->click(); },
                            [&] {
                              auto* import = qobject_cast<TMyImport*>(QApplication::activeModalWidget());
                              ASSERT_NE(import, nullptr);
                              inside(*import);
                            });
                 if (QApplication::activeModalWidget() == chooser) chooser->CancelButton->click();
               });
  }

  std::unique_ptr<TMain> main;
};

TEST_F(ImportExportTest, ATextExportWritesTheTitlesAndQuotedValues) {
  Start();
  AddRecord("He said \"hi\"", "  Acme", 10.5);
  const fs::path out = root.path() / "OUT.TXT";
  Export(out);
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{"Export Complete."});
  const std::string text = TempRoot::ReadFile(out);
  const std::string titles =
      "\"Item\",\"Brand\",\"Model\",\"Serial Number\",\"Location\",\"Description\",\"Purchased From\",\"ID "
      "Marks\",\"Quantity\",\"Purchase Date\",\"Cost\",\"Category\",\"Replacement Cost\",\"Warranty\",\"Warranty "
      "Date\",\"Warranty Notes\",\"Owner\",\"Value\",\"User Defined 1\",\"User Defined 2\",\"User Defined 3\",\"User "
      "Defined 4\"\r\n";
  ASSERT_EQ(text.substr(0, titles.size()), titles);
  const std::string values = "\"He said \"\"hi\"\"\",\"Acme\",\"\",";
  EXPECT_EQ(text.substr(titles.size(), values.size()), values);
  // The year in four digits, in the date format's order.
  EXPECT_NE(text.find(",\"3\",\"12/31/1995\",\"10.50\","), std::string::npos) << text;
}

TEST_F(ImportExportTest, ADBaseExportCopiesValuesInTheChosenOrder) {
  Start();
  AddRecord("Hammer", "Acme", 12.25, 1995);
  AddRecord("Saw", "Zed", 99.5, 2021);
  const fs::path out = root.path() / "EXP.DBF";
  Export(out, [](TMyExport& w) {
    w.DBaseFile->click();
    EXPECT_FALSE(w.FirstRow->isVisible());
    // Only Item and Cost, Cost moved above Item.
    for (int r = 1; r <= 22; ++r) {
      const QString title = w.ExportGrid->item(r, 0)->text();
      if (title != "Item" && title != "Cost") w.ExportGridDblClick(r, 1);
    }
    w.ExportGrid->setCurrentCell(11, 0);
    for (int i = 0; i < 10; ++i) w.UpButtonClick();
  });
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{"Export Complete."});
  ASSERT_TRUE(fs::exists(out));
  EXPECT_FALSE(fs::exists(root.path() / "EXP.MDX"));
  const std::string bytes = TempRoot::ReadFile(out);
  EXPECT_EQ(bytes[28], 0);
  framework::TTable t;
  t.SetDatabaseName(root.path().string());
  t.SetTableName("EXP.DBF");
  t.SetReadOnly(true);
  t.Open();
  ASSERT_EQ(t.FieldCount(), 2);
  EXPECT_EQ(t.Fields(0)->FieldName(), "COST");
  EXPECT_EQ(t.Fields(1)->FieldName(), "ITEM");
  EXPECT_EQ(t.RecordCount(), 2);
  t.First();
  EXPECT_DOUBLE_EQ(t.Fields(0)->AsFloat(), 12.25);
  EXPECT_EQ(t.Fields(1)->AsString(), "Hammer");
  t.Close();
  // The order is in the settings when the window closes.
  EXPECT_EQ(Settings.fields[10].exportOrder, 1);
  EXPECT_FALSE(Settings.fields[1].exportField);
  EXPECT_EQ(Settings.exportFileType, 2);

  ui->files.push_back(FileDialogResult{true, (root.path() / "out.txt").string(), 1});
  WhileModal([&] { main->MenuExport->trigger(); },
             [&] {
               auto* w = qobject_cast<TMyExport*>(QApplication::activeModalWidget());
               ASSERT_NE(w, nullptr);
               ui->answers.push_back(Answer::Ok);
               w->StartExportButton->click();
               EXPECT_EQ(ui->MessageTexts().back(), "Invalid file type selected.");
               w->ExitButton->click();
             });
  EXPECT_FALSE(fs::exists(root.path() / "out.txt"));
}

TEST_F(ImportExportTest, ExportedRecordsImportBackAndExportTheSameLines) {
  Start();
  for (int i = 0; i < 5; ++i) AddRecord("Item " + std::to_string(i), "Brand", 1.5 * i, 1990 + i);
  const fs::path out = root.path() / "ALL.TXT";
  Export(out);
  ASSERT_EQ(main->MyTable.RecordCount(), 5);
  ImportText(out, [&](TMyImport& w) {
    EXPECT_EQ(w.windowTitle(), "Ascii Delimited Text Import");
    EXPECT_EQ(w.ImportGrid->item(1, 1)->text(), "Item");
    w.SkipFirst->setChecked(true);
    w.SkipFirstClick();
    ui->answers.push_back(Answer::Ok);  // "Import Complete."
    w.StartButton->click();
    EXPECT_EQ(w.ImportedCount(), 5);
  });
  EXPECT_EQ(ui->MessageTexts().back(), "Import Complete.");
  EXPECT_EQ(main->MyTable.RecordCount(), 10);
  // The five copies export to the same lines as their originals.
  const std::string first = TempRoot::ReadFile(out);
  const fs::path again = root.path() / "AGAIN.TXT";
  Export(again);
  const std::string second = TempRoot::ReadFile(again);
  const std::string body = first.substr(first.find("\r\n") + 2);
  EXPECT_EQ(second, first.substr(0, first.find("\r\n") + 2) + body + body);
}

TEST_F(ImportExportTest, LineEndsInAValueAndDatesOfAnyCenturyComeBackFromTheirOwnExport) {
  Start();
  ASSERT_EQ(framework::ShortDateFormat, "m/d/yy");  // date format 1
  main->MyTable.Append();
  main->MyTable.FieldByName("Item")->SetAsString("Lamp");
  main->MyTable.FieldByName("Descriptio")->SetAsString("line1\r\nline2");
  main->MyTable.FieldByName("Quantity")->SetAsInteger(2);
  main->MyTable.FieldByName("PurchDate")->SetAsDateTime(framework::EncodeDate(1, 1, 1));
  main->MyTable.FieldByName("Cost")->SetAsFloat(12.5);
  main->MyTable.FieldByName("Warranty")->SetAsString("Yes");
  main->MyTable.FieldByName("WarDate")->SetAsDateTime(framework::EncodeDate(9999, 12, 31));
  main->MyTable.FieldByName("UserDef4")->SetAsString("He said \"so\"");
  main->MyTable.Post();
  const fs::path out = root.path() / "ROUND.TXT";
  Export(out);
  const std::string text = TempRoot::ReadFile(out);
  EXPECT_NE(text.find(",\"line1\r\nline2\","), std::string::npos) << text;
  EXPECT_NE(text.find(",\"1/1/0001\","), std::string::npos) << text;
  EXPECT_NE(text.find(",\"12/31/9999\","), std::string::npos) << text;
  ImportText(out, [&](TMyImport& w) {
    w.SkipFirst->setChecked(true);
    w.SkipFirstClick();
    ui->answers.push_back(Answer::Ok);
    w.StartButton->click();
    EXPECT_EQ(w.ImportedCount(), 1);
  });
  EXPECT_EQ(ui->MessageTexts().back(), "Import Complete.");
  ASSERT_EQ(main->MyTable.RecordCount(), 2);
  framework::TTable t;
  t.SetDatabaseName(fs::path(main->CurrentDatabase()).parent_path().string());
  t.SetTableName(fs::path(main->CurrentDatabase()).filename().string());
  t.SetReadOnly(true);
  t.Open();
  t.First();
  std::vector<std::string> first;
  for (int i = 0; i < t.FieldCount(); ++i) first.push_back(t.Fields(i)->AsString());
  std::vector<double> firstDates{t.FieldByName("PurchDate")->AsDateTime(), t.FieldByName("WarDate")->AsDateTime()};
  t.Next();
  ASSERT_FALSE(t.Eof());
  EXPECT_EQ(t.FieldByName("Descriptio")->AsString(), "line1\r\nline2");
  EXPECT_EQ(t.FieldByName("PurchDate")->AsDateTime(), framework::EncodeDate(1, 1, 1));
  EXPECT_EQ(t.FieldByName("WarDate")->AsDateTime(), framework::EncodeDate(9999, 12, 31));
  EXPECT_EQ(t.FieldByName("PurchDate")->AsDateTime(), firstDates[0]);
  EXPECT_EQ(t.FieldByName("WarDate")->AsDateTime(), firstDates[1]);
  for (int i = 0; i < t.FieldCount(); ++i) EXPECT_EQ(t.Fields(i)->AsString(), first[static_cast<size_t>(i)]) << i;
  t.Close();
}

TEST_F(ImportExportTest, TheNextStartRemovesWhatAKilledExportOrRestoreLeft) {
  Start();
  const fs::path exports = root.path() / "exports";
  fs::create_directories(exports);
  Export(exports / "FIRST.TXT");
  main->close();  // the settings keep where the export went
  main.reset();
  // As a kill before each rename leaves them.
  const std::vector<fs::path> left = {exports / "~EXP.EXPORTING.DBF", Program(".restore-OTHER.DBF"),
                                      Program(".BRAND.LST.copy-a1b2c3"), exports / ".FIRST.TXT.Zx81Qw"};
  for (const fs::path& file : left) TempRoot::WriteFile(file, "partial");
  Start();
  for (const fs::path& file : left) EXPECT_FALSE(fs::exists(file)) << file;
  EXPECT_TRUE(fs::exists(exports / "FIRST.TXT"));
}

TEST_F(ImportExportTest, AFileWithABadLineImportsNothingAndNamesIt) {
  Start();
  std::string content = "\"Item\",\"Cost\"\r\n";
  for (int i = 2; i <= 60; ++i) content += "\"thing\",\"" + std::string(i == 57 ? "abc" : "2.5") + "\"\r\n";
  const fs::path file = root.path() / "BAD.TXT";
  TempRoot::WriteFile(file, content);
  ImportText(file, [&](TMyImport& w) {
    w.SkipFirst->setChecked(true);
    w.SkipFirstClick();
    // Item against Item; Cost moved down to the Cost row.
    w.ImportGrid->setCurrentCell(2, 1);
    for (int i = 0; i < 9; ++i) w.DownButtonClick();
    ASSERT_EQ(w.ImportGrid->item(11, 1)->text(), "Cost");
    ui->answers.push_back(Answer::Ok);
    w.StartButton->click();
    EXPECT_EQ(w.ImportedCount(), 0);
    w.ExitButton->click();
  });
  ASSERT_FALSE(ui->MessageTexts().empty());
  EXPECT_NE(ui->MessageTexts().back().find("Line 57, value 2"), std::string::npos) << ui->MessageTexts().back();
  EXPECT_EQ(main->MyTable.RecordCount(), 0);
}

TEST_F(ImportExportTest, AFirstLineOfTooManyValuesIsRefusedBeforeTheMapping) {
  Start();
  std::string line;
  for (int i = 0; i < 33; ++i) line += std::string(i ? "," : "") + "\"v" + std::to_string(i) + "\"";
  const fs::path file = root.path() / "WIDE.TXT";
  TempRoot::WriteFile(file, line + "\r\n");
  Choose(file);
  WhileModal([&] { main->MenuImport->trigger(); },
             [&] {
               auto* chooser = qobject_cast<TImportFormat*>(QApplication::activeModalWidget());
               ASSERT_NE(chooser, nullptr);
               chooser->AsciiDelimited->setChecked(true);
               ui->answers.push_back(Answer::Ok);
               chooser->FileButton->click();  // refused: no mapping window to answer
               EXPECT_EQ(chooser->Import(), nullptr);
               chooser->CancelButton->click();
             });
  ASSERT_EQ(ui->MessageTexts().size(), 1u);
  EXPECT_NE(ui->MessageTexts()[0].find("There are at least 10 more fields than are required by Stashwell."),
            std::string::npos);
}

TEST_F(ImportExportTest, TheOpenDatabaseIsNeverItsOwnExportOrImport) {
  Start();
  AddRecord("Hammer", "Acme", 1);
  const std::string before = TempRoot::ReadFile(main->CurrentDatabase());
  Choose(main->CurrentDatabase());
  WhileModal([&] { main->MenuExport->trigger(); },
             [&] {
               auto* w = qobject_cast<TMyExport*>(QApplication::activeModalWidget());
               w->DBaseFile->click();
               ui->answers.push_back(Answer::Ok);
               w->StartExportButton->click();
               w->ExitButton->click();
             });
  EXPECT_NE(ui->MessageTexts().back().find("cannot be exported onto itself"), std::string::npos);
  EXPECT_EQ(TempRoot::ReadFile(main->CurrentDatabase()), before);
  Choose(main->CurrentDatabase());
  WhileModal([&] { main->MenuImport->trigger(); },
             [&] {
               auto* chooser = qobject_cast<TImportFormat*>(QApplication::activeModalWidget());
               chooser->DBFFormat->setChecked(true);
               ui->answers.push_back(Answer::Ok);
               chooser->FileButton->click();
               chooser->CancelButton->click();
             });
  EXPECT_NE(ui->MessageTexts().back().find("cannot be imported into itself"), std::string::npos);
  EXPECT_EQ(main->MyTable.RecordCount(), 1);
}

TEST_F(ImportExportTest, WindowsRenderedForALook) {
  Start();
  WhileModal([&] { main->MenuExport->trigger(); },
             [&] {
               auto* w = qobject_cast<TMyExport*>(QApplication::activeModalWidget());
               w->grab().save(QString::fromStdString(testing_support::ShotPath("export.png")));
               w->ExitButton->click();
             });
  std::string wide;
  for (int i = 0; i < 32; ++i) wide += std::string(i ? "," : "") + "\"Column " + std::to_string(i + 1) + "\"";
  for (const auto& [name, content] : {std::pair<std::string, std::string>{"22", "\"Item\",\"Brand\"\r\n"},
                                      std::pair<std::string, std::string>{"32", wide + "\r\n"}}) {
    const fs::path file = root.path() / (name + ".TXT");
    TempRoot::WriteFile(file, content);
    ImportText(file, [&](TMyImport& w) {
      EXPECT_EQ(w.ImportGrid->rowCount(), name == "32" ? 33 : 23);
      w.grab().save(QString::fromStdString(testing_support::ShotPath("import-" + name + ".png")));
      w.ExitButton->click();
    });
  }
  Choose(root.path() / "NONE.TXT");
  ui->files.clear();
  WhileModal([&] { main->MenuImport->trigger(); },
             [&] {
               auto* chooser = qobject_cast<TImportFormat*>(QApplication::activeModalWidget());
               chooser->grab().save(QString::fromStdString(testing_support::ShotPath("import-format.png")));
               chooser->CancelButton->click();
             });
}

}  // namespace
}  // namespace keldro

namespace keldro {
namespace {

TEST_F(ImportExportTest, ExportingEverythingDuringASearchWritesAllAndKeepsTheSearch) {
  Start();
  AddRecord("Hammer", "Acme", 1);
  AddRecord("Saw", "Zed", 2);
  // A search for "ham": one of the two.
  modals->On("MySearch", [&](QDialog&) {
    main->MySearch->SetCellText(1, "ham");
    main->MySearch->OkButton->click();
  });
  main->MenuSearch->trigger();
  ASSERT_TRUE(SearchActive);
  ASSERT_EQ(main->CountLabel->text(), "1");
  const fs::path all = root.path() / "ALL.TXT";
  Export(all, [](TMyExport& w) {
    EXPECT_TRUE(w.ExportSearch->isChecked());
    w.ExportEntire->click();
  });
  const std::string text = TempRoot::ReadFile(all);
  EXPECT_NE(text.find("\"Hammer\""), std::string::npos);
  EXPECT_NE(text.find("\"Saw\""), std::string::npos);
  EXPECT_TRUE(SearchActive);
  EXPECT_TRUE(main->SearchOnLabel->isVisible());
  EXPECT_EQ(main->CountLabel->text(), "1");
  // "Export Search Criteria" writes the matches alone.
  const fs::path some = root.path() / "SOME.TXT";
  Export(some);
  EXPECT_NE(TempRoot::ReadFile(some).find("\"Hammer\""), std::string::npos);
  EXPECT_EQ(TempRoot::ReadFile(some).find("\"Saw\""), std::string::npos);
}

// A text export the disk cannot take says so and leaves the old file as it
// was, with nothing beside it (a file size limit stands for a full disk).
TEST_F(ImportExportTest, ATextExportStoppedByAFullDiskLeavesTheOldFile) {
  Start();
  for (int i = 0; i < 30; ++i) AddRecord("Thing " + std::to_string(i), "Acme", i);
  const fs::path folder = root.path() / "exports", out = folder / "OLD.TXT";
  fs::create_directories(folder);
  TempRoot::WriteFile(out, "\"old\"\r\n");
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  std::signal(SIGXFSZ, SIG_IGN);
  Choose(out);
  WhileModal([&] { main->MenuExport->trigger(); },
             [&] {
               auto* w = qobject_cast<TMyExport*>(QApplication::activeModalWidget());
               ASSERT_NE(w, nullptr);
               struct rlimit small = old;
               small.rlim_cur = 1000;  // the 30 lines take more
               ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
               ui->answers.push_back(Answer::Ok);
               w->StartExportButton->click();
               setrlimit(RLIMIT_FSIZE, &old);
               w->ExitButton->click();
             });
  std::signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(ui->MessageTexts(),
            std::vector<std::string>{"The export file " + out.string() + " could not be written: File too large."});
  EXPECT_EQ(TempRoot::ReadFile(out), "\"old\"\r\n");
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"OLD.TXT"});
}

TEST_F(ImportExportTest, AnImportStoppedByAFullDiskLeavesTheCountAsBefore) {
  Start();
  AddRecord("Hammer", "Acme", 1);
  std::string content = "\"Item\",\"Brand\"\r\n";
  for (int i = 0; i < 300; ++i) content += "\"Thing " + std::to_string(i) + "\",\"" + std::string(19, 'b') + "\"\r\n";
  const fs::path file = root.path() / "MANY.TXT";
  TempRoot::WriteFile(file, content);
  // A file-size limit stands for a full disk: the table's files may grow a
  // little, then every write past the limit fails.
  std::uintmax_t largest = 0;
  for (const char* name : {"MASTER.DBF", "MASTER.MDX"})
    largest = std::max(largest, fs::file_size(Program(name)));
  const std::string dbfBefore = TempRoot::ReadFile(Program("MASTER.DBF"));
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  std::signal(SIGXFSZ, SIG_IGN);
  ImportText(file, [&](TMyImport& w) {
    w.SkipFirst->setChecked(true);
    w.SkipFirstClick();
    struct rlimit small = old;
    small.rlim_cur = largest + 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ui->answers.push_back(Answer::Ok);
    w.StartButton->click();
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(w.ImportedCount(), 0);
    w.ExitButton->click();
  });
  std::signal(SIGXFSZ, SIG_DFL);
  ASSERT_FALSE(ui->MessageTexts().empty());
  EXPECT_NE(ui->MessageTexts().back().find("The import was stopped."), std::string::npos) << ui->MessageTexts().back();
  EXPECT_NE(ui->MessageTexts().back().find("the database is as it was"), std::string::npos);
  main->MyTable.Refresh();
  EXPECT_EQ(main->MyTable.RecordCount(), 1);
  EXPECT_EQ(main->CountLabel->text(), "1");
  // As it was: the same length (nothing past the last record), the same
  // records and header, none flagged deleted; only the reserved bytes where
  // the engine counts its changes for the index may differ.
  std::string dbfAfter = TempRoot::ReadFile(Program("MASTER.DBF"));
  ASSERT_EQ(dbfAfter.size(), dbfBefore.size());
  std::string expected = dbfBefore;
  expected.replace(12, 16, 16, '\0');
  dbfAfter.replace(12, 16, 16, '\0');
  EXPECT_TRUE(dbfAfter == expected);
  EXPECT_FALSE(fs::exists(Program("MASTER.JNL")));
}

}  // namespace
}  // namespace keldro
