#include "core/inventory_table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/item_fields.h"
#include "platform/ui.h"
#include "temp_root.h"

using testing_support::TempRoot;

namespace keldro {
namespace {

TEST(ItemFields, NumbersAndLookupsAgree) {
  for (const ItemField& f : ItemFields) {
    EXPECT_EQ(ItemFieldByNumber(f.number), &f);
    EXPECT_EQ(ItemFieldByName(std::string(f.name)), &f);
  }
  EXPECT_EQ(ItemFieldByName("descriptio")->title, "Description");
  EXPECT_EQ(ItemFieldByNumber(0), nullptr);
  EXPECT_EQ(ItemFieldByNumber(23), nullptr);
  EXPECT_EQ(ItemFieldByName("Description"), nullptr);  // stored as Descriptio
}

TEST(SortExpression, FollowsTheLevels) {
  struct Case {
    const char* name;
    std::array<int, 4> levels;
    const char* expected;
  } cases[] = {
      {"default category", {12, 0, 0, 0}, "Upper(Left(Category,80))"},
      {"category then cost", {12, 11, 0, 0}, "Upper(Left(Category,40))+STR(Cost,12,2)"},
      {"none", {0, 0, 0, 0}, ""},
      {"three levels share 80", {1, 2, 3, 0}, "Upper(Left(Item,26))+Upper(Left(Brand,26))+Upper(Left(Model,26))"},
      {"four levels, two character fields", {9, 1, 10, 12},
       "STR(Quantity,12,0)+Upper(Left(Item,20))+DTOS(PurchDate)+Upper(Left(Category,20))"},
      {"gaps are skipped", {0, 18, 0, 15}, "STR(Value,12,2)+DTOS(WarDate)"},
      {"numbers outside the table count as none", {99, -1, 5, 0}, "Upper(Left(Location,80))"},
  };
  for (const Case& c : cases) {
    SortLevels levels;
    levels.levels = c.levels;
    EXPECT_EQ(BuildSortString(levels), c.expected) << c.name;
  }
}

std::vector<std::string> ItemNames() {
  std::vector<std::string> names;
  for (const ItemField& f : ItemFields) names.emplace_back(f.name);
  return names;
}

TEST(FieldCheck, AcceptsOnlyTheTwentyTwoFieldsInOrder) {
  auto upper = ItemNames();
  for (auto& n : upper)
    for (char& ch : n) ch = static_cast<char>(toupper(ch));
  auto mixed = ItemNames();
  mixed[0] = "ITEM";
  mixed[1] = "brand";
  auto extra = ItemNames();
  extra.push_back("EXTRA");
  auto swapped = ItemNames();
  std::swap(swapped[2], swapped[3]);
  auto shorter = ItemNames();
  shorter.pop_back();
  auto renamed = ItemNames();
  renamed[5] = "Description";

  struct Case {
    const char* name;
    std::vector<std::string> fields;
    bool accepted;
  } cases[] = {
      {"as created", ItemNames(), true},         {"upper case", upper, true},
      {"mixed case", mixed, true},               {"23 fields", extra, false},
      {"another order", swapped, false},         {"21 fields", shorter, false},
      {"a field renamed", renamed, false},       {"no fields", {}, false},
  };
  for (Case& c : cases) {
    auto ui = std::make_shared<platform::ui::ScriptedUi>();
    platform::ui::Install(ui);
    TempRoot root;
    const auto path = root.programDir() / "TEST.DBF";
    TempRoot::WriteFile(path, "");
    TempRoot::WriteFile(root.programDir() / "TEST.MDX", "");
    const bool ok = CheckDBaseFormat(path, [&](const ItemTableLocation&) { return std::optional(c.fields); });
    EXPECT_EQ(ok, c.accepted) << c.name;
    if (c.accepted) {
      EXPECT_TRUE(ui->MessageTexts().empty()) << c.name;
    } else {
      EXPECT_THAT(ui->MessageTexts(), testing::ElementsAre(std::string(kNotAnItemTableMessage))) << c.name;
      EXPECT_THAT(ui->MessageCaptions(), testing::ElementsAre("Error")) << c.name;
    }
  }
}

TEST(FieldCheck, OldVersionsAreRecognisedByFieldsTwoOn) {
  std::vector<std::string> v2{"ANYTHING", "ITEM",  "BRAND",    "MODEL",   "SERIAL",   "LOCATION", "DESCRIPTIO",
                              "BOUGHTFROM", "IDMARKS", "QUANTITY", "PURCHDATE", "COST", "CATEGORY", "REPCOST",
                              "WARRANTY", "WARDATE", "WARNOTES", "OWNER", "VALUE"};
  std::vector<std::string> v1{"X",        "ITEM",     "BRAND",    "MODEL",     "SERIAL", "ROOM",    "DESCRIPTIO",
                              "BOUGHTFROM", "IDMARKS", "QUANTITY", "PURCHDAY", "PURCHMONTH", "PURCHYEAR", "COST",
                              "CATEGORY"};
  EXPECT_TRUE(IsVersion2FieldLayout(v2));
  EXPECT_FALSE(IsVersion1FieldLayout(v2));
  EXPECT_TRUE(IsVersion1FieldLayout(v1));
  EXPECT_FALSE(IsVersion2FieldLayout(v1));
  v2[6] = "DESCRIPTION";
  EXPECT_FALSE(IsVersion2FieldLayout(v2));
  EXPECT_FALSE(IsItemFieldLayout(v1));
}

TEST(TableLocation, TableNameIsTheFileNameWithoutItsFinalExtension) {
  TempRoot root;
  TempRoot::WriteFile(root.programDir() / "my.vivo.mdx", "");
  const ItemTableLocation loc = LocateItemTable(root.programDir() / "MY.VIVO.DBF");
  EXPECT_EQ(loc.directory, root.programDir());
  EXPECT_EQ(loc.tableName, "MY.VIVO");
  EXPECT_EQ(loc.indexPath, root.programDir() / "my.vivo.mdx");  // found without regard to case
  // The caption names the table up to its first dot; the file stays the one opened.
  for (const auto& [name, caption] : std::vector<std::pair<std::string, std::string>>{
           {"MASTER", "Stashwell Inventory 95 (MASTER)"},
           {"MY.VIVO", "Stashwell Inventory 95 (MY)"},
           {"A.B.C", "Stashwell Inventory 95 (A)"}})
    EXPECT_EQ(MainCaption(name), caption) << name;
  EXPECT_EQ(LocateItemTable(root.programDir() / "MASTER.DBF").indexPath, root.programDir() / "MASTER.MDX");
}

// A dBASE III table header with the item fields (or the given ones).
std::string DbfHeader(const std::vector<std::pair<std::string, char>>& fields, uint8_t flag28) {
  const size_t headerLength = 32 + 32 * fields.size() + 1;
  std::string h(headerLength, '\0');
  h[0] = 0x03;
  h[1] = 126; h[2] = 1; h[3] = 1;
  h[8] = static_cast<char>(headerLength & 0xFF);
  h[9] = static_cast<char>(headerLength >> 8);
  size_t recordLength = 1;
  for (size_t i = 0; i < fields.size(); ++i) {
    char* d = h.data() + 32 + 32 * i;
    fields[i].first.copy(d, 10);
    d[11] = fields[i].second;
    d[16] = 10;
    recordLength += 10;
  }
  h[10] = static_cast<char>(recordLength & 0xFF);
  h[11] = static_cast<char>(recordLength >> 8);
  h[28] = static_cast<char>(flag28);
  h[headerLength - 1] = 0x0D;
  return h + "\x1A";
}

std::vector<std::pair<std::string, char>> ItemDescriptors() {
  std::vector<std::pair<std::string, char>> fields;
  for (const ItemField& f : ItemFields) fields.emplace_back(std::string(f.name), f.letter);
  return fields;
}

TEST(IndexFlag, IsClearedOnlyInADbaseTable) {
  const std::string table = DbfHeader(ItemDescriptors(), 1);
  struct Case {
    const char* name;
    std::string bytes;
    IndexFlagRepair expected;
    bool byte28Cleared;
  } cases[] = {
      {"table with the flag", table, IndexFlagRepair::Cleared, true},
      {"table without the flag", DbfHeader(ItemDescriptors(), 0), IndexFlagRepair::AlreadyClear, true},
      {"text file", std::string(64, 'x'), IndexFlagRepair::NotATable, false},
      {"header longer than the file", table.substr(0, 100), IndexFlagRepair::NotATable, false},
      {"unknown field type", DbfHeader({{"NAME", 'Q'}}, 1), IndexFlagRepair::NotATable, false},
      {"too short", std::string("\x03\x01"), IndexFlagRepair::NotATable, false},
  };
  for (Case& c : cases) {
    TempRoot root;
    const auto path = root.programDir() / "T.DBF";
    std::string bytes = c.bytes;
    TempRoot::WriteFile(path, bytes);
    EXPECT_EQ(RemoveMDXByte(path), c.expected) << c.name;
    const std::string after = TempRoot::ReadFile(path);
    ASSERT_EQ(after.size(), bytes.size()) << c.name;
    for (size_t i = 0; i < after.size(); ++i) {
      if (i == 28 && c.byte28Cleared) {
        EXPECT_EQ(after[i], 0) << c.name;
      } else {
        EXPECT_EQ(after[i], bytes[i]) << c.name << " byte " << i;
      }
    }
  }
  EXPECT_EQ(RemoveMDXByte("/nonexistent/T.DBF"), IndexFlagRepair::Failed);
}

TEST(IndexFlag, CheckRepairsATableWhoseIndexIsGone) {
  auto ui = std::make_shared<platform::ui::ScriptedUi>();
  platform::ui::Install(ui);
  TempRoot root;
  const auto path = root.programDir() / "HOME.DBF";
  TempRoot::WriteFile(path, DbfHeader(ItemDescriptors(), 1));
  auto fromHeader = [](const ItemTableLocation& loc) -> std::optional<std::vector<std::string>> {
    auto h = ReadDbfHeader(loc.directory / (loc.tableName + ".DBF"));
    if (!h || h->productionIndexFlag != 0) return std::nullopt;  // the engine would ask for the .MDX
    return h->fieldNames;
  };
  EXPECT_TRUE(CheckDBaseFormat(path, fromHeader));
  EXPECT_EQ(TempRoot::ReadFile(path)[28], 0);

  // With the index present the flag is left alone.
  TempRoot::WriteFile(path, DbfHeader(ItemDescriptors(), 1));
  TempRoot::WriteFile(root.programDir() / "HOME.MDX", "");
  ui->answers.push_back(platform::ui::Answer::Ok);
  EXPECT_FALSE(CheckDBaseFormat(path, fromHeader));
  EXPECT_EQ(TempRoot::ReadFile(path)[28], 1);
  EXPECT_TRUE(ui->unexpected.empty());
}

TEST(Version1Date, IsBuiltByValue) {
  struct Case {
    const char* month;
    const char* day;
    const char* year;
    Version1Date::Kind kind;
    CivilDate date;
  } cases[] = {
      {"Feb", "3", "1994", Version1Date::Valid, {1994, 2, 3}},
      {"Dec", "31", "99", Version1Date::Valid, {1999, 12, 31}},
      {"Jan", "1", "05", Version1Date::Valid, {2005, 1, 1}},
      {"7", "4", "1976", Version1Date::Valid, {1976, 7, 4}},
      {"", "", "", Version1Date::Empty, {}},
      {"Feb", "30", "1994", Version1Date::Invalid, {}},
      {"feb", "3", "1994", Version1Date::Invalid, {}},  // month names compare exactly
      {"Feb", "", "1994", Version1Date::Invalid, {}},
      {"Feb", "3x", "1994", Version1Date::Invalid, {}},
  };
  for (const Case& c : cases) {
    const Version1Date d = Version1PurchaseDate(c.month, c.day, c.year);
    EXPECT_EQ(d.kind, c.kind) << c.month << "/" << c.day << "/" << c.year;
    if (c.kind == Version1Date::Valid) {
      EXPECT_EQ(d.date, c.date) << c.month << "/" << c.day << "/" << c.year;
    }
  }
}

}  // namespace
}  // namespace keldro

namespace keldro {
namespace {

TEST(OldVersions, FieldsGoToTheirNewPlaces) {
  const auto& v2 = Version2FieldCopies();
  ASSERT_EQ(v2.size(), 18u);
  EXPECT_EQ(v2[5].from, "Descriptio");  // "Description" cut to ten characters
  EXPECT_EQ(v2[5].to, "Descriptio");
  EXPECT_EQ(v2[17].from, "Value");
  EXPECT_EQ(v2[17].to, "Value");
  for (const FieldCopy& c : v2) EXPECT_NE(ItemFieldByName(c.to), nullptr) << c.to;
  const auto& v1 = Version1FieldCopies();
  for (const FieldCopy& c : v1) EXPECT_NE(ItemFieldByName(c.to), nullptr) << c.to;
  EXPECT_EQ(v1.back().from, "Room");
  EXPECT_EQ(v1.back().to, "Location");
  EXPECT_EQ(TableInUseMessage("/d/HOME.DBF"),
            "The table \"/d/HOME.DBF\" is currently in use by another program.  New table creation will be aborted.");
}

}  // namespace
}  // namespace keldro
