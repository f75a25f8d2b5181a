#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "engine_api.h"
#include "fake_cursor.h"
#include "framework/dbtables.h"
#include "orbex32.h"
#include "temp_root.h"

namespace fwtest {
namespace {

namespace fs = std::filesystem;
using testing_support::TempRoot;

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The build puts the engine beside the test program.
    TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
    dir = root.path() / "DATA";
    fs::create_directories(dir);
  }

  void MakeItems(TTable& t, int count) {
    t.SetDatabaseName(dir.string());
    t.SetTableName("ITEMS.DBF");
    t.SetTableType(ttDBase);
    t.FieldDefs().Clear();
    t.FieldDefs().Add("ITEM", ftString, 20);
    t.FieldDefs().Add("QUANTITY", ftInteger);
    t.FieldDefs().Add("COST", ftFloat);
    t.FieldDefs().Add("PURCHDATE", ftDate);
    t.FieldDefs().Add("WARRANTY", ftString, 3);
    t.FieldDefs().Add("NOTES", ftMemo);
    t.IndexDefs().Clear();
    t.CreateTable();
    t.Open();
    for (int i = 1; i <= count; ++i) {
      t.Append();
      t.FieldByName("Item")->SetAsString("Item " + std::to_string(i));
      t.FieldByName("Quantity")->SetAsInteger(i);
      t.FieldByName("Cost")->SetAsFloat(i * 10.25);
      t.FieldByName("PurchDate")->SetAsDateTime(EncodeDate(1995, 12, i));
      t.FieldByName("Warranty")->SetAsString(i % 2 ? "Yes" : "No");
      if (i == 2) t.FieldByName("Notes")->SetAsString("bought in\r\nParis");
      t.Post();
    }
    t.Close();
  }

  void OpenItems(TTable& t) {
    t.SetDatabaseName(dir.string());
    t.SetTableName("ITEMS");
    t.Open();
  }

  std::vector<std::string> Items(TTable& t) {
    std::vector<std::string> out;
    for (t.First(); !t.Eof(); t.Next()) out.push_back(t.FieldByName("ITEM")->AsString());
    return out;
  }

  TempRoot root;
  fs::path dir;
};

TEST_F(TableTest, CreatedTableOpensWalksAndKeepsItsValues) {
  TTable t;
  MakeItems(t, 5);
  EXPECT_TRUE(fs::exists(dir / "ITEMS.DBF"));
  OpenItems(t);
  ASSERT_EQ(t.FieldCount(), 6);
  EXPECT_EQ(t.Fields(0)->FieldName(), "ITEM");
  EXPECT_EQ(t.FieldByName("item")->Size(), 20);
  EXPECT_EQ(t.FieldByName("QUANTITY")->DataType(), ftInteger);
  EXPECT_EQ(t.FieldByName("COST")->DataType(), ftFloat);
  EXPECT_EQ(t.FieldByName("PURCHDATE")->DataType(), ftDate);
  EXPECT_EQ(t.FieldByName("NOTES")->DataType(), ftMemo);
  EXPECT_EQ(t.RecordCount(), 5);
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Item 1", "Item 2", "Item 3", "Item 4", "Item 5"}));
  t.First();
  t.Next();
  EXPECT_EQ(t.FieldByName("QUANTITY")->AsString(), "2");
  EXPECT_EQ(t.FieldByName("COST")->AsString(), "20.50");
  EXPECT_EQ(t.FieldByName("PURCHDATE")->AsString(), "12/2/95");
  EXPECT_EQ(t.FieldByName("WARRANTY")->AsString(), "No");
  EXPECT_EQ(t.FieldByName("NOTES")->AsString(), "bought in\r\nParis");
  EXPECT_EQ(t.RecNo(), 2);
  // Whole numbers wider than 32 bits are kept, and refused as a 32-bit value.
  t.Edit();
  t.FieldByName("QUANTITY")->SetAsString("9999999999");
  t.Post();
  EXPECT_EQ(t.FieldByName("QUANTITY")->AsString(), "9999999999");
  EXPECT_DOUBLE_EQ(t.FieldByName("QUANTITY")->AsFloat(), 9999999999.0);
  EXPECT_THROW(t.FieldByName("QUANTITY")->AsInteger(), EConvertError);
  t.Last();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.MoveBy(-10), -4);
  EXPECT_TRUE(t.Bof());
  EXPECT_NE(t.Handle(), 0u);
  t.Close();
  EXPECT_EQ(t.Handle(), 0u);
}

TEST_F(TableTest, FilterEventEditsDeletesAndRefreshWithNotifications) {
  TTable t;
  MakeItems(t, 6);
  TDataSource src(&t);
  RecordingLink link;
  link.SetDataSource(&src);
  link.SetBufferCount(3);
  t.SetOnFilterRecord([](TDataSet& ds, bool& accept) { accept = ds.FieldByName("WARRANTY")->AsString() == "Yes"; });
  t.SetFiltered(true);
  OpenItems(t);
  EXPECT_EQ(link.Take(), "active");
  EXPECT_EQ(t.RecordCount(), 3);
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Item 1", "Item 3", "Item 5"}));
  link.Take();

  t.First();
  t.Next();
  EXPECT_EQ(link.Take(), "check, changed, check, scrolled 0");
  t.Edit();
  t.FieldByName("COST")->SetAsString("99.5");
  t.Post();
  EXPECT_EQ(link.Take(), "check, editing, record -, record COST, update, changed, not editing");

  // A posted change that the filter rejects leaves the view.
  t.Edit();
  t.FieldByName("WARRANTY")->SetAsString("No");
  t.Post();
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_EQ(t.FieldByName("ITEM")->AsString(), "Item 5");

  t.Append();
  t.FieldByName("ITEM")->SetAsString("Item 7");
  t.FieldByName("WARRANTY")->SetAsString("Yes");
  t.Post();
  EXPECT_EQ(t.FieldByName("ITEM")->AsString(), "Item 7");
  EXPECT_EQ(t.RecordCount(), 3);

  t.First();
  link.Take();
  t.Delete();
  EXPECT_EQ(link.Take(), "check, changed");
  EXPECT_EQ(t.FieldByName("ITEM")->AsString(), "Item 5");
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Item 5", "Item 7"}));

  // Another program's change shows after a refresh.
  t.Last();
  {
    TTable other;
    OpenItems(other);
    other.Last();
    other.Edit();
    other.FieldByName("ITEM")->SetAsString("Renamed 7");
    other.Post();
    EXPECT_EQ(other.RecordCount(), 6);  // no filter there; one record deleted
  }
  EXPECT_EQ(t.FieldByName("ITEM")->AsString(), "Item 7");
  t.Refresh();
  EXPECT_EQ(t.FieldByName("ITEM")->AsString(), "Renamed 7");

  t.SetFiltered(false);
  EXPECT_EQ(t.RecordCount(), 6);
  link.Take();
  t.Close();
  EXPECT_EQ(link.Take(), "inactive");
  OpenItems(t);
  t.First();  // Item 1 was deleted
  EXPECT_DOUBLE_EQ(t.FieldByName("COST")->AsFloat(), 20.5);
  t.Next();
  EXPECT_DOUBLE_EQ(t.FieldByName("COST")->AsFloat(), 99.5);
  EXPECT_EQ(t.FieldByName("WARRANTY")->AsString(), "No");
}

// A walk reads each record into the storage the record before it left:
// a field blank here but set there must read blank, both ways.
TEST_F(TableTest, AWalkReadsEachRecordWholeWhateverTheRecordBeforeHeld) {
  TTable t;
  MakeItems(t, 3);
  OpenItems(t);
  t.Append();
  t.FieldByName("ITEM")->SetAsString("x");
  t.FieldByName("ITEM")->Clear();
  t.Post();
  auto row = [&t] {
    std::string text;
    for (int i = 0; i < t.FieldCount(); ++i) text += (t.Fields(i)->IsNull() ? "-" : t.Fields(i)->AsString()) + "|";
    return text;
  };
  const std::vector<std::string> want = {"Item 1|1|10.25|12/1/95|Yes|-|", "Item 2|2|20.50|12/2/95|No|bought in\r\nParis|",
                                         "Item 3|3|30.75|12/3/95|Yes|-|", "-|-|-|-|-|-|"};
  std::vector<std::string> forward, backward;
  for (t.First(); !t.Eof(); t.Next()) forward.push_back(row());
  for (t.Last(); !t.Bof(); t.Prior()) backward.insert(backward.begin(), row());
  EXPECT_EQ(forward, want);
  EXPECT_EQ(backward, want);
}

// A field whose stored bytes are all blanks, and a character field's text,
// are read without the engine's help; every run of bytes (a character at
// the start, in the middle or at the end of a field of any width, zero
// bytes, "?", stars) must read as the engine reads it.
TEST_F(TableTest, StoredBlanksAndEveryOtherRunReadAsTheEngineReadsThem) {
  detail::EngineApi& e = detail::Engine();
  const std::vector<std::pair<char, int>> kinds = {{'C', 1},   {'C', 2},  {'C', 3},  {'C', 4},  {'C', 5},  {'C', 7},
                                                   {'C', 8},   {'C', 9},  {'C', 15}, {'C', 16}, {'C', 17}, {'C', 40},
                                                   {'C', 100}, {'N', 1},  {'N', 5},  {'N', 12}, {'F', 20}, {'D', 8},
                                                   {'L', 1}};
  std::vector<OrbFieldDesc> descs;
  for (const auto& [type, width] : kinds) {
    OrbFieldDesc d{};
    std::snprintf(d.name, sizeof d.name, "F%zu", descs.size());
    d.type = type;
    d.width = static_cast<uint16_t>(width);
    d.decimals = type == 'N' && width == 12 ? 2 : (type == 'F' ? 3 : 0);
    descs.push_back(d);
  }
  OrbDatabase db = 0;
  ASSERT_EQ(e.EngineOpenDatabase(dir.c_str(), &db), ORB_OK);
  ASSERT_EQ(e.EngineCreateTable(db, "RUNS", static_cast<uint16_t>(descs.size()), descs.data(), 0), ORB_OK);
  OrbCursor c = 0;
  ASSERT_EQ(e.EngineOpenTable(db, "RUNS", ORB_OPEN_SHARED, &c), ORB_OK);
  uint16_t count = 0;
  ASSERT_EQ(e.EngineGetFieldDescs(c, static_cast<uint16_t>(descs.size()), descs.data(), &count), ORB_OK);
  OrbTableInfo info{};
  ASSERT_EQ(e.EngineGetTableInfo(c, &info), ORB_OK);
  // Each record fills every field the same way: blanks, or one byte (at a
  // place) in blanks, or all one byte; and maybe a zero byte at a place
  // besides (a text the engine cuts there).
  struct Run {
    char byte;
    int at;        // 0 first, 1 middle, 2 last, -1 every byte
    int zero = 3;  // the same places, 3 none
  };
  const Run runs[] = {{' ', -1}, {'7', 0},  {'7', 1},  {'7', 2},     {'T', 0},     {'T', 2},
                      {'\0', -1}, {'\0', 1}, {'\0', 2}, {'?', 0},      {'*', -1},     {'x', 1},
                      {'x', -1, 1}, {'x', -1, 2}, {'7', 0, 1}, {'x', 2, 1}};
  const auto place = [](const OrbFieldDesc& d, int at) { return at == 0 ? 0 : (at == 1 ? d.width / 2 : d.width - 1); };
  for (const Run& run : runs) {
    std::vector<uint8_t> rec(info.recordSize, ' ');
    for (const OrbFieldDesc& d : descs) {
      uint8_t* f = rec.data() + d.offset;
      if (run.at < 0)
        std::memset(f, run.byte, d.width);
      else
        f[place(d, run.at)] = static_cast<uint8_t>(run.byte);
      if (run.zero < 3) f[place(d, run.zero)] = 0;
    }
    ASSERT_EQ(e.EngineInsertRecord(c, rec.data(), info.recordSize), ORB_OK);
  }
  // The engine's own reading of each field, as the framework holds values.
  auto engineValue = [&](const OrbFieldDesc& d, const uint8_t* rec) -> FieldValue {
    int32_t blank = 0;
    switch (d.type) {
      case 'C': {
        char text[256];
        e.EngineGetField(c, d.number, rec, text, sizeof text, &blank);
        return blank || text[0] == 0 ? FieldValue{} : FieldValue{std::string(text)};
      }
      case 'D': {
        int32_t day = 0;
        e.EngineGetField(c, d.number, rec, &day, sizeof day, &blank);
        return blank ? FieldValue{} : FieldValue{int64_t{day}};
      }
      case 'L': {
        int16_t b = 0;
        e.EngineGetField(c, d.number, rec, &b, sizeof b, &blank);
        return blank ? FieldValue{} : FieldValue{b != 0};
      }
      default: {
        double v = 0;
        e.EngineGetField(c, d.number, rec, &v, sizeof v, &blank);
        if (blank) return FieldValue{};
        return d.decimals == 0 ? FieldValue{static_cast<int64_t>(std::llround(v))} : FieldValue{v};
      }
    }
  };
  std::vector<std::vector<FieldValue>> want;
  std::vector<uint8_t> rec(info.recordSize);
  for (e.EngineSetToBegin(c); e.EngineGetNextRecord(c, rec.data(), info.recordSize, nullptr) == ORB_OK;) {
    want.emplace_back();
    for (const OrbFieldDesc& d : descs) want.back().push_back(engineValue(d, rec.data()));
  }
  e.EngineCloseCursor(c);
  e.EngineCloseDatabase(db);
  ASSERT_EQ(want.size(), std::size(runs));
  int blanks = 0;
  for (const auto& row : want)
    for (const FieldValue& v : row) blanks += std::holds_alternative<std::monostate>(v);
  EXPECT_GT(blanks, static_cast<int>(descs.size()));  // more than the all-blank record's

  TTable t;
  t.SetDatabaseName(dir.string());
  t.SetTableName("RUNS");
  t.Open();
  size_t row = 0;
  for (t.First(); !t.Eof(); t.Next(), ++row) {
    ASSERT_LT(row, want.size());
    for (size_t i = 0; i < descs.size(); ++i)
      EXPECT_EQ(t.Fields(static_cast<int>(i))->Value(), want[row][i]) << "record " << row + 1 << " field " << i;
  }
  EXPECT_EQ(row, want.size());
}

// A field answers the record its dataset presents: the browsed one, the
// edited copy before post, the original again after Cancel, the record a
// bookmark goes back to, a blank inserted one, and the record a calculated
// field is being worked out for.
TEST_F(TableTest, FieldsAnswerTheRecordOfEachState) {
  TTable t;
  MakeItems(t, 3);
  TField* label = t.AddCalcField("LABEL", ftString, 40);
  t.OnCalcFields = [](TDataSet& ds) {
    ds.FieldByName("LABEL")->SetAsString(ds.FieldByName("ITEM")->AsString() + " at " +
                                         ds.FieldByName("COST")->AsString());
  };
  OpenItems(t);
  TField* item = t.FieldByName("ITEM");
  TField* cost = t.FieldByName("COST");
  TField* bought = t.FieldByName("PURCHDATE");
  auto seen = [&] {
    return (item->IsNull() ? std::string("-") : item->AsString()) + "|" + cost->AsString() + "|" +
           bought->AsString() + "|" + label->AsString();
  };
  t.Next();
  EXPECT_EQ(seen(), "Item 2|20.50|12/2/95|Item 2 at 20.50");
  const TBookmark second = t.GetBookmark();

  t.Edit();
  cost->SetAsFloat(7.5);
  item->Clear();
  EXPECT_EQ(seen(), "-|7.50|12/2/95| at 7.50");
  EXPECT_TRUE(t.Modified());
  t.Cancel();
  EXPECT_EQ(seen(), "Item 2|20.50|12/2/95|Item 2 at 20.50");
  EXPECT_DOUBLE_EQ(cost->AsFloat(), 20.5);

  t.Last();
  EXPECT_EQ(seen(), "Item 3|30.75|12/3/95|Item 3 at 30.75");
  t.GotoBookmark(second);
  EXPECT_EQ(seen(), "Item 2|20.50|12/2/95|Item 2 at 20.50");
  EXPECT_DOUBLE_EQ(bought->AsDateTime(), EncodeDate(1995, 12, 2));

  t.Insert();
  EXPECT_EQ(seen(), "-|||");
  EXPECT_TRUE(cost->IsNull());
  EXPECT_DOUBLE_EQ(cost->AsFloat(), 0.0);
  t.Cancel();
  EXPECT_EQ(seen(), "Item 2|20.50|12/2/95|Item 2 at 20.50");
  t.Append();
  EXPECT_EQ(seen(), "-|||");
  t.Cancel();
  EXPECT_EQ(seen(), "Item 3|30.75|12/3/95|Item 3 at 30.75");
  EXPECT_FALSE(t.Eof());
  t.GotoBookmark(second);

  t.Edit();
  cost->SetAsString("1.125");
  t.Post();
  EXPECT_EQ(seen(), "Item 2|1.13|12/2/95|Item 2 at 1.13");
}

// The count without the filter event calls it on no record; the count of a
// table file on another thread, beside this open, sees the live records.
TEST_F(TableTest, CountsLeavingTheFilterEventOutAndOnAnotherThread) {
  TTable t;
  MakeItems(t, 6);
  int asked = 0;
  t.SetOnFilterRecord([&asked](TDataSet& ds, bool& accept) {
    ++asked;
    accept = ds.FieldByName("WARRANTY")->AsString() == "Yes";
  });
  t.SetFiltered(true);
  OpenItems(t);
  t.Delete();  // Item 1
  EXPECT_EQ(t.RecordCount(), 2);
  asked = 0;
  EXPECT_EQ(t.UnfilteredRecordCount(), 5);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(t.RecordCount(), 2);  // the filter is in force again
  EXPECT_GT(asked, 0);

  int counted = -1;
  std::thread([&] { counted = CountTableRecords(dir.string(), "ITEMS"); }).join();
  EXPECT_EQ(counted, 5);
  EXPECT_THROW(CountTableRecords(dir.string(), "NOSUCH"), EDatabaseError);
}

TEST_F(TableTest, OpenModesAndEngineErrors) {
  TTable t;
  MakeItems(t, 2);
  TTable shared;
  OpenItems(shared);
  TTable excl;
  excl.SetExclusive(true);
  try {
    OpenItems(excl);
    FAIL() << "exclusive open while shared";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ORB_ERR_TABLE_IN_USE);
    EXPECT_FALSE(std::string(e.what()).empty());
  }
  EXPECT_FALSE(excl.Active());
  shared.Close();
  OpenItems(excl);
  EXPECT_TRUE(excl.Active());
  excl.Close();

  TTable ro;
  ro.SetReadOnly(true);
  OpenItems(ro);
  EXPECT_FALSE(ro.CanModify());
  EXPECT_THROW(ro.Edit(), EDatabaseError);
  ro.Close();

  TTable missing;
  missing.SetDatabaseName(dir.string());
  missing.SetTableName("NOPE");
  try {
    missing.Open();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ORB_ERR_NO_SUCH_TABLE);
  }

  // A lock conflict is retried while the session's hook agrees.
  OpenItems(shared);
  int asked = 0;
  TSession::Default().OnLockRetry = [&](uint16_t code) {
    if (++asked == 2) shared.Close();
    return code == ORB_ERR_TABLE_IN_USE;
  };
  OpenItems(excl);
  TSession::Default().OnLockRetry = nullptr;
  EXPECT_TRUE(excl.Active());
  EXPECT_EQ(asked, 2);
}

TEST_F(TableTest, IndexesSearchesAndRanges) {
  TTable t;
  MakeItems(t, 5);
  t.SetDatabaseName(dir.string());
  t.SetTableName("ITEMS");
  t.AddIndex("QTY", "QUANTITY", 0);
  t.AddIndex("BYWARRANTY", "Upper(WARRANTY)+Upper(ITEM)", ixExpression);
  t.SetIndexName("BYWARRANTY");
  t.Open();
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Item 2", "Item 4", "Item 1", "Item 3", "Item 5"}));
  t.FindNearest({"YES"});
  EXPECT_EQ(t.FieldByName("ITEM")->AsString(), "Item 1");
  EXPECT_EQ(t.IndexDefs().Count(), 2);
  EXPECT_EQ(t.IndexFieldCount(), 0);
  t.SetIndexName("QTY");
  EXPECT_EQ(t.IndexFieldCount(), 1);
  EXPECT_EQ(t.IndexFields(0)->FieldName(), "QUANTITY");
  EXPECT_TRUE(t.FindKey({"3"}));
  EXPECT_EQ(t.FieldByName("ITEM")->AsString(), "Item 3");
  EXPECT_FALSE(t.FindKey({"9"}));
  EXPECT_EQ(t.FieldByName("ITEM")->AsString(), "Item 3");
  t.SetRange({"2"}, {"4"});
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Item 2", "Item 3", "Item 4"}));
  EXPECT_EQ(t.RecordCount(), 3);
  t.CancelRange();
  EXPECT_EQ(t.RecordCount(), 5);
  t.Close();
  t.DeleteIndex("QTY");
  t.SetIndexName("");
  t.Open();
  EXPECT_EQ(t.IndexDefs().Count(), 1);
}

// A post the engine refuses after the memo was handed over must not leave
// that memo behind in the engine, where the next record stored from a buffer
// at the same place would pick it up.
TEST_F(TableTest, RefusedPostLeavesNoMemoForTheNextRecord) {
  TTable t;
  t.SetDatabaseName(dir.string());
  t.SetTableName("NOTES.DBF");
  t.SetTableType(ttDBase);
  t.FieldDefs().Add("NOTES", ftMemo);
  t.FieldDefs().Add("QTY", ftInteger).SetPrecision(3);
  t.FieldDefs().Add("ITEM", ftString, 10);
  t.CreateTable();
  t.Open();
  for (int round = 0; round < 3; ++round) {
    t.Append();
    t.FieldByName("NOTES")->SetAsString("private note " + std::to_string(round));
    t.FieldByName("QTY")->SetAsInteger(12345);  // wider than the field
    EXPECT_THROW(t.Post(), EDatabaseError);
    EXPECT_EQ(t.State(), dsInsert);
    t.Cancel();
    t.Append();
    t.FieldByName("ITEM")->SetAsString("plain " + std::to_string(round));
    t.Post();
  }
  t.Close();
  t.Open();
  int seen = 0;
  for (t.First(); !t.Eof(); t.Next(), ++seen)
    EXPECT_TRUE(t.FieldByName("NOTES")->IsNull()) << t.FieldByName("ITEM")->AsString() << ": "
                                                  << t.FieldByName("NOTES")->AsString();
  EXPECT_EQ(seen, 3);
}

// A range whose bounds do not convert is refused as a whole: the table is
// left browsing its records, and no half-set range comes back on reopening.
TEST_F(TableTest, RefusedRangeLeavesTheTableBrowsingWithoutARange) {
  TTable t;
  MakeItems(t, 5);
  t.SetDatabaseName(dir.string());
  t.SetTableName("ITEMS");
  t.AddIndex("QTY", "QUANTITY", 0);
  t.SetIndexName("QTY");
  t.Open();
  const std::vector<std::string> all{"Item 1", "Item 2", "Item 3", "Item 4", "Item 5"};
  const struct {
    std::vector<std::string> start, end;
  } kCases[] = {{{"two"}, {"4"}}, {{"2"}, {"four"}}};
  for (const auto& c : kCases) {
    t.First();
    EXPECT_THROW(t.SetRange(c.start, c.end), EConvertError);
    EXPECT_EQ(t.State(), dsBrowse);
    EXPECT_EQ(t.FieldByName("ITEM")->AsString(), "Item 1");
    EXPECT_EQ(Items(t), all);
    t.Close();
    t.Open();
    EXPECT_EQ(Items(t), all);
  }
}

TEST_F(TableTest, BatchCommitsAllOrRollsBackAllAndRefusesCallsOutOfTurn) {
  TTable t;
  MakeItems(t, 2);
  OpenItems(t);
  EXPECT_FALSE(t.InBatch());
  EXPECT_THROW(t.CommitBatch(), EDatabaseError);
  EXPECT_THROW(t.RollbackBatch(), EDatabaseError);
  auto add = [&](const char* item) {
    t.Append();
    t.FieldByName("Item")->SetAsString(item);
    t.Post();
  };
  // Rolled back: the records shown are read again, the appended ones gone,
  // an edit in progress dropped.
  t.BeginBatch();
  EXPECT_TRUE(t.InBatch());
  try {
    t.BeginBatch();
    FAIL() << "nested batch";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ORB_ERR_INVALID_PARAM);
  }
  add("Item 3");
  t.First();
  t.Edit();
  t.FieldByName("Item")->SetAsString("Changed");
  t.Post();
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Changed", "Item 2", "Item 3"}));
  t.Edit();
  t.FieldByName("Item")->SetAsString("Pending");
  t.RollbackBatch();
  EXPECT_FALSE(t.InBatch());
  EXPECT_EQ(t.State(), dsBrowse);
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Item 1", "Item 2"}));
  // Committed: a pending edit is posted first, and every change stays.
  t.BeginBatch();
  add("Item 3");
  add("Item 4");
  t.Edit();
  t.FieldByName("Item")->SetAsString("Last");
  t.CommitBatch();
  EXPECT_FALSE(t.InBatch());
  t.Close();
  OpenItems(t);
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Item 1", "Item 2", "Item 3", "Last"}));
  // Closing the table ends its batch, undone.
  t.BeginBatch();
  add("Item 5");
  t.Close();
  OpenItems(t);
  EXPECT_FALSE(t.InBatch());
  EXPECT_EQ(t.RecordCount(), 4);
  t.Close();
  TTable ro;
  ro.SetReadOnly(true);
  OpenItems(ro);
  try {
    ro.BeginBatch();
    FAIL() << "batch on a read-only table";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ORB_ERR_READ_ONLY);
  }
}

// An edit writes anew only the fields it changed: the others keep the
// bytes the record holds, also bytes another program laid out its own way,
// and a memo left alone is not written again.
TEST_F(TableTest, AnEditWritesOnlyTheFieldsItChanged) {
  detail::EngineApi& e = detail::Engine();
  std::vector<OrbFieldDesc> descs(3);
  std::strcpy(descs[0].name, "ITEM");
  descs[0].type = 'C';
  descs[0].width = 10;
  std::strcpy(descs[1].name, "COST");
  descs[1].type = 'N';
  descs[1].width = 8;
  descs[1].decimals = 2;
  std::strcpy(descs[2].name, "NOTE");
  descs[2].type = 'M';
  descs[2].width = 10;
  OrbDatabase db = 0;
  ASSERT_EQ(e.EngineOpenDatabase(dir.c_str(), &db), ORB_OK);
  ASSERT_EQ(e.EngineCreateTable(db, "KEPT", 3, descs.data(), 0), ORB_OK);
  e.EngineCloseDatabase(db);
  TTable t;
  t.SetDatabaseName(dir.string());
  t.SetTableName("KEPT.DBF");
  t.Open();
  t.Append();
  t.FieldByName("ITEM")->SetAsString("lamp");
  t.FieldByName("COST")->SetAsFloat(1.5);
  t.FieldByName("NOTE")->SetAsString("a memo of its own");
  t.Post();
  t.Close();
  auto read = [&](const char* name) {
    std::string bytes;
    if (FILE* f = std::fopen((dir / name).c_str(), "rb")) {
      char b[4096];
      for (size_t n; (n = std::fread(b, 1, sizeof b, f)) > 0;) bytes.append(b, n);
      std::fclose(f);
    }
    return bytes;
  };
  // Record 1 follows the header (32 + 3 * 32 + 1 bytes): the flag, ITEM at
  // 1, COST at 11, NOTE at 19.
  constexpr size_t kRecord = 129;
  std::string dbf = read("KEPT.DBF");
  ASSERT_GT(dbf.size(), kRecord + 29);
  ASSERT_EQ(dbf.substr(kRecord + 11, 8), "    1.50");
  // Another program wrote the cost left-aligned.
  dbf.replace(kRecord + 11, 8, "1.5     ");
  if (FILE* f = std::fopen((dir / "KEPT.DBF").c_str(), "r+b")) {
    std::fwrite(dbf.data(), 1, dbf.size(), f);
    std::fclose(f);
  }
  const std::string dbt = read("KEPT.DBT");
  struct Case {
    const char* what;
    std::function<void(TTable&)> edit;
    std::string item, cost;  // the bytes the record holds after the post
  };
  const std::vector<Case> cases = {
      {"a value set as it was", [](TTable& t) { t.FieldByName("ITEM")->SetAsString("lamp"); }, "lamp      ",
       "1.5     "},
      {"another field changed", [](TTable& t) { t.FieldByName("ITEM")->SetAsString("desk lamp"); }, "desk lamp ",
       "1.5     "},
      {"the field itself changed", [](TTable& t) { t.FieldByName("COST")->SetAsFloat(2.25); }, "desk lamp ",
       "    2.25"},
      // Posted, the field reads as what was stored: cut to its decimals.
      {"a value finer than the field", [](TTable& t) { t.FieldByName("COST")->SetAsFloat(3.14159); }, "desk lamp ",
       "    3.14"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    t.Open();
    t.Edit();
    c.edit(t);
    t.Post();
    EXPECT_DOUBLE_EQ(t.FieldByName("COST")->AsFloat(), std::stod(c.cost));
    EXPECT_EQ(t.FieldByName("ITEM")->AsString(), c.item.substr(0, c.item.find_last_not_of(' ') + 1));
    EXPECT_EQ(t.FieldByName("NOTE")->AsString(), "a memo of its own");
    t.Close();
    const std::string now = read("KEPT.DBF");
    ASSERT_GT(now.size(), kRecord + 29);
    EXPECT_EQ(now.substr(kRecord + 1, 10), c.item);
    EXPECT_EQ(now.substr(kRecord + 11, 8), c.cost);
    EXPECT_EQ(now.substr(kRecord + 19, 10), dbf.substr(kRecord + 19, 10)) << "the memo's block";
    EXPECT_TRUE(read("KEPT.DBT") == dbt) << "the memo file was written";
  }
}

}  // namespace
}  // namespace fwtest
