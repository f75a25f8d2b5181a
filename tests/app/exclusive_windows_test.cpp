// The windows that need the inventory table to themselves: Sort Order,
// Search and Replace, Backup and Restore, opened through the main window's
// commands offscreen and answered through the scripted message boxes. Full
// disks are stood in by the free-space probe and by a file size limit.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app_state.h"
#include "core/backup_restore.h"
#include "core/item_fields.h"
#include "core/old_databases.h"
#include "core/search_replace.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "reports/report_file.h"
#include "reports/tmyreport.h"
#include "tmain.h"
#include "tmybackup.h"
#include "tmyedit.h"
#include "tmyrestore.h"
#include "tmysortorder.h"
#include "tsearchandreplace.h"
#include "window_test.h"
#include "shot_path.h"

namespace keldro {
namespace {

namespace fs = std::filesystem;
using framework::TTable;
using platform::ui::Answer;
using testing_support::TempRoot;

constexpr std::string_view kSortInUse =
    "Creating a new sort order requires exclusive use of the DBase File.  Make sure that the DBase File is not "
    "in use by another program  or that no other users are running the software or that no other copies of "
    "the software are in use.";
constexpr std::string_view kSortFailed = "Error in implementing sort order.  New sort order not implemented.";

// Every later write past `bytes` of any file fails (EFBIG), as a full disk
// does; unlimited again when the object goes.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    Set(bytes);
  }
  ~FileSizeLimit() { Lift(); }
  void Lift() { setrlimit(RLIMIT_FSIZE, &old_); }

 private:
  void Set(rlim_t bytes) {
    rlimit r = old_;
    r.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &r);
  }
  rlimit old_{};
};

// An inventory table file (without an index), optionally with a 23rd field.
void MakeItemTable(const fs::path& file, bool extraField = false) {
  TTable t;
  t.SetDatabaseName(file.parent_path().string());
  t.SetTableName(file.filename().string());
  t.SetTableType(framework::ttDBase);
  DefineItemFields(t.FieldDefs());
  if (extraField) t.FieldDefs().Add("EXTRA", framework::ftString, 10);
  t.CreateTable();
}

std::vector<std::string> FilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

template <typename W>
W* Modal() {
  return qobject_cast<W*>(QApplication::activeModalWidget());
}

class ExclusiveWindowsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    TempRoot::WriteFile(IniPath(), "[Misc]\r\nShow Tips=No\r\n");
  }
  void TearDown() override {
    main.reset();
    SetFreeSpaceProbe(nullptr);
    SearchActive = false;
    ScaleFactor = 1.0;
    framework::ResetFormatSettings();
    WindowTest::TearDown();
  }

  void Start() {
    main = std::make_unique<TMain>(TMain::StartOptions{{"keldro"}, QSize(1280, 1024)});
    ASSERT_FALSE(main->Terminated());
    main->show();
    QApplication::processEvents();
    main->FinishCount();  // the count a shown window makes on a thread
  }

  fs::path IniPath() const { return platform::WindowsDir() / "KELDRO.INI"; }
  std::string Ini(std::string_view section, std::string_view key) const {
    platform::IniFile ini(IniPath());
    EXPECT_TRUE(ini.Load());
    return ini.Get(section, key).value_or("<missing>");
  }
  fs::path Database() const { return main->CurrentDatabase(); }

  void Add(const std::string& item, const std::string& brand, const std::string& category, double cost) {
    main->MyTable.Append();
    main->MyTable.FieldByName("Item")->SetAsString(item);
    main->MyTable.FieldByName("Brand")->SetAsString(brand);
    main->MyTable.FieldByName("Category")->SetAsString(category);
    main->MyTable.FieldByName("Cost")->SetAsFloat(cost);
    main->MyTable.FieldByName("PurchDate")->SetAsDateTime(framework::EncodeDate(1995, 12, 31));
    main->MyTable.Post();
  }
  // One field of every record, in the table's current order.
  std::vector<std::string> Column(const char* field) {
    std::vector<std::string> values;
    for (main->MyTable.First(); !main->MyTable.Eof(); main->MyTable.Next())
      values.push_back(main->MyTable.FieldByName(field)->AsString());
    return values;
  }
  std::string NewIndexExpression() {
    const framework::TIndexDef* index = main->MyTable.IndexDefs().Find("NewIndex");
    return index ? index->Expression() : "<none>";
  }
  // Every exclusive operation ends with the table open shared in the
  // user's order.
  void ExpectOpenShared(const std::string& expression) {
    EXPECT_TRUE(main->MyTable.Active());
    EXPECT_FALSE(main->MyTable.Exclusive());
    EXPECT_EQ(main->MyTable.IndexName(), expression.empty() ? "" : "NewIndex");
    if (!expression.empty()) {
      EXPECT_EQ(NewIndexExpression(), expression);
    }
  }

  void ChooseLevels(TMySortOrder* w, std::array<int, 4> levels) {
    for (size_t i = 0; i < 4; ++i) w->ComboBoxes[i]->setCurrentIndex(levels[i]);
  }

  std::unique_ptr<TMain> main;
};

// ---------------------------------------------------------------- sort order

TEST_F(ExclusiveWindowsTest, SortOrderRebuildsTheIndexFromTheLevelsAndStoresThem) {
  Start();
  Add("a", "", "Tools", 5);
  Add("b", "", "Art", 30);
  Add("c", "", "Tools", 1);
  Add("d", "", "Art", 2);

  struct Case {
    std::array<int, 4> levels;
    std::string expression;
    std::vector<std::string> order;
  } cases[] = {
      {{12, 11, 0, 0}, "Upper(Left(Category,40))+STR(Cost,12,2)", {"d", "b", "c", "a"}},
      {{0, 0, 0, 0}, "", {"a", "b", "c", "d"}},  // natural order
      {{0, 0, 11, 0}, "STR(Cost,12,2)", {"c", "d", "a", "b"}},  // a level after a <NONE> still counts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expression);
    const SortLevels before = Settings.sortLevels;
    WhileModal([&] { main->MenuSortOrder->trigger(); },
               [&] {
                 TMySortOrder* w = Modal<TMySortOrder>();
                 ASSERT_NE(w, nullptr);
                 EXPECT_EQ(w->windowTitle(), "Sort Order");
                 // "<NONE>" and the 22 titles: a position is a field number.
                 ASSERT_EQ(w->ComboBoxes[0]->count(), 23);
                 EXPECT_EQ(w->ComboBoxes[0]->itemText(0), "<NONE>");
                 EXPECT_EQ(w->ComboBoxes[0]->itemText(12), "Category");
                 for (size_t i = 0; i < 4; ++i) EXPECT_EQ(w->ComboBoxes[i]->currentIndex(), before.levels[i]);
                 ChooseLevels(w, c.levels);
                 QTest::mouseClick(w->OkButton, Qt::LeftButton);
               });
    EXPECT_TRUE(ui->calls.empty());
    EXPECT_EQ(Settings.sortLevels.levels, c.levels);
    EXPECT_EQ(main->SortExpression(), c.expression);
    ExpectOpenShared(c.expression);
    EXPECT_EQ(Column("Item"), c.order);
    // Stored at once, not only at the program's end.
    EXPECT_EQ(Ini("Sort Order", "Primary Sort"), std::to_string(c.levels[0]));
    EXPECT_EQ(Ini("Sort Order", "Secondary Sort"), std::to_string(c.levels[1]));
    EXPECT_EQ(Ini("Sort Order", "Third Level Sort"), std::to_string(c.levels[2]));
    EXPECT_EQ(Ini("Sort Order", "Fourth Level Sort"), std::to_string(c.levels[3]));
  }

  // Cancel changes nothing.
  WhileModal([&] { main->SpeedSortOrder->click(); },
             [&] {
               TMySortOrder* w = Modal<TMySortOrder>();
               ASSERT_NE(w, nullptr);
               ChooseLevels(w, {2, 0, 0, 0});
               QTest::mouseClick(w->CancelButton, Qt::LeftButton);
             });
  EXPECT_EQ(Settings.sortLevels.levels, (std::array<int, 4>{0, 0, 11, 0}));
}

// The index cannot be written (a full disk): the old levels, the old
// expression and an index made from it, and the table open shared again.
TEST_F(ExclusiveWindowsTest, SortOrderThatFailsPutsTheOldOrderBackWithItsIndex) {
  Start();
  Add("a", "", "Tools", 5);
  Add("b", "", "Art", 30);
  const std::string ini = TempRoot::ReadFile(IniPath());
  const fs::path mdx = LocateItemTable(Database()).indexPath;
  ASSERT_TRUE(fs::exists(mdx));
  std::optional<FileSizeLimit> limit;
  ui->answers = {Answer::Ok};
  ui->onMessage = [&](const platform::ui::MessageBoxRequest&) { limit.reset(); };
  WhileModal([&] { main->MenuSortOrder->trigger(); },
             [&] {
               TMySortOrder* w = Modal<TMySortOrder>();
               ASSERT_NE(w, nullptr);
               ChooseLevels(w, {11, 1, 2, 3});
               // The index file's header and tag table can be written, its blocks cannot.
               limit.emplace(1024);
               QTest::mouseClick(w->OkButton, Qt::LeftButton);
               EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kSortFailed)});
               EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Error"});
               EXPECT_TRUE(w->isVisible());  // the window stays open
               w->CancelButton->click();
             });
  EXPECT_EQ(Settings.sortLevels.levels, (std::array<int, 4>{12, 0, 0, 0}));
  EXPECT_EQ(main->SortExpression(), "Upper(Left(Category,80))");
  ExpectOpenShared("Upper(Left(Category,80))");
  EXPECT_EQ(Column("Item"), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(TempRoot::ReadFile(IniPath()), ini);
}

// ----------------------------------------------------- another program's table

TEST_F(ExclusiveWindowsTest, EachOperationIsRefusedWhileAnotherProgramHasTheTable) {
  Start();
  Add("a", "acme", "Tools", 5);
  const fs::path dbf = Database();
  const fs::path mdx = LocateItemTable(dbf).indexPath;
  const fs::path elsewhere = root.path() / "usb";
  fs::create_directories(elsewhere);
  ASSERT_TRUE(CopyFileBlocks(dbf, elsewhere / "MASTER.DBF"));
  const std::string expression = main->SortExpression();

  TTable other;  // a second copy of the program
  other.SetDatabaseName(dbf.parent_path().string());
  other.SetTableName("MASTER");
  other.Open();
  const std::string dbfBefore = TempRoot::ReadFile(dbf), mdxBefore = TempRoot::ReadFile(mdx),
                    iniBefore = TempRoot::ReadFile(IniPath());
  main->EnableEndSearch();

  struct Case {
    const char* what;
    std::function<void()> command;
    std::function<void()> inside;
    std::string_view message;
    bool searchKept;
  } cases[] = {
      {"sort order", [&] { main->MenuSortOrder->trigger(); },
       [&] {
         TMySortOrder* w = Modal<TMySortOrder>();
         ChooseLevels(w, {11, 0, 0, 0});
         w->OkButton->click();
         EXPECT_TRUE(w->isVisible());
         w->CancelButton->click();
       },
       kSortInUse, true},
      {"search and replace", [&] { main->MenuSearchReplace->trigger(); },
       [&] {
         TSearchAndReplace* w = Modal<TSearchAndReplace>();
         w->FieldBox->setCurrentIndex(1);
         QTest::keyClicks(w->SearchText, "acme");
         QTest::keyClicks(w->ReplaceText, "Zenith");
         w->StartButton->click();
         EXPECT_TRUE(w->isVisible());
         w->CancelButton->click();
       },
       kReplaceInUseMessage, true},
      {"backup", [&] { main->MenuBackup->trigger(); },
       [&] {
         TMyBackup* w = Modal<TMyBackup>();
         w->SetDirectory((root.path() / "empty").string());
         w->StartButton->click();
         w->CancelButton->click();
       },
       kBackupInUseMessage, true},
      {"restore", [&] { main->MenuRestore->trigger(); },
       [&] {
         TMyRestore* w = Modal<TMyRestore>();
         ui->files.push_back({true, (elsewhere / "MASTER.DBF").string(), 1});
         w->StartButton->click();
         w->CancelButton->click();
       },
       kRestoreInUseMessage, false},
  };
  fs::create_directories(root.path() / "empty");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ui->calls.clear();
    ui->answers = {Answer::Ok};
    WhileModal(c.command, c.inside);
    EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(c.message)});
    EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Error"});
    EXPECT_TRUE(TempRoot::ReadFile(dbf) == dbfBefore);
    EXPECT_TRUE(TempRoot::ReadFile(mdx) == mdxBefore);
    EXPECT_TRUE(TempRoot::ReadFile(IniPath()) == iniBefore);
    EXPECT_TRUE(FilesIn(root.path() / "empty").empty());
    ExpectOpenShared(expression);
    EXPECT_EQ(Column("Brand"), std::vector<std::string>{"acme"});
    EXPECT_EQ(SearchActive, c.searchKept);
  }
}

// ---------------------------------------------------------- search and replace

class SearchReplaceTest : public ExclusiveWindowsTest {
 protected:
  // Runs one replacement in `field` (1..22); `answers` answer the
  // questions and the last message. Returns the counts the window showed.
  ReplaceCounts Replace(int field, const QString& search, const QString& replace, bool confirm,
                        std::deque<Answer> answers = {Answer::Ok}) {
    ReplaceCounts shown;
    ui->calls.clear();
    ui->answers = std::move(answers);
    WhileModal([&] { main->MenuSearchReplace->trigger(); },
               [&] {
                 TSearchAndReplace* w = Modal<TSearchAndReplace>();
                 ASSERT_NE(w, nullptr);
                 ui->onMessage = [&, w](const platform::ui::MessageBoxRequest&) { shown = w->Counts(); };
                 w->FieldBox->setCurrentIndex(field - 1);
                 QTest::keyClicks(w->SearchText, search);
                 QTest::keyClicks(w->ReplaceText, replace);
                 w->ConfirmBox->setChecked(confirm);
                 QTest::mouseClick(w->StartButton, Qt::LeftButton);
                 if (w->isVisible()) w->CancelButton->click();
               });
    ui->onMessage = nullptr;
    return shown;
  }
};

TEST_F(SearchReplaceTest, AWholeValueEqualWithoutRegardToCaseIsReplacedEverywhere) {
  Start();
  Add("drill", "acme", "Tools", 5);
  Add("saw", "ACME", "Tools", 6);
  Add("plane", "Acme Tools", "Tools", 7);
  Add("desk", "", "Office", 8);
  main->EnableEndSearch();

  const ReplaceCounts counts = Replace(2, "Acme", "Zenith", false);
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{"Global Search and Replace Complete."});
  EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Finished"});
  EXPECT_EQ(counts.processed, 4);
  EXPECT_EQ(counts.found, 2);
  EXPECT_EQ(counts.changed, 2);
  // The user's order again: by category, then file order.
  ExpectOpenShared("Upper(Left(Category,80))");
  EXPECT_EQ(Column("Item"), (std::vector<std::string>{"desk", "drill", "saw", "plane"}));
  EXPECT_EQ(Column("Brand"), (std::vector<std::string>{"", "Zenith", "Zenith", "Acme Tools"}));
  EXPECT_TRUE(SearchActive);

  // An empty search text fills the empty fields.
  Replace(2, "", "Unknown", false);
  EXPECT_EQ(Column("Brand"), (std::vector<std::string>{"Unknown", "Zenith", "Zenith", "Acme Tools"}));

  // Declined, the record counts as found but not changed; the question
  // beeps and defaults to No.
  const ReplaceCounts declined = Replace(2, "unknown", "X", true, {Answer::No, Answer::Ok});
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{"Item = \"desk\".  Change this record?",
                                                          "Global Search and Replace Complete."}));
  EXPECT_EQ(ui->calls.front().message.caption, "Confirm");
  EXPECT_EQ(ui->calls.front().message.buttons, platform::ui::Buttons::YesNo);
  EXPECT_TRUE(ui->calls.front().message.beep);
  EXPECT_EQ(ui->calls.front().message.defaultButton, 1);
  EXPECT_EQ(declined.found, 1);
  EXPECT_EQ(declined.changed, 0);
  EXPECT_EQ(Column("Brand")[0], "Unknown");
}

TEST_F(SearchReplaceTest, NumbersAndDatesMatchByValue) {
  Start();
  Add("drill", "", "Tools", 12.5);
  Add("saw", "", "Tools", 12.55);
  Replace(11, "12.50", "99", false);
  EXPECT_EQ(Column("Cost"), (std::vector<std::string>{"99.00", "12.55"}));

  main->MyTable.First();
  main->MyTable.Edit();
  main->MyTable.FieldByName("PurchDate")->SetAsDateTime(framework::EncodeDate(1996, 3, 4));
  main->MyTable.Post();
  // Typed into the date masks the way the keyboard does.
  Replace(10, "12311995", "01021996", false);
  std::vector<double> dates;
  for (main->MyTable.First(); !main->MyTable.Eof(); main->MyTable.Next())
    dates.push_back(main->MyTable.FieldByName("PurchDate")->AsDateTime());
  std::sort(dates.begin(), dates.end());
  EXPECT_EQ(dates, (std::vector<double>{framework::EncodeDate(1996, 1, 2), framework::EncodeDate(1996, 3, 4)}));
}

TEST_F(SearchReplaceTest, AValueThatDoesNotConvertIsToldWithItsEntryFocused) {
  Start();
  Add("drill", "acme", "Tools", 5);
  const std::string before = TempRoot::ReadFile(Database());
  struct Case {
    int field;
    const char* search;
    const char* replace;
    std::string_view message;
    bool searchFocused;
  } cases[] = {
      {0, "a", "b", kNoFieldSelectedMessage, false},
      {11, "abc", "1", kInvalidSearchValueMessage, true},
      {11, "5", "", kInvalidReplaceValueMessage, false},
      {10, "", "01021996", kInvalidSearchDateMessage, true},
      {10, "13451995", "01021996", kInvalidSearchDateMessage, true},
      {10, "12311995", "02301996", kInvalidReplaceDateMessage, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ui->calls.clear();
    ui->answers = {Answer::Ok};
    WhileModal([&] { main->MenuSearchReplace->trigger(); },
               [&] {
                 TSearchAndReplace* w = Modal<TSearchAndReplace>();
                 w->activateWindow();
                 w->FieldBox->setCurrentIndex(c.field - 1);
                 QTest::keyClicks(w->SearchText, c.search);
                 QTest::keyClicks(w->ReplaceText, c.replace);
                 w->StartButton->click();
                 EXPECT_TRUE(w->isVisible());
                 QWidget* focused = c.field == 0 ? static_cast<QWidget*>(w->FieldBox)
                                    : c.searchFocused ? w->SearchText
                                                      : w->ReplaceText;
                 EXPECT_EQ(w->focusWidget(), focused);
                 w->CancelButton->click();
               });
    EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(c.message)});
    EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Error"});
  }
  EXPECT_TRUE(TempRoot::ReadFile(Database()) == before);
}

// The disk fills during the replacement (its journal cannot be written):
// the batch is rolled back, so no record keeps a new value and the changed
// count is 0 again, and the search and the sort index come back as after a
// run that ends well.
TEST_F(SearchReplaceTest, AFailureInTheWalkChangesNothingAndPutsTheIndexAndTheSearchBack) {
  Start();
  Add("drill", "acme", "Tools", 5);
  Add("saw", "acme", "Tools", 6);
  Add("plane", "acme", "Tools", 7);
  main->EnableEndSearch();
  const std::string bytes = TempRoot::ReadFile(Database());
  const size_t headerLength = static_cast<uint8_t>(bytes[8]) | static_cast<uint8_t>(bytes[9]) << 8;

  std::optional<FileSizeLimit> limit;
  ReplaceCounts atError;
  ui->answers = {Answer::Yes, Answer::Yes, Answer::Yes, Answer::Ok};
  WhileModal([&] { main->MenuSearchReplace->trigger(); },
             [&] {
               TSearchAndReplace* w = Modal<TSearchAndReplace>();
               ui->onMessage = [&, w](const platform::ui::MessageBoxRequest& m) {
                 // No file may grow past the length of the table's header:
                 // the journal, which starts with that header, does not fit.
                 if (m.caption == "Confirm" && w->Counts().processed == 0) limit.emplace(headerLength);
                 if (m.caption == "Error") {
                   limit.reset();
                   atError = w->Counts();
                 }
               };
               w->FieldBox->setCurrentIndex(1);
               QTest::keyClicks(w->SearchText, "ACME");
               QTest::keyClicks(w->ReplaceText, "Zenith");
               w->ConfirmBox->setChecked(true);
               w->StartButton->click();
               EXPECT_TRUE(w->isVisible());
               EXPECT_EQ(w->Counts().changed, 0);
               w->CancelButton->click();
             });
  ui->onMessage = nullptr;
  limit.reset();
  EXPECT_EQ(ui->MessageTexts().back(), kReplaceFailedMessage);
  EXPECT_EQ(ui->MessageCaptions().back(), "Error");
  EXPECT_EQ(atError.found, atError.processed);
  EXPECT_EQ(atError.changed, 0);
  ExpectOpenShared("Upper(Left(Category,80))");
  EXPECT_TRUE(SearchActive);
  EXPECT_EQ(Column("Brand"), (std::vector<std::string>{"acme", "acme", "acme"}));
}

// The replacement is killed part way through a large table: at the next
// start the table opens in the user's order, and every record holds its old
// value (the batch never reached its commit), none lost or doubled.
constexpr int kKillTableRecords = 100000;
constexpr long kKillAfter = 3000;

// The walk of a replacement, as the window runs it on the table to itself,
// in a process of its own that kills itself after kKillAfter records. Run
// only by the test below, which names the table in the environment.
TEST(ReplaceKilledChild, DISABLED_WalkUntilKilled) {
  const char* table = std::getenv("KELDRO_KILL_TABLE");
  ASSERT_NE(table, nullptr);
  framework::TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
  TTable t;
  t.SetDatabaseName(fs::path(table).parent_path().string());
  t.SetTableName(fs::path(table).stem().string());
  t.SetExclusive(true);
  t.Open();
  t.DeleteIndex("NewIndex");
  ReplaceSpec spec;
  ASSERT_EQ(PrepareReplace(2, "ACME", "Zenith", spec), ReplaceInputError::None);
  ReplaceCounts counts;
  ReplaceAllInBatch(t, spec, nullptr,
                    [](const ReplaceCounts& c) {
                      if (c.processed == kKillAfter) std::raise(SIGKILL);
                    },
                    counts);
  ADD_FAILURE() << "not killed";
}

TEST_F(SearchReplaceTest, AReplacementKilledPartWayLosesAndDoublesNothing) {
  // A large table written directly, as another tool fills one.
  const fs::path file = root.path() / "LARGE.DBF";
  MakeItemTable(file);
  std::string bytes = TempRoot::ReadFile(file);
  const size_t headerLength = static_cast<uint8_t>(bytes[8]) | static_cast<uint8_t>(bytes[9]) << 8;
  const size_t recordLength = static_cast<uint8_t>(bytes[10]) | static_cast<uint8_t>(bytes[11]) << 8;
  bytes.resize(headerLength);
  for (int n = 1; n <= kKillTableRecords; ++n) {
    std::string record(recordLength, ' ');
    const std::string item = "Item " + std::to_string(n);
    record.replace(1, item.size(), item);
    record.replace(41, 4, "acme");  // Brand follows Item's 40 characters
    bytes += record;
  }
  bytes += '\x1A';
  for (int i = 0; i < 4; ++i) bytes[4 + static_cast<size_t>(i)] = static_cast<char>((kKillTableRecords >> (8 * i)) & 0xFF);
  TempRoot::WriteFile(file, bytes);
  TempRoot::WriteFile(IniPath(), "[Misc]\r\nShow Tips=No\r\nLast Database=" + file.string() + "\r\n");
  Start();  // gives the table its index
  ASSERT_EQ(main->MyTable.IndexName(), "NewIndex");
  main.reset();

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv("KELDRO_KILL_TABLE", file.c_str(), 1);
    execl("/proc/self/exe", "keldro_window_tests", "--gtest_filter=ReplaceKilledChild.*",
          "--gtest_also_run_disabled_tests", nullptr);
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

  TempRoot::WriteFile(IniPath(), "[Misc]\r\nShow Tips=No\r\nLast Database=" + file.string() + "\r\n");
  Start();
  ExpectOpenShared("Upper(Left(Category,80))");
  EXPECT_EQ(main->CountLabel->text(), QString::number(kKillTableRecords));
  std::vector<char> seen(kKillTableRecords + 1, 0);
  long changed = 0, unchanged = 0, other = 0;
  for (main->MyTable.First(); !main->MyTable.Eof(); main->MyTable.Next()) {
    const int n = std::atoi(main->MyTable.FieldByName("Item")->AsString().c_str() + 5);
    if (n >= 1 && n <= kKillTableRecords) ++seen[static_cast<size_t>(n)];
    const std::string brand = main->MyTable.FieldByName("Brand")->AsString();
    (brand == "Zenith" ? changed : brand == "acme" ? unchanged : other)++;
  }
  EXPECT_EQ(std::count(seen.begin() + 1, seen.end(), 1), kKillTableRecords);
  EXPECT_EQ(other, 0);
  EXPECT_EQ(changed, 0);
  EXPECT_EQ(unchanged, kKillTableRecords);
}

// ------------------------------------------------------------------- backup

class BackupTest : public ExclusiveWindowsTest {
 protected:
  // Runs a backup of one set into `dir`; returns the Cancel button's caption after it.
  QString Backup(QRadioButton* TMyBackup::*set, const fs::path& dir, std::deque<Answer> answers = {Answer::Ok}) {
    QString cancel;
    ui->calls.clear();
    ui->answers = std::move(answers);
    WhileModal([&] { main->MenuBackup->trigger(); },
               [&] {
                 TMyBackup* w = Modal<TMyBackup>();
                 ASSERT_NE(w, nullptr);
                 EXPECT_TRUE(w->BackDBF->isChecked());
                 (w->*set)->setChecked(true);
                 w->SetDirectory(dir.string());
                 EXPECT_EQ(w->Directory(), dir.string());
                 QTest::mouseClick(w->StartButton, Qt::LeftButton);
                 cancel = w->CancelButton->text();
                 w->CancelButton->click();
               });
    return cancel;
  }
};

TEST_F(BackupTest, TheDatabaseIsCopiedWholeOrNotAtAll) {
  Start();
  Add("drill", "acme", "Tools", 5);
  main->EnableEndSearch();
  const fs::path dbf = Database();
  const std::vector<std::string> programFiles = FilesIn(root.programDir());

  // Its own folder: refused, nothing written.
  EXPECT_EQ(Backup(&TMyBackup::BackDBF, root.programDir()), "&Cancel");
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kBackupIdenticalMessage)});
  EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Error"});
  EXPECT_EQ(FilesIn(root.programDir()), programFiles);

  // No room on the target's file system.
  const fs::path usb = root.path() / "usb";
  fs::create_directories(usb);
  SetFreeSpaceProbe([](const fs::path&) { return std::optional<uint64_t>{100}; });
  Backup(&TMyBackup::BackDBF, usb);
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kBackupNoRoomMessage)});
  EXPECT_TRUE(FilesIn(usb).empty());
  SetFreeSpaceProbe(nullptr);

  // The disk fills up during the copy: no partial file is left.
  {
    std::optional<FileSizeLimit> limit;
    ui->onMessage = [&](const platform::ui::MessageBoxRequest&) { limit.reset(); };
    WhileModal([&] { main->MenuBackup->trigger(); },
               [&] {
                 TMyBackup* w = Modal<TMyBackup>();
                 w->SetDirectory(usb.string());
                 ui->calls.clear();
                 ui->answers = {Answer::Ok};
                 limit.emplace(1000);
                 w->StartButton->click();
                 w->CancelButton->click();
               });
    ui->onMessage = nullptr;
  }
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kBackupErrorMessage)});
  EXPECT_TRUE(FilesIn(usb).empty());
  ExpectOpenShared("Upper(Left(Category,80))");
  EXPECT_TRUE(SearchActive);

  // An empty folder: an identical copy.
  EXPECT_EQ(Backup(&TMyBackup::BackDBF, usb), "&Close");
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kBackupDoneMessage)});
  EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Notice"});
  EXPECT_EQ(FilesIn(usb), std::vector<std::string>{"MASTER.DBF"});
  EXPECT_TRUE(TempRoot::ReadFile(usb / "MASTER.DBF") == TempRoot::ReadFile(dbf));
  ExpectOpenShared("Upper(Left(Category,80))");
  EXPECT_TRUE(SearchActive);
}

TEST_F(BackupTest, ListsThatCannotBeReadAreSkippedAndTheReportsFileIsCopied) {
  // Two lists are not files the program can read: the other three go.
  fs::create_directories(Program("LOCATION.LST"));
  fs::create_directories(Program("OWNER.LST"));
  TempRoot::WriteFile(Program("BRAND.LST"), "Acme\r\nZenith\r\n");
  Start();
  const fs::path usb = root.path() / "usb";
  fs::create_directories(usb);
  EXPECT_EQ(Backup(&TMyBackup::BackLST, usb), "&Close");
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kBackupDoneMessage)});
  EXPECT_EQ(FilesIn(usb), (std::vector<std::string>{"BOUGHT.LST", "BRAND.LST", "CATEGORY.LST"}));
  EXPECT_EQ(TempRoot::ReadFile(usb / "BRAND.LST"), "Acme\r\nZenith\r\n");

  EXPECT_EQ(Backup(&TMyBackup::BackURP, usb), "&Close");
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kBackupDoneMessage)});
  EXPECT_TRUE(TempRoot::ReadFile(usb / "KELDRO.URP") == TempRoot::ReadFile(Program("KELDRO.URP")));
  // Not over itself, and not onto a full disk.
  Backup(&TMyBackup::BackURP, root.programDir());
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kBackupIdenticalMessage)});
  SetFreeSpaceProbe([](const fs::path&) { return std::optional<uint64_t>{0}; });
  Backup(&TMyBackup::BackURP, usb);
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kBackupReportNoRoomMessage)});
}

// ------------------------------------------------------------------- restore

class RestoreTest : public ExclusiveWindowsTest {
 protected:
  QString Restore(QRadioButton* TMyRestore::*set, const fs::path& picked, std::deque<Answer> answers = {Answer::Ok}) {
    QString cancel;
    ui->calls.clear();
    ui->answers = std::move(answers);
    ui->files.push_back({true, picked.string(), 1});
    WhileModal([&] { main->MenuRestore->trigger(); },
               [&] {
                 TMyRestore* w = Modal<TMyRestore>();
                 ASSERT_NE(w, nullptr);
                 EXPECT_TRUE(w->RestoreDBF->isChecked());
                 (w->*set)->setChecked(true);
                 QTest::mouseClick(w->StartButton, Qt::LeftButton);
                 cancel = w->CancelButton->text();
                 w->CancelButton->click();
               });
    return cancel;
  }
};

TEST_F(RestoreTest, ADatabaseFromAnotherFolderBecomesTheOpenDatabase) {
  Start();
  Add("drill", "acme", "Tools", 5);
  const fs::path usb = root.path() / "usb";
  fs::create_directories(usb);
  const fs::path other = usb / "OTHER.DBF";
  MakeItemTable(other);
  {
    TTable t;
    t.SetDatabaseName(usb.string());
    t.SetTableName("OTHER");
    t.Open();
    for (const char* item : {"b", "a"}) {
      t.Append();
      t.FieldByName("Item")->SetAsString(item);
      t.FieldByName("Category")->SetAsString(item);
      t.Post();
    }
  }
  // Its index stayed behind: the flag is set in the backup and must stay so.
  std::string bytes = TempRoot::ReadFile(other);
  bytes[28] = 1;
  TempRoot::WriteFile(other, bytes);

  // An older OTHER in the program folder, with an index of its own.
  MakeItemTable(Program("OTHER.DBF"));
  {
    TTable t;
    t.SetDatabaseName(root.programDir().string());
    t.SetTableName("OTHER");
    t.AddIndex("NewIndex", "Upper(Left(Item,40))", framework::ixExpression);
    t.Open();
    t.Append();
    t.FieldByName("Item")->SetAsString("old");
    t.Post();
  }
  ASSERT_TRUE(fs::exists(Program("OTHER.MDX")));

  EXPECT_EQ(Restore(&TMyRestore::RestoreDBF, other), "&Close");
  const fs::path restored = Program("OTHER.DBF");
  // The box says where the restored copy is and that it is the open one now.
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{"Restore completed successfully.  The restored database is " +
                                                         fs::absolute(restored).lexically_normal().string() +
                                                         " and is now open."});
  EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Notice"});
  EXPECT_TRUE(TempRoot::ReadFile(other) == bytes);
  EXPECT_EQ(Database(), restored);
  EXPECT_EQ(main->windowTitle(), "Stashwell Inventory 95 (OTHER)");
  EXPECT_TRUE(fs::exists(Program("OTHER.MDX")));
  ExpectOpenShared("Upper(Left(Category,80))");
  EXPECT_EQ(Column("Item"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(main->CountLabel->text(), "2");
  EXPECT_EQ(Settings.lastDatabase, restored.string());
  EXPECT_FALSE(fs::exists(Program(".restore-OTHER.DBF")));
}

TEST_F(RestoreTest, ARefusedOrFailedRestoreChangesNothing) {
  Start();
  Add("drill", "acme", "Tools", 5);
  main->EnableEndSearch();
  const fs::path dbf = Database();
  const fs::path usb = root.path() / "usb";
  fs::create_directories(usb);
  ASSERT_TRUE(CopyFileBlocks(dbf, usb / "MASTER.DBF"));
  MakeItemTable(usb / "WIDE.DBF", true);
  const std::string wide = TempRoot::ReadFile(usb / "WIDE.DBF");
  const std::string dbfBefore = TempRoot::ReadFile(dbf);
  const std::vector<std::string> programFiles = FilesIn(root.programDir());

  // 23 fields: refused, and the search is still on.
  Restore(&TMyRestore::RestoreDBF, usb / "WIDE.DBF");
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kNotAnItemTableMessage)});
  EXPECT_TRUE(TempRoot::ReadFile(usb / "WIDE.DBF") == wide);
  EXPECT_TRUE(SearchActive);
  // The open database itself, picked in the program folder.
  Restore(&TMyRestore::RestoreDBF, dbf);
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kRestoreIdenticalMessage)});
  EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Error"});
  EXPECT_TRUE(SearchActive);
  // Cut short: refused the same way.
  {
    std::string cut = dbfBefore.substr(0, dbfBefore.size() / 2);
    TempRoot::WriteFile(usb / "CUT.DBF", cut);
    Restore(&TMyRestore::RestoreDBF, usb / "CUT.DBF");
    EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kNotAnItemTableMessage)});
    EXPECT_TRUE(TempRoot::ReadFile(usb / "CUT.DBF") == cut);
    EXPECT_TRUE(SearchActive);
  }
  // No room.
  SetFreeSpaceProbe([](const fs::path&) { return std::optional<uint64_t>{10}; });
  Restore(&TMyRestore::RestoreDBF, usb / "MASTER.DBF");
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kRestoreNoRoomMessage)});
  // The copy breaks off (the source goes away under it): the open database
  // is reopened as it was.
  SetFreeSpaceProbe([&](const fs::path&) {
    fs::remove(usb / "MASTER.DBF");
    fs::create_directory(usb / "MASTER.DBF");
    return std::optional<uint64_t>{1u << 30};
  });
  Restore(&TMyRestore::RestoreDBF, usb / "MASTER.DBF");
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kRestoreErrorMessage)});
  EXPECT_TRUE(TempRoot::ReadFile(dbf) == dbfBefore);
  EXPECT_EQ(FilesIn(root.programDir()), programFiles);
  EXPECT_EQ(Database(), dbf);
  ExpectOpenShared("Upper(Left(Category,80))");
  EXPECT_EQ(Column("Item"), std::vector<std::string>{"drill"});
}

TEST_F(RestoreTest, ListsAndReportDefinitionsComeFromThePickedFolder) {
  Start();
  const fs::path usb = root.path() / "usb";
  fs::create_directories(usb);
  TempRoot::WriteFile(usb / "BRAND.LST", "Acme\r\nZenith\r\n");
  TempRoot::WriteFile(usb / "bought.lst", "Shop\r\n");
  TempRoot::WriteFile(usb / "CATEGORY.LST", "Tools\r\n");

  EXPECT_EQ(Restore(&TMyRestore::RestoreLST, usb / "BRAND.LST", {Answer::Ok, Answer::Ok, Answer::Ok}), "&Close");
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{ListFileMissingMessage("LOCATION.LST"),
                                                          ListFileMissingMessage("OWNER.LST"),
                                                          std::string(kListsMissingMessage)}));
  EXPECT_EQ(ui->MessageCaptions(), (std::vector<std::string>{"Warning", "Warning", "Notice"}));
  EXPECT_EQ(TempRoot::ReadFile(Program("BRAND.LST")), "Acme\r\nZenith\r\n");
  // The record editor's lists are read again.
  EXPECT_EQ(main->MyEdit->PickListItems(1), (std::vector<std::string>{"Acme", "Zenith"}));
  EXPECT_EQ(main->MyEdit->PickListItems(3), std::vector<std::string>{"Shop"});
  // From the program folder onto themselves: refused.
  Restore(&TMyRestore::RestoreLST, Program("BRAND.LST"));
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kRestoreIdenticalMessage)});

  // Report definitions: missing, then there.
  Restore(&TMyRestore::RestoreURP, usb / "OTHER.URP");
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kReportSourceMissingMessage)});
  // A set of seven definitions; the Reports window shows the eight it has.
  ASSERT_TRUE(CopyFileBlocks(Program("KELDRO.URP"), usb / "KELDRO.URP"));
  ASSERT_TRUE(reports::ReportFile::InDirectory(usb).Delete(0).ok());
  ASSERT_EQ(main->ReportWindow().ReportBox->count(), 8);
  EXPECT_EQ(Restore(&TMyRestore::RestoreURP, usb / "KELDRO.URP"), "&Close");
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kRestoreDoneMessage)});
  EXPECT_TRUE(TempRoot::ReadFile(Program("KELDRO.URP")) == TempRoot::ReadFile(usb / "KELDRO.URP"));
  EXPECT_EQ(main->ReportWindow().ReportBox->count(), 7);
  // The open dialog as each set prepares it.
  EXPECT_EQ(ui->calls.front().kind, platform::ui::ScriptedUi::Call::kFile);
  EXPECT_EQ(ui->calls.front().file.title, "Restore URP File");
  EXPECT_EQ(ui->calls.front().file.filter, "Reports Files (*.URP) | *.URP");
  EXPECT_EQ(ui->calls.front().file.fileName, "KELDRO.URP");
  EXPECT_TRUE(ui->calls.front().file.fileMustExist);
}

// ------------------------------------------------------------------ pictures

TEST_F(ExclusiveWindowsTest, TheFourWindowsRenderedAtTwoScales) {
  Start();
  for (double scale : {1.0, 1.6}) {
    ScaleFactor = scale;
    const std::string suffix = scale == 1.0 ? "_100.png" : "_160.png";
    WhileModal([&] { main->MenuSortOrder->trigger(); },
               [&] {
                 QWidget* w = QApplication::activeModalWidget();
                 w->grab().save(QString::fromStdString(testing_support::ShotPath("sort_order" + suffix)));
                 Modal<TMySortOrder>()->CancelButton->click();
               });
    WhileModal([&] { main->MenuSearchReplace->trigger(); },
               [&] {
                 TSearchAndReplace* w = Modal<TSearchAndReplace>();
                 EXPECT_EQ(w->FieldBox->maxVisibleItems(), 15);
                 // A character field takes as many characters as it holds.
                 w->FieldBox->setCurrentIndex(1);
                 QTest::keyClicks(w->SearchText, QString(25, 'x'));
                 EXPECT_EQ(w->SearchText->text().size(), 20);
                 // A new field empties both entries.
                 w->FieldBox->setCurrentIndex(9);
                 EXPECT_EQ(w->SearchText->text(), "//");
                 w->grab().save(QString::fromStdString(testing_support::ShotPath("search_replace" + suffix)));
                 w->CancelButton->click();
               });
    WhileModal([&] { main->MenuBackup->trigger(); },
               [&] {
                 QWidget* w = QApplication::activeModalWidget();
                 w->grab().save(QString::fromStdString(testing_support::ShotPath("backup" + suffix)));
                 Modal<TMyBackup>()->HelpButton->click();
                 Modal<TMyBackup>()->CancelButton->click();
               });
    WhileModal([&] { main->MenuRestore->trigger(); },
               [&] {
                 QWidget* w = QApplication::activeModalWidget();
                 w->grab().save(QString::fromStdString(testing_support::ShotPath("restore" + suffix)));
                 Modal<TMyRestore>()->HelpButton->click();
                 Modal<TMyRestore>()->CancelButton->click();
               });
    // Both windows open help on their one topic.
    ASSERT_EQ(ui->calls.size(), 2u);
    for (const platform::ui::ScriptedUi::Call& call : ui->calls) {
      EXPECT_EQ(call.kind, platform::ui::ScriptedUi::Call::kHelp);
      EXPECT_EQ(call.help.keyword, "Backup and Restore");
      EXPECT_EQ(fs::path(call.help.file).filename(), "KELDRO.HLP");
    }
    ui->calls.clear();
  }
}

}  // namespace
}  // namespace keldro
