#include "core/old_databases.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/inventory_table.h"
#include "core/item_fields.h"
#include "framework/dbtables.h"
#include "framework/sysutils.h"
#include "platform/ui.h"
#include "temp_root.h"

namespace fs = std::filesystem;
using platform::ui::Answer;
using testing_support::TempRoot;

namespace keldro {
namespace {

// One table of each earlier version, kept as those versions wrote them.
const fs::path kFixtures = STASHWELL_APP_TEST_DATA;

class OldDatabasesTest : public testing::Test {
 protected:
  void SetUp() override {
    // The engine beside the test program: a sanitizer build does not search the program's own path.
    framework::TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
    platform::ui::Install(ui);
    fs::create_directories(root.programDir());
    for (const char* name : {"D2ADE.DBF", "VIDI.DBF"}) fs::copy_file(kFixtures / name, root.programDir() / name);
    target.SetDatabaseName(root.programDir().string());
    target.SetTableName("MASTER.DBF");
    target.SetTableType(framework::ttDBase);
    DefineItemFields(target.FieldDefs());
    target.CreateTable();
    target.SetTableName("MASTER");
    target.Open();
  }

  // The stored record as field=value lines, blank fields left out.
  std::string Record() {
    std::string out;
    for (const ItemField& f : ItemFields) {
      const framework::TField& field = *target.FieldByName(f.name);
      if (field.IsNull()) continue;
      std::string value;
      if (f.typeCode == kDateField) {
        int y = 0, m = 0, d = 0;
        framework::DecodeDate(field.AsDateTime(), y, m, d);
        value = std::to_string(y) + "-" + std::to_string(m) + "-" + std::to_string(d);
      } else if (f.typeCode == kFloatField) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", field.AsFloat());
        value = text;
      } else {
        value = framework::Trim(field.AsString());
        if (value.empty()) continue;
      }
      out += std::string(f.name) + "=" + value + "\n";
    }
    return out;
  }

  std::vector<std::string> Records() {
    std::vector<std::string> all;
    for (target.First(); !target.Eof(); target.Next()) all.push_back(Record());
    return all;
  }

  TempRoot root;
  std::shared_ptr<platform::ui::ScriptedUi> ui = std::make_shared<platform::ui::ScriptedUi>();
  framework::TTable target;
};

TEST_F(OldDatabasesTest, BothEarlierVersionsAreOfferedAndCarriedOverByValue) {
  ui->answers = {Answer::Yes, Answer::Yes};
  EXPECT_TRUE(CheckForConversion(root.programDir(), target));
  EXPECT_EQ(ui->MessageTexts(),
            (std::vector<std::string>{std::string(kConvertVersion2Question), std::string(kConvertVersion1Question)}));
  EXPECT_EQ(ui->MessageCaptions(), (std::vector<std::string>{"Convert", "Convert"}));
  EXPECT_FALSE(fs::exists(root.programDir() / "D2ADE.DBF"));
  EXPECT_FALSE(fs::exists(root.programDir() / "VIDI.DBF"));
  EXPECT_EQ(Records(), (std::vector<std::string>{
                           // version 2: field by field, dates and numbers by value
                           "Item=Mantel clock\nBrand=Hartwell\nModel=MC-2\nSerial=88123\nLocation=Parlour\n"
                           "Descriptio=Walnut case, eight-day movement\nBoughtFrom=Estate sale\n"
                           "IDMarks=Scratch on base\nQuantity=3\nPurchDate=1921-7-4\nCost=1234.56\nCategory=Clocks\n"
                           "RepCost=1500.00\nWarranty=Yes\nWarDate=1999-12-31\nWarNotes=Two years\nOwner=Ann\n"
                           "Value=99.50\n",
                           "Item=Desk\nLocation=Study\nCategory=Furniture\nWarranty=No\n",
                           // version 1: Room becomes Location, the date comes from three texts
                           "Item=Radio\nBrand=Tonewell\nModel=R5\nSerial=A-77\nLocation=Den\nDescriptio=Valve set\n"
                           "BoughtFrom=Corner shop\nQuantity=1\nPurchDate=1994-2-3\nCost=20.25\nCategory=Audio\n",
                           "Item=Lamp\nLocation=Hall\nQuantity=2\nPurchDate=2029-12-31\nCategory=Lighting\n",
                           "Item=Rug\nLocation=Hall\nCost=5.00\n",
                       }));
}

TEST_F(OldDatabasesTest, AnsweringNoKeepsTheOldTableAndAddsNothing) {
  ui->answers = {Answer::No, Answer::No};
  EXPECT_FALSE(CheckForConversion(root.programDir(), target));
  EXPECT_EQ(ui->MessageTexts().size(), 2u);
  EXPECT_TRUE(fs::exists(root.programDir() / "D2ADE.DBF"));
  EXPECT_TRUE(fs::exists(root.programDir() / "VIDI.DBF"));
  EXPECT_TRUE(Records().empty());
}

// A kill between the conversion's commit and the old file's removal leaves
// both files: the next start finishes the removal and asks nothing, unless
// the table does not end with the old records as converted.
TEST_F(OldDatabasesTest, AnOldTableWhoseRecordsAreInAlreadyIsRemovedWithoutAnotherOffer) {
  ui->answers = {Answer::Yes, Answer::No};
  ASSERT_TRUE(CheckForConversion(root.programDir(), target));
  const std::vector<std::string> converted = Records();
  ASSERT_EQ(converted.size(), 2u);
  fs::copy_file(kFixtures / "D2ADE.DBF", root.programDir() / "D2ADE.DBF");
  ui->answers = {Answer::No};
  EXPECT_FALSE(CheckForConversion(root.programDir(), target));
  EXPECT_EQ(ui->MessageTexts().back(), std::string(kConvertVersion1Question));
  EXPECT_EQ(ui->MessageTexts().size(), 3u);
  EXPECT_FALSE(fs::exists(root.programDir() / "D2ADE.DBF"));
  EXPECT_TRUE(fs::exists(root.programDir() / "VIDI.DBF"));
  EXPECT_EQ(Records(), converted);

  // The table holds other values, or the records are not at its end: the
  // old table is offered as ever. (Each change is undone before the next.)
  auto setOwner = [&](const char* owner) {
    target.Last();
    target.Edit();
    target.FieldByName("Owner")->SetAsString(owner);
    target.Post();
  };
  struct Case {
    const char* what;
    std::function<void()> change, undo;
  };
  const std::vector<Case> cases = {
      {"one of them changed", [&] { setOwner("Someone else"); }, [&] { setOwner(""); }},
      {"a record after them",
       [&] {
         target.Append();
         target.FieldByName("Item")->SetAsString("Added later");
         target.Post();
       },
       [&] {
         target.Last();
         target.Delete();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.change();
    fs::copy_file(kFixtures / "D2ADE.DBF", root.programDir() / "D2ADE.DBF", fs::copy_options::overwrite_existing);
    const size_t asked = ui->MessageTexts().size();
    ui->answers = {Answer::No, Answer::No};
    EXPECT_FALSE(CheckForConversion(root.programDir(), target));
    ASSERT_EQ(ui->MessageTexts().size(), asked + 2) << testing::PrintToString(ui->MessageTexts());
    EXPECT_EQ(ui->MessageTexts()[asked], std::string(kConvertVersion2Question));
    EXPECT_TRUE(fs::exists(root.programDir() / "D2ADE.DBF"));
    c.undo();
  }
  // Undone, the records are at the end once more.
  EXPECT_EQ(Records(), converted);
}

TEST_F(OldDatabasesTest, AConversionIntoNoOpenTableKeepsTheOldFileAndSaysWhy) {
  target.Close();
  EXPECT_EQ(ConvertOldTable(target, root.programDir() / "VIDI.DBF", OldVersion::Version1), "no database is open.");
  EXPECT_TRUE(fs::exists(root.programDir() / "VIDI.DBF"));
  EXPECT_EQ(ConversionFailedMessage("VIDI.DBF", "no database is open."),
            "The database \"VIDI.DBF\" could not be converted: no database is open.  It has been kept as it was, "
            "and nothing was added.");
}

}  // namespace
}  // namespace keldro
