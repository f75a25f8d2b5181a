#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "fake_cursor.h"

namespace fwtest {
namespace {

std::shared_ptr<Store> NumberedStore(int count) {
  auto s = std::make_shared<Store>();
  s->fields = {{"ID", ftInteger, 0, 11, 0, false}, {"NAME", ftString, 10, 10, 0, false},
               {"COST", ftFloat, 2, 12, 2, false}, {"BOUGHT", ftDate, 0, 8, 0, false}};
  for (int i = 1; i <= count; ++i)
    s->Add({int64_t{i}, std::string("item") + std::to_string(i), i * 1.5, FieldValue{}});
  return s;
}

struct Fixture {
  explicit Fixture(int records, int bufferRows = 3) : store(NumberedStore(records)), ds(store), source(&ds) {
    link.SetDataSource(&source);
    link.SetBufferCount(bufferRows);
  }
  std::shared_ptr<Store> store;
  FakeDataSet ds;
  TDataSource source;
  RecordingLink link;
  int Id() { return ds.FieldByName("id")->AsInteger(); }
};

TEST(DataSet, OpenRunsTheStepsInOrderAndTellsTheLinks) {
  Fixture f(5);
  f.ds.Open();
  EXPECT_EQ(f.ds.steps, (std::vector<std::string>{"open", "create", "prepare"}));
  EXPECT_EQ(f.link.Take(), "active");
  EXPECT_EQ(f.ds.State(), dsBrowse);
  EXPECT_TRUE(f.ds.Bof());
  EXPECT_FALSE(f.ds.Eof());
  EXPECT_EQ(f.link.RecordCount(), 3);
  EXPECT_EQ(f.Id(), 1);
  f.ds.Close();
  EXPECT_EQ(f.link.Take(), "inactive");
  EXPECT_EQ(f.ds.State(), dsInactive);
  EXPECT_EQ(f.ds.FieldCount(), 0);
}

TEST(DataSet, MovesReportDistancesAndScrollTheWindow) {
  Fixture f(6);
  f.ds.Open();
  f.link.Take();
  struct Step {
    const char* what;
    int arg;
    int moved;
    int id;
    int row;
    bool bof, eof;
    const char* events;
  };
  const Step steps[] = {
      {"moveby", 1, 1, 2, 1, false, false, "check, scrolled 0"},
      {"moveby", 1, 1, 3, 2, false, false, "check, scrolled 0"},
      {"moveby", 1, 1, 4, 2, false, false, "check, scrolled 1"},   // past the window: one row up
      {"moveby", 5, 2, 6, 2, false, true, "check, scrolled 2"},    // only two records were left
      {"moveby", 1, 0, 6, 2, false, true, "check"},              // at the end nothing moves
      {"moveby", -4, -4, 2, 0, false, false, "check, scrolled -2"},
      {"moveby", -3, -1, 1, 0, true, false, "check, scrolled -1"},
      {"last", 0, 0, 6, 2, false, true, "check, changed"},
      {"first", 0, 0, 1, 0, true, false, "check, changed"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.what) + " " + std::to_string(s.arg));
    int moved = 0;
    if (std::string(s.what) == "moveby") moved = f.ds.MoveBy(s.arg);
    if (std::string(s.what) == "last") f.ds.Last();
    if (std::string(s.what) == "first") f.ds.First();
    EXPECT_EQ(moved, s.moved);
    EXPECT_EQ(f.Id(), s.id);
    EXPECT_EQ(f.link.ActiveRecord(), s.row);
    EXPECT_EQ(f.ds.Bof(), s.bof);
    EXPECT_EQ(f.ds.Eof(), s.eof);
    EXPECT_EQ(f.link.Take(), s.events);
  }
}

TEST(DataSet, EmptyDatasetInsertsOnEditAndRefusesDelete) {
  Fixture f(0);
  f.ds.Open();
  EXPECT_TRUE(f.ds.IsEmpty());
  EXPECT_TRUE(f.ds.Bof() && f.ds.Eof());
  EXPECT_THROW(f.ds.Delete(), EDatabaseError);
  f.link.Take();
  f.ds.Edit();
  EXPECT_EQ(f.ds.State(), dsInsert);
  f.ds.FieldByName("NAME")->SetAsString("first");
  f.ds.Post();
  EXPECT_EQ(f.ds.State(), dsBrowse);
  EXPECT_EQ(f.ds.RecordCount(), 1);
  EXPECT_EQ(f.store->rows[0].values[1], FieldValue(std::string("first")));
}

TEST(DataSet, EditPostCancelAndTheirNotifications) {
  Fixture f(4);
  f.ds.Open();
  f.ds.Next();
  f.link.Take();

  f.ds.Edit();
  EXPECT_EQ(f.link.Take(), "check, editing, record -");
  f.ds.FieldByName("NAME")->SetAsString("renamed");
  EXPECT_TRUE(f.ds.Modified());
  EXPECT_EQ(f.link.Take(), "record NAME");
  f.ds.Post();
  EXPECT_EQ(f.link.Take(), "update, changed, not editing");
  EXPECT_EQ(f.store->rows[1].values[1], FieldValue(std::string("renamed")));
  EXPECT_EQ(f.Id(), 2);

  f.ds.Edit();
  f.ds.FieldByName("NAME")->SetAsString("lost");
  f.link.Take();
  f.ds.Cancel();
  EXPECT_EQ(f.link.Take(), "check, not editing, changed");
  EXPECT_EQ(f.ds.FieldByName("NAME")->AsString(), "renamed");
  EXPECT_EQ(f.store->rows[1].values[1], FieldValue(std::string("renamed")));

  // An untouched edit is cancelled by a move, a modified one posted.
  f.ds.Edit();
  f.ds.Next();
  EXPECT_EQ(f.ds.State(), dsBrowse);
  f.ds.Edit();
  f.ds.FieldByName("COST")->SetAsFloat(9.25);
  f.ds.Prior();
  EXPECT_DOUBLE_EQ(std::get<double>(f.store->rows[2].values[2]), 9.25);
  EXPECT_EQ(f.Id(), 2);
}

TEST(DataSet, InsertAppendAndDeleteKeepTheWindow) {
  Fixture f(4);
  f.ds.Open();
  f.ds.Next();  // on 2
  f.link.Take();
  f.ds.Insert();
  EXPECT_EQ(f.link.Take(), "check, editing, changed");
  EXPECT_EQ(f.ds.State(), dsInsert);
  EXPECT_TRUE(f.ds.FieldByName("ID")->IsNull());
  EXPECT_EQ(f.link.ActiveRecord(), 1);
  f.ds.Cancel();
  EXPECT_EQ(f.Id(), 2);

  f.ds.Append();
  EXPECT_EQ(f.link.ActiveRecord(), 2);  // below the last records
  f.ds.FieldByName("ID")->SetAsInteger(5);
  f.ds.Post();
  EXPECT_EQ(f.Id(), 5);
  EXPECT_EQ(f.ds.RecordCount(), 5);

  f.ds.First();
  f.ds.Next();
  f.ds.Delete();  // 2 goes, 3 takes its place
  EXPECT_EQ(f.Id(), 3);
  EXPECT_EQ(f.ds.RecordCount(), 4);
  f.ds.Last();
  f.ds.Delete();  // the last goes, the one before it is current
  EXPECT_EQ(f.Id(), 4);
  f.store->readOnly = true;
  EXPECT_THROW(f.ds.Edit(), EDatabaseError);
  EXPECT_THROW(f.ds.Insert(), EDatabaseError);
  EXPECT_EQ(f.ds.State(), dsBrowse);
}

TEST(DataSet, InsertIntoAOneRowWindowEditsTheNewRecord) {
  Fixture f(2, 1);
  f.ds.Open();
  f.ds.Insert();
  f.ds.FieldByName("ID")->SetAsInteger(9);
  EXPECT_EQ(f.link.ActiveRecord(), 0);
  f.ds.Post();
  EXPECT_EQ(f.Id(), 9);
  EXPECT_EQ(f.ds.RecordCount(), 3);
}

// A new record given up leaves the window on the records about it: the one
// it stood before, or after an append the last ones.
TEST(DataSet, CancelledNewRecordGivesTheWindowBack) {
  Fixture one(4, 1);
  one.ds.Open();
  one.ds.Next();
  one.ds.Insert();
  one.ds.Cancel();
  EXPECT_EQ(one.Id(), 2);
  EXPECT_FALSE(one.ds.Eof());
  one.ds.Next();
  EXPECT_EQ(one.Id(), 3);

  Fixture three(5, 3);
  three.ds.Open();
  three.ds.Append();
  three.ds.Cancel();
  EXPECT_EQ(three.Id(), 5);
  EXPECT_EQ(three.link.RecordCount(), 3);
  EXPECT_EQ(three.link.ActiveRecord(), 2);
  three.ds.Prior();
  EXPECT_EQ(three.Id(), 4);

  Fixture none(0, 3);
  none.ds.Open();
  none.ds.Append();
  none.ds.Cancel();
  EXPECT_TRUE(none.ds.IsEmpty());
  EXPECT_TRUE(none.ds.Eof() && none.ds.Bof());
}

TEST(DataSet, DisableControlsNestsAndNotifiesOnceAtTheLastEnable) {
  Fixture f(8);
  f.ds.Open();
  f.link.Take();
  f.ds.DisableControls();
  f.ds.DisableControls();
  f.ds.Next();
  f.ds.Next();
  f.ds.Last();
  f.ds.EnableControls();
  EXPECT_EQ(f.link.Take(), "check, check, check");  // pending edits are still collected
  f.ds.FieldByName("NAME")->SetDisplayLabel("Name");
  f.ds.EnableControls();
  EXPECT_EQ(f.link.Take(), "layout");
  f.ds.DisableControls();
  f.ds.EnableControls();
  EXPECT_EQ(f.link.Take(), "changed");
  EXPECT_EQ(f.link.ActiveRecord(), 2);
  EXPECT_EQ(f.Id(), 8);
}

TEST(DataSet, FilterEventReadsTheRecordUnderTestAndCannotMove) {
  Fixture f(10);
  f.ds.Open();
  bool triedToMove = false;
  f.ds.SetOnFilterRecord([&](TDataSet& ds, bool& accept) {
    accept = ds.FieldByName("ID")->AsInteger() % 3 == 0;
    if (!triedToMove) {
      triedToMove = true;
      EXPECT_THROW(ds.Next(), EDatabaseError);
      EXPECT_THROW(ds.FieldByName("NAME")->SetAsString("x"), EDatabaseError);
    }
  });
  f.ds.SetFiltered(true);
  EXPECT_TRUE(triedToMove);
  EXPECT_EQ(f.ds.RecordCount(), 3);
  std::vector<int> seen;
  for (f.ds.First(); !f.ds.Eof(); f.ds.Next()) seen.push_back(f.Id());
  EXPECT_EQ(seen, (std::vector<int>{3, 6, 9}));

  // An exception from the handler reaches the caller; the dataset stays usable.
  try {
    f.ds.SetOnFilterRecord([](TDataSet& ds, bool&) { ds.FieldByName("NOPE"); });
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Field 'NOPE' not found");
  }
  EXPECT_EQ(f.ds.State(), dsBrowse);
  f.ds.SetFiltered(false);
  EXPECT_EQ(f.ds.RecordCount(), 10);
}

TEST(DataSet, BookmarksAndRefreshSeeTheStore) {
  Fixture f(5);
  f.ds.Open();
  f.ds.MoveBy(3);
  TBookmark b = f.ds.GetBookmark();
  f.ds.First();
  f.ds.GotoBookmark(b);
  EXPECT_EQ(f.Id(), 4);
  EXPECT_TRUE(f.ds.BookmarkValid(b));
  EXPECT_LT(f.ds.CompareBookmarks(f.ds.GetBookmark(), b) == 0 ? -1 : 0, 0);

  // Another writer changes the stored record: a refresh shows it in place.
  f.store->rows[3].values[1] = std::string("changed");
  EXPECT_EQ(f.ds.FieldByName("NAME")->AsString(), "item4");
  f.link.Take();
  f.ds.Refresh();
  EXPECT_EQ(f.link.Take(), "check, changed");
  EXPECT_EQ(f.ds.FieldByName("NAME")->AsString(), "changed");
  EXPECT_EQ(f.Id(), 4);

  // The current record deleted behind our back: Edit refuses it.
  f.store->rows[3].deleted = true;
  EXPECT_THROW(f.ds.Edit(), EDatabaseError);
  EXPECT_EQ(f.ds.State(), dsBrowse);
  EXPECT_EQ(f.Id(), 5);
}

TEST(DataSet, BufferCountFollowsTheLargestLinkAndRowsPaint) {
  Fixture f(20, 1);
  RecordingLink grid;
  grid.SetDataSource(&f.source);
  f.ds.Open();
  EXPECT_EQ(f.ds.BufferCount(), 1);
  grid.SetBufferCount(5);
  EXPECT_EQ(f.ds.BufferCount(), 5);
  EXPECT_EQ(grid.RecordCount(), 5);
  EXPECT_EQ(f.link.RecordCount(), 1);
  f.ds.MoveBy(6);
  EXPECT_EQ(grid.ActiveRecord(), 4);
  EXPECT_EQ(f.link.ActiveRecord(), 0);
  EXPECT_EQ(f.Id(), 7);
  // Painting row 0 reads the record of that row, then the grid puts it back.
  int active = grid.ActiveRecord();
  grid.SetActiveRecord(0);
  EXPECT_EQ(f.Id(), 3);
  grid.SetActiveRecord(active);
  EXPECT_EQ(f.Id(), 7);
  grid.SetBufferCount(2);
  EXPECT_EQ(f.ds.BufferCount(), 2);
  EXPECT_EQ(grid.ActiveRecord(), 1);
  EXPECT_EQ(f.Id(), 7);
  f.ds.Prior();
  f.ds.Prior();
  EXPECT_EQ(f.Id(), 5);
  grid.SetDataSource(nullptr);
  EXPECT_EQ(f.ds.BufferCount(), 1);
  EXPECT_EQ(f.Id(), 5);
}

TEST(DataSet, CalculatedFieldsAreComputedPerRecord) {
  Fixture f(3);
  TField* twice = f.ds.AddCalcField("TWICE", ftFloat);
  f.ds.OnCalcFields = [](TDataSet& ds) {
    ds.FieldByName("TWICE")->SetAsFloat(ds.FieldByName("COST")->AsFloat() * 2);
  };
  f.ds.Open();
  EXPECT_TRUE(twice->Calculated());
  EXPECT_DOUBLE_EQ(twice->AsFloat(), 3.0);
  f.ds.Next();
  EXPECT_DOUBLE_EQ(twice->AsFloat(), 6.0);
  f.ds.Edit();
  f.ds.FieldByName("COST")->SetAsFloat(10);
  EXPECT_DOUBLE_EQ(twice->AsFloat(), 20.0);
  f.ds.Cancel();
  EXPECT_DOUBLE_EQ(twice->AsFloat(), 6.0);
  f.ds.Close();
  f.ds.Open();
  EXPECT_EQ(f.ds.FieldByName("TWICE"), twice);  // kept across opens
}

TEST(Fields, PropertiesConversionsAndLayout) {
  Fixture f(2);
  f.ds.Open();
  f.link.Take();
  TField* name = f.ds.FieldByName("name");
  TField* cost = f.ds.FieldByName("COST");
  TField* bought = f.ds.FieldByName("BOUGHT");
  EXPECT_EQ(name->FieldNo(), 2);
  EXPECT_EQ(name->DataType(), ftString);
  EXPECT_EQ(name->DisplayWidth(), 10);
  EXPECT_EQ(cost->Alignment(), taRightJustify);
  EXPECT_EQ(cost->AsString(), "1.50");
  EXPECT_TRUE(bought->IsNull());
  EXPECT_EQ(bought->AsString(), "");
  try {
    f.ds.FieldByName("Missing");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Field 'Missing' not found");
  }
  EXPECT_THROW(name->SetAsString("x"), EDatabaseError);  // browse mode

  name->SetIndex(0);
  EXPECT_EQ(f.ds.Fields(0), name);
  EXPECT_EQ(name->FieldNo(), 2);
  name->SetDisplayWidth(25);
  name->SetVisible(false);
  name->SetVisible(false);  // no change, no event
  EXPECT_EQ(f.link.Take(), "layout, layout, layout");

  f.ds.Edit();
  name->SetAsString("a much longer text");
  EXPECT_EQ(name->AsString(), "a much lon");
  EXPECT_THROW(cost->SetAsString("12,5"), EConvertError);
  EXPECT_THROW(bought->SetAsString("13/45/95"), EConvertError);
  bought->SetAsString("12/31/95");
  EXPECT_EQ(bought->AsString(), "12/31/95");
  cost->SetAsString(" 12.5 ");
  EXPECT_DOUBLE_EQ(cost->AsFloat(), 12.5);
  EXPECT_EQ(cost->AsInteger(), 13);
  cost->Clear();
  EXPECT_TRUE(cost->IsNull());
  EXPECT_TRUE(cost->IsValidChar('7'));
  EXPECT_FALSE(cost->IsValidChar('x'));
  EXPECT_FALSE(f.ds.FieldByName("ID")->IsValidChar('.'));
  EXPECT_TRUE(name->IsValidChar('x'));
  f.ds.Post();
  EXPECT_EQ(f.store->rows[0].values[1], FieldValue(std::string("a much lon")));
  EXPECT_EQ(f.store->rows[0].values[3], FieldValue(int64_t{DateToEngineDay(EncodeDate(1995, 12, 31))}));
}

// A number field with decimals reads back as printf's "%.*f" would write it
// in the C locale: exact rounding of the stored double, ties included.
TEST(Fields, NumberTextMatchesFixedFormattingOfTheStoredValue) {
  const double values[] = {0.0, -0.0, 0.004, -0.004, 0.005, 0.015, 0.125, -0.125, 1.005, 2.675, 1.5, -1.5,
                           12.5, 99.99, -99.99, 1234567.89, 0.1 + 0.2, 1e12 + 0.01, 11258999068426.23,
                           -11258999068426.23, 1e15, -3e17, 1e300, 5e-324, 7.0000000000000001};
  for (int decimals : {1, 2, 3, 4, 5, 6, 8}) {
    auto s = std::make_shared<Store>();
    s->fields = {{"V", ftFloat, decimals, 20, decimals, false}};
    for (double v : values) s->Add({v});
    uint64_t seed = 42;  // a spread of values with many digits
    for (int i = 0; i < 2000; ++i) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      const double v = static_cast<double>(static_cast<int64_t>(seed >> 20)) / std::pow(10.0, i % 9);
      s->Add({i % 2 ? v : -v});
    }
    FakeDataSet ds(s);
    ds.Open();
    for (const Store::Row& row : s->rows) {
      const double v = std::get<double>(row.values[0]);
      char want[400];
      std::snprintf(want, sizeof want, "%.*f", decimals, v);
      EXPECT_EQ(ds.Fields(0)->AsString(), want) << decimals << " decimals of " << v;
      ds.Next();
    }
  }
}

TEST(DataSource, StateAndDataChangeEventsAndFieldLinks) {
  Fixture f(3);
  std::vector<TDataSetState> states;
  int dataChanges = 0;
  f.source.OnStateChange = [&](TDataSource& s) { states.push_back(s.State()); };
  f.source.OnDataChange = [&](TDataSource&, TField*) { ++dataChanges; };
  TFieldDataLink fl;
  std::string shown;
  fl.SetFieldName("NAME");
  fl.OnDataChange = [&] { shown = fl.Field() ? fl.Field()->AsString() : "<none>"; };
  fl.SetDataSource(&f.source);
  f.ds.Open();
  EXPECT_EQ(shown, "item1");
  f.ds.Next();
  EXPECT_EQ(shown, "item2");
  fl.OnUpdateData = [&] { fl.Field()->SetAsString("typed"); };
  EXPECT_TRUE(fl.Edit());
  fl.SetModified();
  f.ds.Post();  // update data writes the control's text first
  EXPECT_EQ(f.store->rows[1].values[1], FieldValue(std::string("typed")));
  f.ds.Close();
  EXPECT_EQ(fl.Field(), nullptr);
  EXPECT_EQ(states, (std::vector<TDataSetState>{dsBrowse, dsEdit, dsBrowse, dsInactive}));
  EXPECT_GT(dataChanges, 0);
  f.source.AutoEdit = false;
  f.ds.Open();
  f.source.Edit();
  EXPECT_EQ(f.ds.State(), dsBrowse);
  f.source.OnStateChange = nullptr;  // the handlers' state goes before the fixture's
  f.source.OnDataChange = nullptr;
}

}  // namespace
}  // namespace fwtest
