// A small inventory table in a temporary root, for the component tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framework/dbtables.h"
#include "grid/ix_table.h"
#include "platform/ui.h"
#include "temp_root.h"

namespace gridtest {

namespace fs = std::filesystem;
using namespace framework;

struct Item {
  std::string item, brand;
  int quantity;
  double cost;
  int year, month, day;  // 0: blank date
  std::string warranty;
};

inline const std::vector<Item>& SampleItems() {
  static const std::vector<Item> items = {
      {"Television", "Sony", 1, 499.99, 1995, 12, 1, "Yes"},
      {"Radio", "Sony TV", 2, 35.50, 1996, 1, 15, "No"},
      {"Camera", "Nikon", 1, 250.00, 1994, 6, 30, "Yes"},
      {"Lamp", "", 4, 12.25, 0, 0, 0, "No"},
      {"Stereo", "Sony  ", 1, 100.00, 1995, 12, 1, "No"},
  };
  return items;
}

class GridTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
    dir = root.path() / "DATA";
    fs::create_directories(dir);
    ui = std::make_shared<platform::ui::ScriptedUi>();
    platform::ui::Install(ui);
  }
  void TearDown() override { platform::ui::Install(nullptr); }

  void MakeItems() {
    TTable t;
    t.SetDatabaseName(dir.string());
    t.SetTableName("ITEMS.DBF");
    t.SetTableType(ttDBase);
    t.FieldDefs().Add("ITEM", ftString, 20);
    t.FieldDefs().Add("BRAND", ftString, 20);
    t.FieldDefs().Add("QUANTITY", ftInteger);
    t.FieldDefs().Add("COST", ftFloat);
    t.FieldDefs().Add("PURCHDATE", ftDate);
    t.FieldDefs().Add("WARRANTY", ftString, 3);
    t.CreateTable();
    t.Open();
    for (const Item& i : SampleItems()) {
      t.Append();
      t.FieldByName("ITEM")->SetAsString(i.item);
      t.FieldByName("BRAND")->SetAsString(i.brand);
      t.FieldByName("QUANTITY")->SetAsInteger(i.quantity);
      t.FieldByName("COST")->SetAsFloat(i.cost);
      if (i.year) t.FieldByName("PURCHDATE")->SetAsDateTime(EncodeDate(i.year, i.month, i.day));
      t.FieldByName("WARRANTY")->SetAsString(i.warranty);
      t.Post();
    }
    t.Close();
  }

  void Point(TTable& t, const std::string& name = "ITEMS") {
    t.SetDatabaseName(dir.string());
    t.SetTableName(name);
  }

  static std::vector<std::string> Items(TDataSet& t) {
    std::vector<std::string> out;
    for (t.First(); !t.Eof(); t.Next()) out.push_back(t.FieldByName("ITEM")->AsString());
    return out;
  }

  testing_support::TempRoot root;
  fs::path dir;
  std::shared_ptr<platform::ui::ScriptedUi> ui;
};

}  // namespace gridtest
