#include <gtest/gtest.h>

#include <cstring>

#include "grid/ix_filter.h"
#include "grid/ix_table.h"
#include "grid_fixture.h"

namespace gridtest {
namespace {

using grid::TixTable;

// Expected filter buffers, written the way the engine reads them.
class Bytes {
 public:
  Bytes& U16(uint32_t v) {
    b_.push_back(static_cast<uint8_t>(v));
    b_.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
  }
  Bytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  Bytes& Header(uint32_t total, uint32_t count) { return U16(1).U16(total).U16(count).U16(10).U16(10 + count * 14); }
  Bytes& Binary(uint32_t op, uint32_t left, uint32_t right) { return U32(2).U32(op).U16(left).U16(right).U16(0); }
  Bytes& Field(uint32_t number, uint32_t offset) { return U32(4).U32(13).U16(number).U16(offset).U16(0); }
  Bytes& Constant(uint32_t code, uint32_t size, uint32_t offset) { return U32(5).U32(14).U16(code).U16(size).U16(offset); }
  Bytes& Text(const std::string& s) {
    b_.insert(b_.end(), s.begin(), s.end());
    b_.push_back(0);
    return *this;
  }
  Bytes& F64(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return U32(static_cast<uint32_t>(bits)).U32(static_cast<uint32_t>(bits >> 32));
  }
  Bytes& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  const std::vector<uint8_t>& bytes() const { return b_; }

 private:
  std::vector<uint8_t> b_;
};

class FilterTest : public GridTableTest {
 protected:
  void MakeStock() {
    TTable t;
    Point(t, "STOCK.DBF");
    t.FieldDefs().Add("BRAND", ftString, 20);
    t.FieldDefs().Add("PRICE", ftFloat);
    t.FieldDefs().Add("QTY", ftInteger);
    t.FieldDefs().Add("BOUGHT", ftDate);
    t.FieldDefs().Add("OK", ftBoolean);
    t.FieldDefs().Add("NOTES", ftMemo);
    t.CreateTable();
    stock.SetDatabaseName(dir.string());
    stock.SetTableName("STOCK");
    stock.Open();
    grid::CompileTable = &stock;
  }
  void TearDown() override {
    grid::CompileTable = nullptr;
    GridTableTest::TearDown();
  }

  // The compiled buffer up to its total size, after checking the parts of
  // the allocation beyond it are zero.
  static std::vector<uint8_t> Used(const std::vector<uint8_t>& buffer) {
    if (buffer.size() < 10) return buffer;
    size_t count = buffer[4] | (buffer[5] << 8);
    size_t total = buffer[2] | (buffer[3] << 8);
    EXPECT_EQ(buffer.size(), count * 14 + 1010);
    for (size_t i = total; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0) << "byte " << i;
    return std::vector<uint8_t>(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(std::min(total, buffer.size())));
  }

  TTable stock;
};

TEST_F(FilterTest, CompilesToExactBuffers) {
  MakeStock();
  ResetFormatSettings();
  const int32_t dec1995 = DateToEngineDay(EncodeDate(1995, 12, 1));
  struct Case {
    const char* name;
    std::string text;
    Bytes expected;
  } cases[] = {
      {"float comparison", "PRICE > 100",
       Bytes().Header(66, 3).Binary(5, 28, 14).Constant(7, 8, 6).Field(1, 0).Text("PRICE").F64(100)},
      {"unquoted constant runs on over AND", "BRAND = Sony AND PRICE > 5",
       Bytes().Header(73, 3).Binary(3, 28, 14).Constant(1, 15, 6).Field(1, 0).Text("BRAND").Text("Sony AND PRICE")},
      {"quoted constant ends before AND", "BRAND = \"Sony\" AND PRICE > 5",
       Bytes()
           .Header(133, 7)
           .Binary(10, 56, 14)
           .Binary(5, 42, 28)
           .Constant(7, 8, 17)
           .Field(2, 11)
           .Binary(3, 84, 70)
           .Constant(1, 5, 6)
           .Field(1, 0)
           .Text("BRAND")
           .Text("Sony")
           .Text("PRICE")
           .F64(5)},
      {"quoted text keeps inner trailing blanks", "BRAND = \"Sony  \"",
       Bytes().Header(65, 3).Binary(3, 28, 14).Constant(1, 7, 6).Field(1, 0).Text("BRAND").Text("Sony  ")},
      {"unquoted text loses trailing blanks", "BRAND = Sony   ",
       Bytes().Header(63, 3).Binary(3, 28, 14).Constant(1, 5, 6).Field(1, 0).Text("BRAND").Text("Sony")},
      {"same field twice, numbered 1 and 2; names as typed", "qty=1 OR QTY=2",
       Bytes()
           .Header(124, 7)
           .Binary(11, 56, 14)
           .Binary(3, 42, 28)
           .Constant(6, 4, 12)
           .Field(2, 8)
           .Binary(3, 84, 70)
           .Constant(6, 4, 4)
           .Field(1, 0)
           .Text("qty")
           .I32(1)
           .Text("QTY")
           .I32(2)},
      {"constant beside a computed left side", "(QTY)*(2) = 10",
       Bytes()
           .Header(92, 5)
           .Binary(3, 28, 14)
           .Constant(6, 4, 8)
           .Binary(18, 56, 42)
           .Constant(6, 4, 4)
           .Field(1, 0)
           .Text("QTY")
           .I32(2)
           .I32(10)},
      {"date, negative integer and logical constants", "BOUGHT = \"12/1/95\" AND QTY > -3 AND OK = t",
       Bytes()
           .Header(188, 11)
           .Binary(10, 56, 14)
           .Binary(3, 42, 28)
           .Constant(4, 2, 22)
           .Field(3, 19)
           .Binary(10, 112, 70)
           .Binary(5, 98, 84)
           .Constant(6, 4, 15)
           .Field(2, 11)
           .Binary(3, 140, 126)
           .Constant(2, 4, 7)
           .Field(1, 0)
           .Text("BOUGHT")
           .I32(dec1995)
           .Text("QTY")
           .I32(-3)
           .Text("OK")
           .U16(1)},
  };
  for (Case& c : cases) EXPECT_EQ(Used(grid::CompileFilter(c.text)), c.expected.bytes()) << c.name;
  EXPECT_TRUE(ui->calls.empty());
}

TEST_F(FilterTest, AndAndOrGroupToTheLeft) {
  MakeStock();
  // (QTY=1 OR QTY=2) AND PRICE=3: the root is the AND, its left child the OR.
  std::vector<uint8_t> b = grid::CompileFilter("QTY=1 OR QTY=2 AND PRICE=3");
  ASSERT_GE(b.size(), 10u + 11 * 14);
  ASSERT_EQ(b[4], 11);
  auto node = [&](size_t offset, size_t at) { return b[10 + offset + at] | (b[10 + offset + at + 1] << 8); };
  EXPECT_EQ(node(0, 4), 10);  // AND
  size_t left = static_cast<size_t>(node(0, 8));
  EXPECT_EQ(node(left, 4), 11);  // OR
}

TEST_F(FilterTest, RefusedTexts) {
  MakeStock();
  struct Case {
    const char* text;
    const char* message;  // "" for a silent refusal
  } cases[] = {
      {"", ""},
      {"(PRICE > 5", ""},
      {"PRICE >", ""},
      {"(", ""},
      {"5 = PRICE", "5\rField not found in Table. "},
      {"COLOUR = red", "COLOUR\rField not found in Table. "},
      {"PRICE > 5 AND \"PRICE\" < 9", "\"PRICE\"\rField not found in Table. "},
  };
  for (const Case& c : cases) {
    ui->calls.clear();
    if (*c.message) ui->answers.push_back(platform::ui::Answer::Ok);
    EXPECT_TRUE(grid::CompileFilter(c.text).empty()) << c.text;
    std::vector<std::string> shown = ui->MessageTexts();
    EXPECT_EQ(shown, *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{}) << c.text;
  }
  EXPECT_TRUE(ui->unexpected.empty());
  EXPECT_THROW(grid::CompileFilter("QTY = many"), EConvertError);
  EXPECT_THROW(grid::CompileFilter("QTY = 99999999999"), EConvertError);
  EXPECT_THROW(grid::CompileFilter("BOUGHT = \"31/31/95\""), EConvertError);
}

// n clauses BRAND = "x..." OR ..., whose texts make the pool `poolBytes` long.
std::string PoolFilter(size_t poolBytes) {
  std::string text;
  size_t used = 0;
  while (used < poolBytes) {
    size_t len = std::min<size_t>(40, poolBytes - used - 7);  // "BRAND\0" and the text's zero
    if (!text.empty()) text += " OR ";
    text += "BRAND = \"" + std::string(len, 'x') + "\"";
    used += 6 + len + 1;
    if (poolBytes - used < 7 && poolBytes != used) return std::string();  // no exact fit
  }
  return text;
}

TEST_F(FilterTest, LiteralPoolHoldsAThousandBytesAndNoMore) {
  MakeStock();
  std::string full = PoolFilter(1000);
  std::string over = PoolFilter(1001);
  ASSERT_FALSE(full.empty());
  ASSERT_FALSE(over.empty());
  std::vector<uint8_t> b = grid::CompileFilter(full);
  ASSERT_FALSE(b.empty());
  size_t count = b[4] | (b[5] << 8);
  EXPECT_EQ(b[2] | (b[3] << 8), 10 + count * 14 + 1000);
  EXPECT_TRUE(grid::CompileFilter(over).empty());
  // Far beyond: a text of 100,000 comparisons is refused without building
  // its whole tree.
  std::string huge;
  for (int i = 0; i < 100000; ++i) huge += i ? " OR QTY=1" : "QTY=1";
  EXPECT_TRUE(grid::CompileFilter(huge).empty());
}

TEST_F(FilterTest, NestingDepthAtAndBeyondItsBound) {
  MakeStock();
  auto nested = [](int depth) { return std::string(static_cast<size_t>(depth), '(') + "QTY=1" + std::string(static_cast<size_t>(depth), ')'); };
  EXPECT_FALSE(grid::CompileFilter(nested(grid::kFilterMaxDepth)).empty());
  EXPECT_TRUE(grid::CompileFilter(nested(grid::kFilterMaxDepth + 1)).empty());
  EXPECT_TRUE(grid::CompileFilter(std::string(200000, '(')).empty());
}

// ------------------------------------------------- evaluated by the engine

using EngineFilterTest = GridTableTest;

TEST_F(EngineFilterTest, TextFiltersSelectTheRecordsTheyDescribe) {
  MakeItems();
  struct Case {
    grid::TLines lines;
    std::vector<std::string> items;
  } cases[] = {
      {{"COST > 100"}, {"Television", "Camera"}},
      {{"COST >= 100"}, {"Television", "Camera", "Stereo"}},
      {{"COST <> 100"}, {"Television", "Radio", "Camera", "Lamp"}},
      {{"BRAND = Sony"}, {"Television", "Stereo"}},
      {{"BRAND = \"Sony  \""}, {"Television", "Stereo"}},
      {{"BRAND = Sony TV"}, {"Radio"}},
      {{"BRAND = sony"}, {}},
      {{"BRAND = \"\""}, {"Lamp"}},
      {{"BRAND < \"Sony\""}, {"Camera", "Lamp"}},
      {{"BRAND > Sony"}, {"Radio"}},
      {{"PURCHDATE = \"12/1/95\""}, {"Television", "Stereo"}},
      {{"PURCHDATE < \"1/1/95\""}, {"Camera", "Lamp"}},
      {{"QUANTITY = 1 OR QUANTITY = 2 AND COST > 100"}, {"Television", "Camera"}},
      {{"QUANTITY <> 1"}, {"Radio", "Lamp"}},
      {{"(QUANTITY)*(2) = 8"}, {"Lamp"}},
      {{"(COST)/(0) = 1 OR ITEM = Lamp"}, {"Lamp"}},
      {{"WARRANTY = \"Yes\" AND (COST < 300)"}, {"Camera"}},
      {{"WARRANTY = \"No\"", "", "QUANTITY = 1 "}, {"Stereo"}},
      // Blanks belong to an unquoted value, so this one reads "No AND".
      {{"WARRANTY = No", "QUANTITY = 1"}, {}},
  };
  for (const Case& c : cases) {
    TixTable t;
    Point(t);
    t.Open();
    t.SetixFilter(c.lines);
    std::string name = c.lines[0];
    EXPECT_NE(t.TextFilterHandle(), 0u) << name;
    EXPECT_EQ(Items(t), c.items) << name;
    EXPECT_EQ(t.RecordCount(), static_cast<int>(c.items.size())) << name;
  }
  EXPECT_TRUE(ui->calls.empty());
}

TEST_F(EngineFilterTest, FilterLifecycleOnTheTable) {
  MakeItems();
  TixTable t;
  Point(t);
  // Set before the open: installed while the cursor is prepared.
  t.SetixFilter({"COST > 100"});
  t.Open();
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Television", "Camera"}));
  OrbFilter first = t.TextFilterHandle();
  EXPECT_NE(first, 0u);

  // A refused recompile keeps the filter in force and its handle.
  ui->answers.push_back(platform::ui::Answer::Ok);
  t.SetixFilter({"COST > "});
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{"Fail to set filter"}));
  EXPECT_EQ(t.TextFilterHandle(), first);
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Television", "Camera"}));

  // A new text replaces the old one.
  t.SetixFilter({"QUANTITY = 1"});
  EXPECT_NE(t.TextFilterHandle(), first);
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Television", "Camera", "Stereo"}));

  // Both filters at once; clearing OnFilter leaves the text filter.
  t.SetOnFilter([](TixTable& table) { return grid::FilterFieldValue(table, "WARRANTY").AsString() == "Yes"; });
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Television", "Camera"}));
  t.SetOnFilter(nullptr);
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Television", "Camera", "Stereo"}));

  // An empty text removes the filter and shows every record again.
  t.SetixFilter({"", "  "});
  EXPECT_EQ(t.TextFilterHandle(), 0u);
  EXPECT_EQ(t.RecordCount(), 5);

  // Reopened: the stored text is installed again.
  t.SetixFilter({"ITEM = Lamp"});
  t.Close();
  EXPECT_EQ(t.TextFilterHandle(), 0u);
  t.Open();
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Lamp"}));
  EXPECT_TRUE(ui->unexpected.empty());
}

TEST_F(EngineFilterTest, RecordCallbackFilterThroughTheEngine) {
  MakeItems();
  TTable t;
  Point(t);
  t.Open();
  OrbFilter handle = 0;
  static int calls;
  calls = 0;
  auto keepOdd = [](void* context, const uint8_t*, uint32_t recordNumber) -> int {
    EXPECT_NE(context, nullptr);
    ++calls;
    return recordNumber % 2;
  };
  ASSERT_TRUE(grid::InstallRecordFilter(keepOdd, t, handle));
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Television", "Camera", "Stereo"}));
  EXPECT_GT(calls, 0);
  ASSERT_TRUE(grid::InstallRecordFilter(nullptr, t, handle));
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(t.RecordCount(), 5);
}

}  // namespace
}  // namespace gridtest
